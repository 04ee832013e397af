#include "export/DelimitedWriter.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/ResultSet.h"
#include "export/ExportErrors.h"

#include <QBuffer>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTime>
#include <cerrno>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace vnk::exporting;
using vnk::db::FieldInfo;
using vnk::db::UserFormats;
using vnk::db::FieldKind;
using vnk::db::ResultSet;
using vnk::db::RowSource;

namespace {

UserFormats testFormats(QChar sep = u'.') {
    UserFormats f;
    f.decimalSeparator = sep;
    f.shortDate = QStringLiteral("dd/MM/yyyy");
    f.longTime = QStringLiteral("HH:mm:ss");
    return f;
}

FieldInfo field(const char* name, FieldKind kind) {
    FieldInfo f;
    f.name = QString::fromUtf8(name);
    f.kind = kind;
    return f;
}

std::unique_ptr<ResultSet> held(const std::vector<FieldInfo>& fields,
                                const std::vector<QVariantList>& rows) {
    auto rs = std::make_unique<ResultSet>(fields);
    for (const QVariantList& r : rows)
        rs->appendValues(r);
    return rs;
}

std::string exportToBytes(RowSource& rows, const QString& delimiter, bool header,
                          const UserFormats& f = testFormats()) {
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    writeDelimited(rows, buf, delimiter, header, f);
    return buf.data().toStdString();
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QVariant text(const char* s) {
    return QVariant(QString::fromUtf8(s));
}

QVariant dt(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return QVariant(QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC));
}

void exec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
}

// A real database file built with SQLite itself.
QString makeDatabase(const QString& path, const char* script) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    exec(db, script);
    sqlite3_close(db);
    return path;
}

std::unique_ptr<vnk::db::Driver> openSqlite(const QString& file) {
    return vnk::db::openDriver(QStringLiteral("Provider=SQLite;Data Source=") + file, std::nullopt,
                               QString());
}

// Rows of another source that fail after a number of rows, as a lost connection would.
class FailingRows final : public RowSource {
public:
    FailingRows(RowSource& inner, int failAfter) : inner_(inner), left_(failAfter) {}
    const std::vector<FieldInfo>& fields() const override { return inner_.fields(); }
    bool next() override {
        if (left_-- == 0)
            throw vnk::db::DbError(QStringLiteral("Connection lost"));
        return inner_.next();
    }
    bool isNull(int c) const override { return inner_.isNull(c); }
    std::int64_t int64At(int c) const override { return inner_.int64At(c); }
    double doubleAt(int c) const override { return inner_.doubleAt(c); }
    std::string_view textAt(int c) const override { return inner_.textAt(c); }
    QByteArray bytesAt(int c) const override { return inner_.bytesAt(c); }
    vnk::db::DateTimeValue dateTimeAt(int c) const override { return inner_.dateTimeAt(c); }
    bool boolAt(int c) const override { return inner_.boolAt(c); }

private:
    RowSource& inner_;
    int left_;
};

// Date digits come from the default locale; tests pin it.
class DefaultLocale {
public:
    DefaultLocale() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    ~DefaultLocale() { QLocale::setDefault(old_); }

private:
    QLocale old_;
};

struct Counter final : ExportProgress {
    std::vector<std::int64_t> calls;
    void rowsWritten(std::int64_t rows) override { calls.push_back(rows); }
};

} // namespace

// One line per case: the quoting rule, the delimiters, the rendering of the kinds.
TEST(DelimitedWriter, LinesByDelimiterAndValue) {
    const DefaultLocale pin;
    const auto S = FieldKind::String;
    const struct Case {
        const char* what;
        const char* delimiter;
        std::vector<FieldInfo> fields;
        QVariantList row;
        std::string line; // without its CR LF
        UserFormats formats = testFormats();
    } cases[] = {
        {"number, text with the delimiter, null",
         ",",
         {field("n", FieldKind::Integer), field("t", S), field("z", S)},
         {QVariant(1), text("a,b"), QVariant()},
         "1,\"a,b\","},
        {"quotes without the delimiter stay single",
         ",",
         {field("t", S), field("u", S)},
         {text("say \"hi\" now"), text("x")},
         "say \"hi\" now,x"},
        {"space delimiter encloses and doubles",
         " ",
         {field("t", S), field("u", S)},
         {text("say \"hi\" now"), text("x")},
         "\"say \"\"hi\"\" now\" x"},
        {"CR LF inside is enclosed and kept",
         ",",
         {field("t", S), field("u", S)},
         {text("line 1\r\nline 2"), text("x")},
         "\"line 1\r\nline 2\",x"},
        {"a lone CR is enclosed", ",", {field("t", S)}, {text("a\rb")}, "\"a\rb\""},
        // A bare line feed breaks the record for every reader; it is enclosed as well.
        {"bare LF is enclosed",
         ",",
         {field("t", S), field("u", S)},
         {text("line 1\nline 2"), text("x")},
         "\"line 1\nline 2\",x"},
        // A leading quote would be taken for an opening one and the value lost.
        {"leading quote is enclosed",
         ",",
         {field("t", S)},
         {text("\"hi\" there")},
         "\"\"\"hi\"\" there\""},
        {"two-character delimiter, one bar",
         "||",
         {field("t", S), field("u", S)},
         {text("a|b"), text("c")},
         "a|b||c"},
        {"two-character delimiter, two bars",
         "||",
         {field("t", S), field("u", S)},
         {text("a||b"), text("c|")},
         "\"a||b\"||c|"},
        {"three-character delimiter",
         "<->",
         {field("t", S), field("u", S)},
         {text("a<-b"), text("<->")},
         "a<-b<->\"<->\""},
        {"tab",
         "\t",
         {field("t", S), field("u", S), field("v", S)},
         {text("a b"), text("c\td"), text("TAB")},
         "a b\t\"c\td\"\tTAB"},
        {"empty and null texts",
         ",",
         {field("t", S), field("u", S), field("v", S)},
         {text(""), QVariant(), text("")},
         ",,"},
        {"wide text in full",
         ";",
         {field("t", FieldKind::WideString)},
         {text("Zoë Ångström 東京 😀")},
         "Zoë Ångström 東京 😀"},
        {"64-bit integers in full",
         ",",
         {field("a", FieldKind::LargeInt), field("b", FieldKind::LargeInt),
          field("c", FieldKind::SmallInt)},
         {QVariant(qlonglong(2147483648LL)), QVariant(qlonglong(-9223372036854775807LL - 1)),
          QVariant(-7)},
         "2147483648,-9223372036854775808,-7"},
        {"floats",
         ",",
         {field("a", FieldKind::Float), field("b", FieldKind::Float), field("c", FieldKind::Float),
          field("d", FieldKind::Float), field("e", FieldKind::Float),
          field("f", FieldKind::Decimal)},
         {QVariant(1e20), QVariant(1.5e-7), QVariant(0.1 + 0.2), QVariant(100.0), QVariant(-0.0),
          QVariant(12.75)},
         "1E20,1.5E-7,0.3,100,0,12.75"},
        {"decimal comma is enclosed under a comma",
         ",",
         {field("a", FieldKind::Float), field("b", FieldKind::Float)},
         {QVariant(1.5), QVariant(2.0)},
         "\"1,5\",2",
         testFormats(u',')},
        {"decimal comma under a semicolon",
         ";",
         {field("a", FieldKind::Float)},
         {QVariant(1.5)},
         "1,5",
         testFormats(u',')},
        {"currency",
         ",",
         {field("a", FieldKind::Currency), field("b", FieldKind::Currency),
          field("c", FieldKind::Currency)},
         {QVariant(19.99), QVariant(1.23456), QVariant(-3.0)},
         "19.99,1.2346,-3"},
        {"date-times",
         ",",
         {field("a", FieldKind::DateTime), field("b", FieldKind::DateTime),
          field("c", FieldKind::Time), field("d", FieldKind::Date)},
         {dt(2024, 3, 7, 14, 5, 9), dt(2024, 3, 7), QVariant(QTime(8, 30, 15)),
          QVariant(QDate(2023, 12, 31))},
         "07/03/2024 14:05:09,07/03/2024,08:30:15,31/12/2023"},
        {"a date-time holds the space delimiter",
         " ",
         {field("a", FieldKind::DateTime), field("b", FieldKind::Date)},
         {dt(2024, 3, 7, 14, 5, 9), QVariant(QDate(2023, 12, 31))},
         "\"07/03/2024 14:05:09\" 31/12/2023"},
        {"Booleans, GUIDs, binary",
         ",",
         {field("a", FieldKind::Boolean), field("b", FieldKind::Boolean),
          field("g", FieldKind::Guid), field("c", FieldKind::Blob),
          field("d", FieldKind::VarBytes)},
         {QVariant(true), QVariant(false), text("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"),
          QVariant(QByteArray("\x00,\"\r\n", 5)), QVariant(QByteArray())},
         "True,False,{6F9619FF-8B86-D011-B42D-00C04FC964FF},0x002C220D0A,0x"},
    };
    for (const Case& c : cases) {
        auto rs = held(c.fields, {c.row});
        auto rows = rs->rows();
        EXPECT_EQ(exportToBytes(*rows, QString::fromUtf8(c.delimiter), false, c.formats),
                  c.line + "\r\n")
            << c.what;
    }
}

TEST(DelimitedWriter, TitleLineIsNeverQuotedAndHeaderZeroLeavesItOut) {
    auto rs =
        held({field("id", FieldKind::Integer), field("last, first", FieldKind::String),
              field("say \"x\"", FieldKind::String)},
             {{QVariant(1), text("Doe, John"), text("a")}, {QVariant(2), QVariant(), text("b")}});
    auto rows = rs->rows();
    EXPECT_EQ(exportToBytes(*rows, QStringLiteral(","), true),
              "id,last, first,say \"x\"\r\n1,\"Doe, John\",a\r\n2,,b\r\n");

    // The file form: the first line is the first record when the flag is "0".
    QTemporaryDir dir;
    DelimitedOptions opt;
    opt.fileName = dir.filePath(QStringLiteral("out.csv"));
    opt.delimiter = QStringLiteral(",");
    opt.withHeader = QStringLiteral("0");
    auto again = rs->rows();
    EXPECT_EQ(writeDelimitedFile(*again, opt, testFormats()), 2);
    EXPECT_EQ(readAll(opt.fileName).toStdString(), "1,\"Doe, John\",a\r\n2,,b\r\n");

    // Any other flag text writes the titles; no byte-order mark, CR LF after the last line.
    opt.withHeader = QStringLiteral("yes");
    auto third = rs->rows();
    writeDelimitedFile(*third, opt, testFormats());
    const QByteArray bytes = readAll(opt.fileName);
    EXPECT_TRUE(bytes.startsWith("id,last, first,")) << bytes.constData();
    EXPECT_TRUE(bytes.endsWith("2,,b\r\n"));
}

TEST(DelimitedWriter, EmptyResultWritesTitlesOnly) {
    auto rs = held({field("a", FieldKind::Integer), field("b", FieldKind::String)}, {});
    auto rows = rs->rows();
    EXPECT_EQ(exportToBytes(*rows, QStringLiteral("\t"), true), "a\tb\r\n");
    auto none = rs->rows();
    EXPECT_EQ(exportToBytes(*none, QStringLiteral("\t"), false), "");
}

// Values from a real SQLite file through the provider, every kind the declared types give,
// with values of other storage classes mixed in. Streamed from the statement (the batch
// run) and from the held result (the window), the bytes are the same.
TEST(DelimitedWriter, SqliteRowsStreamedAndHeldGiveTheSameFile) {
    const DefaultLocale pin;
    QTemporaryDir dir;
    const QString db = makeDatabase(dir.filePath(QStringLiteral("kinds.sqlite")), R"(
        CREATE TABLE t(id INTEGER, big BIGINT, name VARCHAR(20), wide NVARCHAR(20),
                       ratio REAL, amount DECIMAL(10,2), price MONEY, day DATE, at TIME,
                       stamp DATETIME, ok BOOLEAN, data BLOB, mixed INTEGER);
        INSERT INTO t VALUES(1, 3000000000, 'a,b', 'Zoë', 0.1+0.2, 12.5, 19.99,
                             '2024-03-07', '08:30:00', '2024-03-07 14:05:09', 1, x'00FF', 7);
        INSERT INTO t VALUES(2, -9223372036854775808, 'say "hi"', '東京', 1e20, 1.5e-7, 1.23456,
                             '1899-12-30', '00:00:00', '2024-03-07 00:00:00', 0, x'', 'text');
        INSERT INTO t VALUES(3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
                             NULL, NULL);
        INSERT INTO t VALUES(4, 0, 'line 1' || char(13,10) || 'line 2', '', -0.0, 100, 3,
                             '2000-02-29', '23:59:59', '1899-12-30 10:11:12', 1, 'abc', 2.5);
    )");
    const char* expected =
        "id,big,name,wide,ratio,amount,price,day,at,stamp,ok,data,mixed\r\n"
        "1,3000000000,\"a,b\",Zoë,0.3,12.5,19.99,07/03/2024,08:30:00,07/03/2024 14:05:09,True,"
        "0x00FF,7\r\n"
        "2,-9223372036854775808,say \"hi\",東京,1E20,1.5E-7,1.2346,30/12/1899,00:00:00,07/03/2024,"
        "False,0x,text\r\n"
        "3,,,,,,,,,,,,\r\n"
        "4,0,\"line 1\r\nline 2\",,0,100,3,29/02/2000,23:59:59,10:11:12,True,0x616263,2.5\r\n";

    auto driver = openSqlite(db);
    auto streamed = driver->execute(QStringLiteral("SELECT * FROM t ORDER BY id"));
    ASSERT_TRUE(streamed);
    EXPECT_EQ(exportToBytes(*streamed, QStringLiteral(","), true), expected);

    auto source = driver->execute(QStringLiteral("SELECT * FROM t ORDER BY id"));
    auto rs = ResultSet::fetchAll(*source);
    auto rows = rs->rows();
    EXPECT_EQ(exportToBytes(*rows, QStringLiteral(","), true), expected);

    // The held result in its current order, as the grid shows it after a sort.
    rs->setSort(QStringLiteral("id DESC"));
    auto sorted = rs->rows();
    const std::string desc = exportToBytes(*sorted, QStringLiteral(","), false);
    EXPECT_EQ(desc.substr(0, 4), "4,0,");
}

// A held result is written from its column store a block at a time, in two halves at
// once; on tens of thousands of rows (many blocks, nulls, quoting, every storage form, a
// sorted order) it must give the bytes of the same rows streamed from the statement.
TEST(DelimitedWriter, LargeHeldResultGivesTheStreamedBytesInItsOrder) {
    const DefaultLocale pin;
    QTemporaryDir dir;
    const QString db = makeDatabase(dir.filePath(QStringLiteral("large.sqlite")), R"(
        CREATE TABLE t(id INTEGER, big BIGINT, name VARCHAR(40), ratio REAL, price MONEY,
                       stamp DATETIME, at TIME, ok BOOLEAN, data BLOB, mixed INTEGER);
        WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000)
        INSERT INTO t SELECT i,
            CASE WHEN i % 7 = 0 THEN NULL ELSE i * 100003 - 2000000000 END,
            CASE i % 5 WHEN 0 THEN NULL WHEN 1 THEN 'a,b ' || i WHEN 2 THEN '"q" ' || i
                       WHEN 3 THEN 'x||y' || char(10) || i ELSE 'plain ' || i END,
            CASE WHEN i % 11 = 0 THEN NULL ELSE i / 7.0 END,
            i % 1000 + 0.12345,
            datetime(1700000000 + i * 3607, 'unixepoch'),
            time(i * 61, 'unixepoch'),
            i % 3 = 0,
            CASE WHEN i % 13 = 0 THEN randomblob(3) END,
            CASE WHEN i = 30001 THEN 'text' ELSE i END
        FROM n;
    )");
    auto driver = openSqlite(db);
    auto source = driver->execute(QStringLiteral("SELECT * FROM t"));
    auto rs = ResultSet::fetchAll(*source);
    rs->setSort(QStringLiteral("ratio DESC"));
    for (const char* delimiter : {",", "||", "1"}) {
        SCOPED_TRACE(delimiter);
        const QString d = QString::fromUtf8(delimiter);
        auto streamed = driver->execute(
            QStringLiteral("SELECT * FROM t ORDER BY ratio IS NULL, ratio DESC, rowid"));
        const std::string expected = exportToBytes(*streamed, d, true);
        auto held = rs->rows();
        const std::string got = exportToBytes(*held, d, true);
        ASSERT_EQ(got.size(), expected.size());
        EXPECT_TRUE(got == expected);
    }
}

// The csv-spectrum cases: loaded into a SQLite file with Python, fetched through the
// provider, exported with a comma, read back with Python's csv module and compared
// value by value with the cases' expectations.
TEST(DelimitedWriter, CsvSpectrumRoundTripThroughPythonCsv) {
    const QString data = QStringLiteral(VARNOCK_SHARED_DATA_DIR "/csv-spectrum");
    const QString script = QStringLiteral(VARNOCK_SOURCE_DIR "/tests/export/csv_roundtrip.py");
    ASSERT_TRUE(QFile::exists(data + QStringLiteral("/csvs/simple.csv")));
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("spectrum.sqlite"));
    const QString out = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));

    auto python = [](const QStringList& args, QByteArray* output = nullptr) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("/usr/bin/python3"), args);
        p.waitForFinished(60000);
        if (output)
            *output = p.readAll();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    QByteArray log;
    ASSERT_EQ(python({script, QStringLiteral("load"), data + QStringLiteral("/csvs"), db}, &log), 0)
        << log.constData();

    auto driver = openSqlite(db);
    const QStringList csvs = QDir(data + QStringLiteral("/csvs"))
                                 .entryList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name);
    ASSERT_EQ(csvs.size(), 12);
    for (const QString& name : csvs) {
        const QString table = name.chopped(4);
        auto rows =
            driver->execute(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(table));
        ASSERT_TRUE(rows) << table.toStdString();
        DelimitedOptions opt;
        opt.fileName = out + u'/' + name;
        opt.delimiter = QStringLiteral(",");
        writeDelimitedFile(*rows, opt, testFormats());
    }
    const int rc = python({script, QStringLiteral("check"), out, data}, &log);
    EXPECT_EQ(rc, 0) << log.constData();
    EXPECT_TRUE(log.contains("checked 12 files")) << log.constData();
}

// A failed export leaves the previous file as it was and no partial file beside it.
TEST(DelimitedWriter, FailuresLeaveNoPartialFileAndKeepThePreviousOne) {
    QTemporaryDir dir;
    auto rs = held({field("n", FieldKind::Integer), field("t", FieldKind::String)}, {});
    const QString filler(200, u'x');
    for (int i = 0; i < 20000; ++i) // some megabytes, so that blocks reach the disk first
        rs->appendValues({QVariant(i), QVariant(filler)});

    const QString target = dir.filePath(QStringLiteral("report.csv"));
    writeBytes(target, "previous\r\n");
    DelimitedOptions opt;
    opt.fileName = target;
    opt.delimiter = QStringLiteral(",");

    auto inner = rs->rows();
    FailingRows failing(*inner, 15000);
    Counter progress;
    try {
        writeDelimitedFile(failing, opt, testFormats(), &progress);
        FAIL() << "no error";
    } catch (const vnk::db::DbError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Connection lost"));
    }
    EXPECT_FALSE(progress.calls.empty()) << "blocks were written before the failure";
    EXPECT_EQ(readAll(target), QByteArray("previous\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList{QStringLiteral("report.csv")});

    // Without a previous file, nothing is left at all.
    const QString fresh = dir.filePath(QStringLiteral("fresh.csv"));
    opt.fileName = fresh;
    auto inner2 = rs->rows();
    FailingRows failing2(*inner2, 15000);
    EXPECT_THROW(writeDelimitedFile(failing2, opt, testFormats()), vnk::db::DbError);
    EXPECT_FALSE(QFile::exists(fresh));

    // A complete export replaces the previous file.
    opt.fileName = target;
    auto all = rs->rows();
    Counter done;
    EXPECT_EQ(writeDelimitedFile(*all, opt, testFormats(), &done), 20000);
    EXPECT_EQ(done.calls.back(), 20000);
    EXPECT_TRUE(readAll(target).startsWith("n,t\r\n0,xxx"));
}

// Paths that cannot be created give the input/output error texts (as root as well), and
// create nothing.
TEST(DelimitedWriter, PathsThatCannotBeCreated) {
    QTemporaryDir dir;
    writeBytes(dir.filePath(QStringLiteral("plain.txt")), "not a folder");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    auto rs = held({field("n", FieldKind::Integer)}, {{QVariant(1)}});

    const struct {
        QString path;
        const char* message;
    } cases[] = {
        {dir.filePath(QStringLiteral("missing/out.csv")), "Invalid filename"},
        {dir.filePath(QStringLiteral("plain.txt/out.csv")), "Invalid filename"},
        {dir.filePath(QStringLiteral("folder")), "File access denied"},
        {QString(), "Invalid filename"},
    };
    for (const auto& c : cases) {
        DelimitedOptions opt;
        opt.fileName = c.path;
        opt.delimiter = QStringLiteral(",");
        auto rows = rs->rows();
        try {
            writeDelimitedFile(*rows, opt, testFormats());
            ADD_FAILURE() << "no error for " << c.path.toStdString();
        } catch (const ExportError& e) {
            EXPECT_EQ(e.message().toStdString(), c.message) << c.path.toStdString();
        }
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{QStringLiteral("folder"), QStringLiteral("plain.txt")}));
    EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("folder"))).isEmpty());
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("plain.txt"))), QByteArray("not a folder"));
}

TEST(DelimitedWriter, WriteErrorsAndErrorTexts) {
    // A device that is full: the write error reaches the caller with its text.
    QFile full(QStringLiteral("/dev/full"));
    if (full.open(QIODevice::WriteOnly)) {
        auto rs = held({field("n", FieldKind::Integer)}, {{QVariant(1)}});
        auto rows = rs->rows();
        try {
            writeDelimited(*rows, full, QStringLiteral(","), true, testFormats());
            ADD_FAILURE() << "no error on a full device";
        } catch (const ExportError& e) {
            EXPECT_EQ(e.message(), QStringLiteral("Disk full"));
        }
    }

    const struct {
        int code;
        const char* text;
    } texts[] = {
        {ENOENT, "Invalid filename"},
        {ENOTDIR, "Invalid filename"},
        {EMFILE, "Too many open files"},
        {EACCES, "File access denied"},
        {EROFS, "File access denied"},
        {EISDIR, "File access denied"},
        {ENOSPC, "Disk full"},
        {EDQUOT, "Disk full"},
        {EIO, "I/O error 5"},
    };
    for (const auto& t : texts)
        EXPECT_EQ(fileErrorText(t.code).toStdString(), t.text) << t.code;

    auto rs = held({field("n", FieldKind::Integer)}, {{QVariant(1)}});
    auto rows = rs->rows();
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    try {
        writeDelimited(*rows, buf, QString(), true, testFormats());
        ADD_FAILURE() << "an empty delimiter was taken";
    } catch (const ExportError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Blank delimiter is not allowed."));
    }
}
