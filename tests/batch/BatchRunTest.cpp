// The unattended run end to end: the real program started as a scheduler starts it (no
// display, a bare environment, a temporary working folder), its event-log file, exit code
// and output file checked.

#include "SpreadsheetTestSupport.h"
#include "TestSupport.h"
#include "db/Connection.h"
#include "db/ResultSet.h"
#include "export/DelimitedWriter.h"
#include "export/Spreadsheet.h"
#include "db/ValueText.h"
#include "queryfile/QueryFile.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vnk;

namespace {

const QString kProgram = QStringLiteral(VARNOCK_BINARY_DIR "/varnock");
const QString kNoData = QStringLiteral("No data to export.");
const QString kCountMessage = QStringLiteral("Error - Total number of parameter must either be 1 or 5.");
const QString kParameterMessage =
    QStringLiteral("Error - The application is being terminated because the query has a parameter.");

struct Outcome {
    int exitCode = -1;
    QStringList messages;  // event-log entries, in order
    QByteArray errorOutput;
};

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

void sqliteExec(const QString& file, const QString& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(file.toUtf8().constData(), &db,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
              SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

long long sqliteScalar(const QString& file, const char* sql) {
    sqlite3* db = nullptr;
    long long value = -1;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            value = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return value;
}

// The parts of an xlsx package with what each holds; the document properties carry the
// time of writing and are left out.
QString packageContents(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import hashlib, sys, zipfile\n"
                            "z = zipfile.ZipFile(sys.argv[1])\n"
                            "for n in sorted(z.namelist()):\n"
                            "    if n != 'docProps/core.xml':\n"
                            "        print(n, hashlib.sha1(z.read(n)).hexdigest())\n"),
             path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<unreadable: ") + QString::fromUtf8(p.readAllStandardError()) + u'>';
    return QString::fromUtf8(p.readAllStandardOutput());
}

// What the window writes for the same statement: the result held whole, then exported.
void interactiveExport(const QString& connString, const QString& workFolder, const QString& sql,
                       const QStringList& outputArgs, const QString& queryFile,
                       const QString& target) {
    std::unique_ptr<db::Driver> driver = db::openDriver(connString, std::nullopt, workFolder);
    std::unique_ptr<db::RowSource> source = driver->execute(sql);
    ASSERT_TRUE(source);
    const std::unique_ptr<db::ResultSet> held = db::ResultSet::fetchAll(*source);
    const std::unique_ptr<db::RowSource> rows = held->rows();
    const db::UserFormats formats = db::UserFormats::system();
    const QString kind = outputArgs.at(0).toUpper();
    const QString format = outputArgs.at(1).toUpper();
    if (kind == u"D") {
        exporting::DelimitedOptions options;
        options.fileName = target;
        options.delimiter = format == u"TAB" ? QStringLiteral("\t") : outputArgs.at(1);
        options.withHeader = outputArgs.at(2);
        exporting::writeDelimitedFile(*rows, options, formats);
        return;
    }
    const QStringList words = {QStringLiteral("XLSX"), QStringLiteral("XLS"), QStringLiteral("HTML"),
                               QStringLiteral("CSV"), QStringLiteral("XML")};
    const int numbers[] = {1, 2, 3, 4, 6};
    exporting::SpreadsheetOptions options;
    options.format = numbers[words.indexOf(format)];
    options.fileName = target;
    options.withTitles = outputArgs.at(2) != u"0";
    options.documentName = queryFile;
    exporting::exportToSpreadsheet(*rows, options, formats);
}

void expectSameOutput(const QString& batchFile, const QString& interactiveFile) {
    if (batchFile.endsWith(QStringLiteral(".xlsx")))
        EXPECT_EQ(packageContents(batchFile), packageContents(interactiveFile));
    else
        EXPECT_EQ(fileBytes(batchFile), fileBytes(interactiveFile));
}

class BatchRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFileInfo(kProgram).isExecutable()) << "the program is not built: " << kProgram.toStdString();
        ASSERT_TRUE(work_.isValid());
        sqliteExec(database(), QStringLiteral(
            "CREATE TABLE t(id INTEGER, name TEXT);"
            "INSERT INTO t VALUES (1, 'plain'), (2, 'a,b'), (3, 'semi;colon'),"
            " (4, 'tab' || char(9) || 'here'), (5, '\"quoted\"'), (6, NULL);"
            "CREATE TABLE counter(n INTEGER);"
            "INSERT INTO counter VALUES (0);"
            "CREATE TABLE m(id INTEGER, r REAL, d DATE, ts DATETIME, tm TIME, price DECIMAL(10,2),"
            " flag BOOLEAN, note VARCHAR(20), data BLOB, big INTEGER);"
            "INSERT INTO m VALUES"
            " (1, 1.5, '2024-02-29', '2024-02-29 13:45:10', '08:30:00', 12.34, 1, 'first', x'00ff', 9007199254740993),"
            " (2, -0.125, '1999-12-31', '2000-01-01 00:00:00', '23:59:59', 0, 0, 'line' || char(13) || char(10) || 'break', NULL, -5),"
            " (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, x'', NULL),"
            " (4, 1e300, '1900-01-01', '1899-12-30 12:00:00', '00:00:00', 99999999.99, 1, 'ünïcødé', x'41', 0),"
            // values their declared kinds cannot hold: text in their own cells only
            " (5, 'n/a', '', 'soon', 45000, 'a,b', 2, 7, 'text', 2.5);"));
    }

    QString path(const QString& name) const { return work_.filePath(name); }
    QString database() const { return path(QStringLiteral("data.sqlite")); }
    // Relative: the run takes it from its working folder.
    static QString sqliteConnection() { return QStringLiteral("Provider=SQLite;Data Source=data.sqlite"); }

    QString writeQuery(const QString& name, const QString& sql,
                       const QString& connString = sqliteConnection()) const {
        const QString file = path(name);
        queryfile::writeQueryDocument(file, QStringLiteral("Test"), connString,
                                      queryfile::editorLines(sql));
        return file;
    }

    // A scheduler's environment: no display, no desktop session, only the locale carried
    // over (or the one given, as LC_ALL).
    QProcessEnvironment schedulerEnvironment(const QString& locale = {}) const {
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        env.insert(QStringLiteral("SHELL"), QStringLiteral("/bin/sh"));
        env.insert(QStringLiteral("HOME"), work_.path());
        const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
        for (const QString& name : system.keys()) {
            if (name == u"LANG" || name.startsWith(QStringLiteral("LC_")) || name == u"LOGNAME" ||
                name == u"USER")
                env.insert(name, system.value(name));
        }
        if (!locale.isEmpty())
            env.insert(QStringLiteral("LC_ALL"), locale);
        env.insert(QStringLiteral("VARNOCK_EVENT_LOG"), path(QStringLiteral("events.jsonl")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        return env;
    }

    // inChild runs in the started process before the program (limits of its own).
    Outcome run(const QStringList& args, const QString& locale = {},
                const std::function<void()>& inChild = {}) const {
        QFile::remove(path(QStringLiteral("events.jsonl")));
        Outcome out;
        QProcess p;
        if (inChild)
            p.setChildProcessModifier(inChild);
        p.setProcessEnvironment(schedulerEnvironment(locale));
        p.setWorkingDirectory(work_.path());
        p.start(kProgram, args);
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "the run did not end";
            return out;
        }
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        out.exitCode = p.exitCode();
        out.errorOutput = p.readAllStandardError();

        QFile log(path(QStringLiteral("events.jsonl")));
        if (log.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : log.readAll().split('\n')) {
                if (line.isEmpty())
                    continue;
                const QJsonObject entry = QJsonDocument::fromJson(line).object();
                EXPECT_EQ(entry.value(QStringLiteral("source")).toString(), QStringLiteral("Varnock"));
                EXPECT_EQ(entry.value(QStringLiteral("type")).toString(), QStringLiteral("error"));
                out.messages << entry.value(QStringLiteral("message")).toString();
            }
        }
        return out;
    }

    QTemporaryDir work_;
};

TEST_F(BatchRunTest, DelimitedFilesFollowTheArguments) {
    const QString query = writeQuery(QStringLiteral("q.vnk"), QStringLiteral("select id, name\nfrom t\norder by id"));
    struct Case {
        QStringList args;  // output, kind, format, header
        QString output;    // the file expected, relative to the working folder
        QByteArray bytes;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("out.txt"), QStringLiteral("D"), QStringLiteral("Tab"), QStringLiteral("1")},
         QStringLiteral("out.txt"),
         "id\tname\r\n1\tplain\r\n2\ta,b\r\n3\tsemi;colon\r\n4\t\"tab\there\"\r\n5\t\"\"\"quoted\"\"\"\r\n6\t\r\n"},
        {{QStringLiteral("out.csv"), QStringLiteral("D"), QStringLiteral(","), QStringLiteral("0")},
         QStringLiteral("out.csv"),
         "1,plain\r\n2,\"a,b\"\r\n3,semi;colon\r\n4,tab\there\r\n5,\"\"\"quoted\"\"\"\r\n6,\r\n"},
        // Blanks around the arguments do not count; a missing folder is created.
        {{QStringLiteral(" new/out.txt "), QStringLiteral(" d "), QStringLiteral(" ; "), QStringLiteral(" 1 ")},
         QStringLiteral("new/out.txt"),
         "id;name\r\n1;plain\r\n2;a,b\r\n3;\"semi;colon\"\r\n4;tab\there\r\n5;\"\"\"quoted\"\"\"\r\n6;\r\n"},
        {{QStringLiteral("tab.txt"), QStringLiteral("D"), QStringLiteral("tab"), QStringLiteral("0")},
         QStringLiteral("tab.txt"),
         "1\tplain\r\n2\ta,b\r\n3\tsemi;colon\r\n4\t\"tab\there\"\r\n5\t\"\"\"quoted\"\"\"\r\n6\t\r\n"},
        // A longer delimiter is used as it is.
        {{QStringLiteral("long.txt"), QStringLiteral("D"), QStringLiteral("<||>"), QStringLiteral("1")},
         QStringLiteral("long.txt"),
         "id<||>name\r\n1<||>plain\r\n2<||>a,b\r\n3<||>semi;colon\r\n4<||>tab\there\r\n5<||>\"\"\"quoted\"\"\"\r\n6<||>\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(u'|').toStdString());
        const Outcome out = run(QStringList{query} + c.args);
        EXPECT_EQ(out.exitCode, 0) << out.errorOutput.toStdString();
        EXPECT_EQ(out.messages, QStringList());
        EXPECT_EQ(fileBytes(path(c.output)), c.bytes);
    }
}

TEST_F(BatchRunTest, BadArgumentsLogOneEntryAndRunNothing) {
    // Each run would count one up if it got as far as the statement.
    const QString query = writeQuery(QStringLiteral("q.vnk"), QStringLiteral("update counter set n = n + 1"));
    const QString sqlFile = path(QStringLiteral("q.sql"));
    {
        QFile f(sqlFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("select 1\r\n");
    }
    const QString missing = path(QStringLiteral("none.vnk"));
    const QString out = QStringLiteral("out.txt");
    const QString D = QStringLiteral("D");
    const QString comma = QStringLiteral(",");
    const QString one = QStringLiteral("1");
    struct Case {
        QStringList args;
        QString message;
    };
    const std::vector<Case> cases = {
        {{query, out, D, comma, QStringLiteral("yes")}, QStringLiteral("5th parameter is invalid: yes.")},
        {{query, out, D, comma, QStringLiteral(" 2 ")}, QStringLiteral("5th parameter is invalid: 2.")},
        {{query, out, D, comma}, kCountMessage},
        {{query, out}, kCountMessage},
        {{query, out, D, comma, one, one}, kCountMessage},
        // The file checks come before the count check.
        {{missing, out, D, comma, one},
         QStringLiteral("Error - Query file: \"") + missing + QStringLiteral("\" not found.")},
        {{QStringLiteral(" ") + missing + QStringLiteral(" "), out, D},
         QStringLiteral("Error - Query file: \"") + missing + QStringLiteral("\" not found.")},
        {{sqlFile, out, D, comma, one},
         QStringLiteral("Error - Query file: \"") + sqlFile + QStringLiteral("\" is not a valid file type.")},
        {{query, out, QStringLiteral("Q"), comma, one}, QStringLiteral("3rd parameter is invalid: Q.")},
        {{query, out, QStringLiteral("DF"), comma, one}, QStringLiteral("3rd parameter is invalid: DF.")},
        {{query, out, QStringLiteral("x"), QStringLiteral("Pdf"), one}, QStringLiteral("4th parameter is invalid: Pdf.")},
        // Excel 5.0/95 can be chosen in the window only.
        {{query, out, QStringLiteral("X"), QStringLiteral("XLS95"), one}, QStringLiteral("4th parameter is invalid: XLS95.")},
        // No delimiter: nothing could be written, which the scheduler must learn.
        {{query, out, D, QStringLiteral("  "), one}, QStringLiteral("4th parameter is invalid: .")},
        // ... but after the title flag, so that the first check that fails in order reports.
        {{query, out, D, QString(), QStringLiteral("yes")}, QStringLiteral("5th parameter is invalid: yes.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(u'|').toStdString());
        const Outcome o = run(c.args);
        EXPECT_EQ(o.exitCode, 1);
        EXPECT_EQ(o.messages, QStringList{c.message});
        EXPECT_FALSE(QFileInfo::exists(path(out)));
    }
    EXPECT_EQ(sqliteScalar(database(), "select n from counter"), 0) << "a statement ran";
}

TEST_F(BatchRunTest, RunsWithNothingToExportCreateNoFile) {
    struct Case {
        QString sql;
        QStringList messages;  // empty entries: any text, checked by prefix below
        QString prefix;        // of the first message when it is the database's own
    };
    const std::vector<Case> cases = {
        {QStringLiteral("select id, name from t where id < 0"), {kNoData}, {}},
        // Runs at the database, then there is nothing to write.
        {QStringLiteral("update counter set n = n + 1"), {kNoData}, {}},
        {QStringLiteral("select id, name\nfrom t\nwhere name = ?Str_x?"), {kParameterMessage}, {}},
        {QStringLiteral("select id from nosuch"), {QStringLiteral("no such table: nosuch"), kNoData}, {}},
        // An unknown type word: reported instead of a message box nobody would close.
        {QStringLiteral("select ?Foo_x?"), {QString()}, QStringLiteral("Invalid parameter type")},
        // Nothing to run is a failure the scheduler must see, not a quiet success.
        {QString(), {QStringLiteral("Query cannot be empty.")}, {}},
        {QStringLiteral(" \r\n\t\r\n"), {QStringLiteral("Query cannot be empty.")}, {}},
    };
    const QString target = path(QStringLiteral("keep.txt"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql.toStdString());
        // What is there stays as it was.
        {
            QFile f(target);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("earlier output\r\n");
        }
        const QString query = writeQuery(QStringLiteral("q.vnk"), c.sql);
        for (const QStringList& output :
             {QStringList{target, QStringLiteral("D"), QStringLiteral(","), QStringLiteral("1")},
              QStringList{path(QStringLiteral("none.xlsx")), QStringLiteral("X"), QStringLiteral("XLSX"),
                          QStringLiteral("1")}}) {
            const Outcome o = run(QStringList{query} + output);
            EXPECT_EQ(o.exitCode, 1);
            ASSERT_EQ(o.messages.size(), c.messages.size()) << o.messages.join(u'|').toStdString();
            for (qsizetype i = 0; i < o.messages.size(); ++i) {
                if (c.messages.at(i).isEmpty())
                    EXPECT_TRUE(o.messages.at(i).startsWith(c.prefix)) << o.messages.at(i).toStdString();
                else
                    EXPECT_EQ(o.messages.at(i), c.messages.at(i));
            }
        }
        EXPECT_EQ(fileBytes(target), QByteArray("earlier output\r\n"));
        EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("none.xlsx"))));
    }
    EXPECT_EQ(sqliteScalar(database(), "select n from counter"), 2) << "the update ran once per run";
}

TEST_F(BatchRunTest, ConnectionFailuresAreLoggedOnce) {
    const QString sql = QStringLiteral("select id from t");
    QFile garbage(path(QStringLiteral("garbage.vnk")));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("this is not a query file\r\n");
    garbage.close();
    struct Case {
        QString queryFile;
        QString message;
    };
    const std::vector<Case> cases = {
        {writeQuery(QStringLiteral("missingdb.vnk"), sql, QStringLiteral("Provider=SQLite;Data Source=missing.sqlite")),
         QStringLiteral("The database file \"") + path(QStringLiteral("missing.sqlite")) +
             QStringLiteral("\" does not exist.")},
        {writeQuery(QStringLiteral("provider.vnk"), sql, QStringLiteral("Provider=Nope;Data Source=x")), QString()},
        {path(QStringLiteral("garbage.vnk")), QStringLiteral("Invalid query file.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.queryFile.toStdString());
        const Outcome o = run({c.queryFile, QStringLiteral("out.txt"), QStringLiteral("D"), QStringLiteral(","),
                               QStringLiteral("1")});
        EXPECT_EQ(o.exitCode, 1);
        ASSERT_EQ(o.messages.size(), 1) << o.messages.join(u'|').toStdString();
        if (c.message.isEmpty())
            EXPECT_TRUE(o.messages.first().contains(QStringLiteral("Nope"))) << o.messages.first().toStdString();
        else
            EXPECT_EQ(o.messages.first(), c.message);
        EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("out.txt"))));
    }
}

TEST_F(BatchRunTest, ExportFailuresAreLoggedOnce) {
    const QString query = writeQuery(QStringLiteral("q.vnk"), QStringLiteral("select id, name from t"));
    // Only the last missing folder level is made: the file cannot be created.
    for (const QStringList& output :
         {QStringList{QStringLiteral("a/b/out.txt"), QStringLiteral("D"), QStringLiteral(","), QStringLiteral("1")},
          QStringList{QStringLiteral("a/b/out.xls"), QStringLiteral("X"), QStringLiteral("XLS"), QStringLiteral("1")}}) {
        SCOPED_TRACE(output.join(u'|').toStdString());
        const Outcome o = run(QStringList{query} + output);
        EXPECT_EQ(o.exitCode, 1);
        ASSERT_EQ(o.messages.size(), 1) << o.messages.join(u'|').toStdString();
        EXPECT_FALSE(o.messages.first().isEmpty());
        EXPECT_NE(o.messages.first(), kNoData);
        EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("a"))));
    }
}

// Writes that fail on the way (here every file is limited to a few megabytes, as a full
// disk would stop it) fail the run, whichever file of the export's they hit: the xlsx
// library's temporary files too, whose errors it does not report itself.
TEST_F(BatchRunTest, AWriteThatFailsFailsTheRunAndKeepsThePreviousFile) {
    // Many rows that pack well: the sheet outgrows the limit long before its archive would.
    const QString query = writeQuery(
        QStringLiteral("q.vnk"),
        QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < 60000)\n"
                       "select i, 'row number ' || i || ' of the generated series' as name, i % 7 as kind from n"));
    const auto smallFiles = [] {
        const rlim_t limit = rlim_t(1) << 20;
        const struct rlimit r = {limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &r);
        ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
    };
    const QByteArray previous = "the previous export\n";
    const std::vector<QStringList> outputs = {
        {QStringLiteral("X"), QStringLiteral("XLSX"), QStringLiteral("1")},
        {QStringLiteral("X"), QStringLiteral("XLS"), QStringLiteral("1")},
        {QStringLiteral("X"), QStringLiteral("HTML"), QStringLiteral("1")},
        {QStringLiteral("X"), QStringLiteral("CSV"), QStringLiteral("1")},
        {QStringLiteral("X"), QStringLiteral("XML"), QStringLiteral("1")},
        {QStringLiteral("D"), QStringLiteral("Tab"), QStringLiteral("1")},
    };
    for (const QStringList& output : outputs) {
        SCOPED_TRACE(output.join(u'|').toStdString());
        const QString extension = output.at(0) == u"D" ? QStringLiteral("txt") : output.at(1).toLower();
        QDir(path(QStringLiteral("out"))).removeRecursively();
        ASSERT_TRUE(QDir(work_.path()).mkdir(QStringLiteral("out")));
        const QString target = path(QStringLiteral("out/result.") + extension);
        {
            QFile f(target);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(previous);
        }
        const Outcome o = run(QStringList{query, target} + output, {}, smallFiles);
        EXPECT_EQ(o.exitCode, 1) << o.errorOutput.toStdString();
        EXPECT_EQ(o.messages, QStringList{QStringLiteral("Disk full")});
        EXPECT_EQ(fileBytes(target), previous);
        // Nothing partial left beside it.
        EXPECT_EQ(QDir(path(QStringLiteral("out"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{QStringLiteral("result.") + extension});
    }
}

// An output name that is a symbolic link is written through to its target, in every
// format: the link stays, the target is replaced (or made, when the link dangles) and
// keeps its access; nothing is left beside either.
TEST_F(BatchRunTest, AnOutputThatIsASymbolicLinkIsWrittenThrough) {
    const QString query = writeQuery(QStringLiteral("q.vnk"), QStringLiteral("select id, name from t order by id"));
    const std::vector<QStringList> outputs = {
        {QStringLiteral("X"), QStringLiteral("XLSX"), QStringLiteral("1")},
        {QStringLiteral("X"), QStringLiteral("XLS"), QStringLiteral("1")},
        {QStringLiteral("X"), QStringLiteral("HTML"), QStringLiteral("1")},
        {QStringLiteral("X"), QStringLiteral("CSV"), QStringLiteral("1")},
        {QStringLiteral("X"), QStringLiteral("XML"), QStringLiteral("1")},
        {QStringLiteral("D"), QStringLiteral(","), QStringLiteral("1")},
    };
    const QByteArray previous = "the previous export\n";
    const mode_t mask = ::umask(0);
    ::umask(mask);
    for (const QStringList& output : outputs) {
        const QString extension = output.at(0) == u"D" ? QStringLiteral("txt") : output.at(1).toLower();
        for (const bool targetExists : {true, false}) {
            SCOPED_TRACE((output.join(u'|') + (targetExists ? QStringLiteral(" existing") : QStringLiteral(" dangling"))).toStdString());
            QDir(path(QStringLiteral("links"))).removeRecursively();
            QDir(path(QStringLiteral("store"))).removeRecursively();
            ASSERT_TRUE(QDir(work_.path()).mkpath(QStringLiteral("links")));
            ASSERT_TRUE(QDir(work_.path()).mkpath(QStringLiteral("store")));
            const QString target = path(QStringLiteral("store/report.") + extension);
            const QString link = path(QStringLiteral("links/report.") + extension);
            if (targetExists) {
                QFile f(target);
                ASSERT_TRUE(f.open(QIODevice::WriteOnly));
                f.write(previous);
                f.close();
                // Private: a replacement must not be readable by others either.
                ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0600), 0);
            }
            // Relative, as links often are.
            ASSERT_EQ(::symlink(QByteArray("../store/report.").append(extension.toUtf8()).constData(),
                                QFile::encodeName(link).constData()),
                      0);

            const Outcome o = run(QStringList{query, link} + output);
            EXPECT_EQ(o.exitCode, 0) << o.errorOutput.toStdString();
            EXPECT_EQ(o.messages, QStringList());
            EXPECT_TRUE(QFileInfo(link).isSymLink());
            EXPECT_EQ(QFileInfo(link).symLinkTarget(), target);
            const QByteArray written = fileBytes(target);
            EXPECT_GT(written.size(), 20);
            EXPECT_NE(written, previous);
            struct stat st {};
            ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
            if (targetExists)
                EXPECT_EQ(st.st_mode & 07777, 0600u);
            else
                EXPECT_EQ(st.st_mode & 07777 & ~(0666 & ~mask), 0u) << "more open than the umask allows";
            EXPECT_EQ(QDir(path(QStringLiteral("links"))).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
                      QStringList{QStringLiteral("report.") + extension});
            EXPECT_EQ(QDir(path(QStringLiteral("store"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                      QStringList{QStringLiteral("report.") + extension});
        }
    }
}

TEST_F(BatchRunTest, OutputIsTheInteractiveExportOfTheSameResult) {
    const std::vector<QString> statements = {
        QStringLiteral("select * from m order by id"),
        // Values of several kinds in one column: the window's held result widens the
        // column (numbers to text, dates to text, text to bytes) and so must the run.
        QStringLiteral("select id,\n"
                       "  case id when 1 then 7 when 2 then 2.5 when 3 then 'abc' else 9007199254740993 end as mixed,\n"
                       "  case id when 1 then 1 when 2 then 2.5 else 3 end as num,\n"
                       "  d, case id when 2 then 'nodate' else d end as dd,\n"
                       "  case id when 4 then x'41' else note end as tb, flag + id as b\n"
                       "from m order by id"),
    };
    const std::vector<QStringList> outputs = {
        {QStringLiteral("D"), QStringLiteral("TAB"), QStringLiteral("1")},
        {QStringLiteral("D"), QStringLiteral(","), QStringLiteral("0")},
        {QStringLiteral("x"), QStringLiteral("xlsx"), QStringLiteral("0")},
        {QStringLiteral("X"), QStringLiteral("XLSX"), QStringLiteral("1")},
        {QStringLiteral("X"), QStringLiteral("xls"), QStringLiteral("1")},
        {QStringLiteral("X"), QStringLiteral("Html"), QStringLiteral("1")},
        {QStringLiteral("X"), QStringLiteral("CSV"), QStringLiteral("0")},
        {QStringLiteral("X"), QStringLiteral("xml"), QStringLiteral("1")},
    };
    int n = 0;
    for (const QString& sql : statements) {
        // The query file's name names the worksheet; the kind of its extension is any case.
        const QString query = writeQuery(QStringLiteral("Monthly Report.VNK"), sql);
        for (const QStringList& output : outputs) {
            SCOPED_TRACE((sql.left(20) + u'|' + output.join(u'|')).toStdString());
            const QString extension =
                output.at(0) == u"D" ? QStringLiteral("txt") : output.at(1).toLower();
            QDir(path(QStringLiteral("out"))).removeRecursively();
            const QString batchFile = path(QStringLiteral("out/batch%1.%2").arg(n).arg(extension));
            const QString windowFile = path(QStringLiteral("window%1.%2").arg(n).arg(extension));
            ++n;
            const Outcome o = run(QStringList{QStringLiteral("  ") + query, batchFile} + output);
            EXPECT_EQ(o.exitCode, 0) << o.errorOutput.toStdString();
            EXPECT_EQ(o.messages, QStringList());
            // Only the finished file, no staging left behind.
            EXPECT_EQ(QDir(path(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden),
                      QStringList{QFileInfo(batchFile).fileName()});
            interactiveExport(sqliteConnection(), work_.path(), sql, output, query, windowFile);
            expectSameOutput(batchFile, windowFile);
        }
    }
}

// Under a decimal-comma locale the numbers inside every spreadsheet file stay plain, read
// back exactly by the independent readers.
TEST_F(BatchRunTest, SpreadsheetsWrittenUnderAGermanLocaleHoldPlainNumbers) {
    test::requireLocale("de_DE.UTF-8");
    sqliteExec(database(), QStringLiteral(
        "CREATE TABLE n(a REAL, b REAL, c REAL, e REAL, f INTEGER, g REAL, d DATE, tm TIME, ts DATETIME);"
        "INSERT INTO n VALUES (1.5, 0.1, -2.25e-7, 1e20, 123456789012345, 1234567.89012345,"
        " '2024-02-29', '13:45:30', '2024-02-29 13:45:59');"));
    const QString query = writeQuery(QStringLiteral("numbers.vnk"), QStringLiteral("select * from n"));
    const struct {
        double value;
        const char* csv;  // the text an Excel-style csv holds
    } numbers[] = {{1.5, "1.5"},   {0.1, "0.1"}, {-2.25e-7, "-2.25E-7"}, {1e20, "1E20"},
                   {123456789012345.0, "123456789012345"}, {1234567.89012345, "1234567.89012345"}};
    const double day = static_cast<double>(QDate(1899, 12, 30).daysTo(QDate(2024, 2, 29)));
    const double dates[] = {day, (13 * 3600 + 45 * 60 + 30) / 86400.0, day + (13 * 3600 + 45 * 60 + 59) / 86400.0};
    const struct {
        const char* word;
        int format;
    } outputs[] = {{"XLSX", 1}, {"XLS", 2}, {"HTML", 3}, {"CSV", 4}, {"XML", 6}};
    for (const auto& out : outputs) {
        SCOPED_TRACE(out.word);
        const QString file = path(QStringLiteral("numbers.") + test::sheetExtension(out.format));
        const Outcome o = run({query, file, QStringLiteral("X"), QString::fromLatin1(out.word), QStringLiteral("1")},
                              QStringLiteral("de_DE.UTF-8"));
        EXPECT_EQ(o.exitCode, 0) << o.errorOutput.toStdString();
        EXPECT_EQ(o.messages, QStringList());
        const QJsonObject sheet = test::readSpreadsheet(out.format, file);
        ASSERT_FALSE(sheet.contains(QStringLiteral("error")))
            << sheet.value(QStringLiteral("error")).toString().toStdString();
        const auto value = [&sheet](int c) { return test::sheetCell(sheet, 1, c).toObject().value(QStringLiteral("v")); };
        int c = 0;
        for (const auto& n : numbers) {
            if (out.format == 4)
                EXPECT_EQ(value(c).toString(), QString::fromLatin1(n.csv)) << c;
            else
                EXPECT_EQ(value(c).toDouble(), n.value) << c;
            ++c;
        }
        if (out.format == 3) {
            // What a person reads there does follow the locale.
            EXPECT_EQ(test::sheetCell(sheet, 1, 0).toObject().value(QStringLiteral("text")).toString(),
                      QStringLiteral("1,5"));
        }
        if (out.format == 4)
            continue;  // its dates are texts in the user's own format
        for (const double d : dates) {
            EXPECT_LE(std::fabs(value(c).toDouble() - d), 0.5 / 86400000) << c;
            ++c;
        }
    }
}

TEST_F(BatchRunTest, StatementsThatChangeDataRunOnce) {
    // Values of two kinds would make a query run again to be held; this one must not.
    const QString query = writeQuery(
        QStringLiteral("q.vnk"), QStringLiteral("insert into counter values (5), ('five') returning n"));
    const Outcome o = run({query, QStringLiteral("out.txt"), QStringLiteral("D"), QStringLiteral(","),
                           QStringLiteral("1")});
    EXPECT_EQ(o.exitCode, 0) << o.errorOutput.toStdString();
    EXPECT_EQ(o.messages, QStringList());
    EXPECT_EQ(fileBytes(path(QStringLiteral("out.txt"))), QByteArray("n\r\n5\r\nfive\r\n"));
    EXPECT_EQ(sqliteScalar(database(), "select count(*) from counter"), 3);
}

// PostgreSQL through psqlODBC into every spreadsheet format the arguments name.
TEST_F(BatchRunTest, PostgresThroughOdbcIntoEverySpreadsheetFormat) {
    QString conn = test::postgresConnectionString();
    if (conn.isEmpty())
        GTEST_SKIP() << "VARNOCK_TEST_PG is empty: no PostgreSQL server for this run, the ODBC batch "
                        "export is NOT tested";
    conn.replace(QRegularExpression(QStringLiteral("Database=[^;]*")), QStringLiteral("Database=chinook"));
    const QString sql = QStringLiteral(
        "select invoice_id, customer_id, invoice_date, billing_city, billing_state, total,\n"
        "       total > 10 as large, null::varchar as nothing\n"
        "from invoice\norder by invoice_id");
    const QString query = writeQuery(QStringLiteral("invoices.vnk"), sql, conn);
    const std::vector<QStringList> outputs = {
        {QStringLiteral("X"), QStringLiteral("XLSX"), QStringLiteral("1")},
        {QStringLiteral("X"), QStringLiteral("XLS"), QStringLiteral("1")},
        {QStringLiteral("X"), QStringLiteral("HTML"), QStringLiteral("0")},
        {QStringLiteral("X"), QStringLiteral("CSV"), QStringLiteral("1")},
        {QStringLiteral("X"), QStringLiteral("XML"), QStringLiteral("1")},
        {QStringLiteral("D"), QStringLiteral("Tab"), QStringLiteral("1")},
    };
    for (const QStringList& output : outputs) {
        SCOPED_TRACE(output.join(u'|').toStdString());
        const QString extension = output.at(0) == u"D" ? QStringLiteral("txt") : output.at(1).toLower();
        const QString batchFile = path(QStringLiteral("pg.") + extension);
        const QString windowFile = path(QStringLiteral("pg-window.") + extension);
        const Outcome o = run(QStringList{query, batchFile} + output);
        EXPECT_EQ(o.exitCode, 0) << o.errorOutput.toStdString();
        EXPECT_EQ(o.messages, QStringList());
        ASSERT_TRUE(QFileInfo::exists(batchFile));
        try {
            interactiveExport(conn, work_.path(), sql, output, query, windowFile);
        } catch (const db::DbError& e) {
            FAIL() << e.message().toStdString();
        }
        expectSameOutput(batchFile, windowFile);
    }

    // A refused login is reported as it is: nobody answers a login window.
    QString wrong = conn;
    wrong.replace(QRegularExpression(QStringLiteral("PWD=[^;]*")), QStringLiteral("PWD=wrong"));
    const QString refused = writeQuery(QStringLiteral("refused.vnk"), sql, wrong);
    const Outcome o = run({refused, QStringLiteral("refused.xlsx"), QStringLiteral("X"), QStringLiteral("XLSX"),
                           QStringLiteral("1")});
    EXPECT_EQ(o.exitCode, 1);
    ASSERT_EQ(o.messages.size(), 1) << o.messages.join(u'|').toStdString();
    EXPECT_TRUE(o.messages.first().startsWith(QStringLiteral("Login failed for user 'varnock'.")))
        << o.messages.first().toStdString();
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("refused.xlsx"))));
}

// The words a driver adds about its own doings (the statement it sent to read a portion)
// are no part of what the user is told.
void expectProvidersWordsOnly(const QString& message) {
    EXPECT_FALSE(message.contains(QStringLiteral("SQL_CUR"))) << message.toStdString();
    EXPECT_FALSE(message.contains(QRegularExpression(QStringLiteral("fetch +\\d"),
                                                     QRegularExpression::CaseInsensitiveOption)))
        << message.toStdString();
    EXPECT_FALSE(message.contains(QStringLiteral("varnock_rows"))) << message.toStdString();
}

// A statement that fails before its first row logs the provider's message and then "No
// data to export."; one that fails once rows have been read logs the provider's message
// alone, whatever the driver is told about reading in portions.
TEST_F(BatchRunTest, PostgresStatementsFailingWhileFetchingLogTheProvidersMessage) {
    const QString conn = test::postgresConnectionString();
    if (conn.isEmpty())
        GTEST_SKIP() << "VARNOCK_TEST_PG is empty: no PostgreSQL server for this run, failures of the "
                        "fetch are NOT tested";
    const QString fails = QStringLiteral("ERROR: division by zero");
    struct Case {
        QString sql;
        bool rowsFirst;  // rows were read before the failure
    };
    const std::vector<Case> cases = {
        {QStringLiteral("select 1 / 0 as n"), false},
        {QStringLiteral("select x, 1 / (x - 1) as n from generate_series(1, 5) x"), false},
        // The third portion of 10000 rows fails.
        {QStringLiteral("select x, 1 / (x - 25000) as n from generate_series(1, 30000) x;"), true},
        // Failing within the first portion: nothing was read.
        {QStringLiteral("-- early\nselect x, 1 / (x - 30) as n from generate_series(1, 40) x"), false},
    };
    for (const QString& settings :
         {QString(), QStringLiteral(";UseDeclareFetch=1;Fetch=100"), QStringLiteral(";UseDeclareFetch=0")}) {
        for (const Case& c : cases) {
            SCOPED_TRACE((settings + u' ' + c.sql).toStdString());
            const QString query = writeQuery(QStringLiteral("fails.vnk"), c.sql, conn + settings);
            const Outcome o = run({query, QStringLiteral("fails.txt"), QStringLiteral("D"),
                                   QStringLiteral(","), QStringLiteral("1")});
            EXPECT_EQ(o.exitCode, 1) << o.errorOutput.toStdString();
            ASSERT_EQ(o.messages.size(), c.rowsFirst ? 1 : 2) << o.messages.join(u'|').toStdString();
            EXPECT_TRUE(o.messages.first().startsWith(fails)) << o.messages.first().toStdString();
            expectProvidersWordsOnly(o.messages.first());
            if (!c.rowsFirst) {
                EXPECT_EQ(o.messages.at(1), kNoData);
            }
            EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("fails.txt"))));
        }
    }
}

// The server ends the connection while rows are being read (a restart, an administrator):
// the run ends with the provider's message in the log and exit code 1, not with a signal,
// and no partial file is left.
TEST_F(BatchRunTest, PostgresConnectionLostWhileFetchingIsLoggedOnce) {
    const QString conn = test::postgresConnectionString();
    if (conn.isEmpty())
        GTEST_SKIP() << "VARNOCK_TEST_PG is empty: no PostgreSQL server for this run, a lost connection "
                        "is NOT tested";
    const QString mark = QStringLiteral("vnk_lost_%1").arg(QCoreApplication::applicationPid());
    const QString query = writeQuery(
        QStringLiteral("lost.vnk"),
        QStringLiteral("select x, repeat('v', 40) as pad from generate_series(1, 2000000) x"),
        conn + QStringLiteral(";pqopt={application_name=") + mark + u'}');
    std::unique_ptr<db::Driver> admin = db::openDriver(conn, std::nullopt, work_.path());
    auto programBackend = [&]() -> std::pair<QString, QString> {  // pid, start of its statement
        std::unique_ptr<db::RowSource> r = admin->execute(
            QStringLiteral("select pid::text, query_start::text from pg_stat_activity "
                           "where application_name = '") +
            mark + QStringLiteral("' and query ilike '%fetch%'"));
        if (r && r->next() && !r->isNull(0) && !r->isNull(1))
            return {QString::fromUtf8(r->textAt(0)), QString::fromUtf8(r->textAt(1))};
        return {};
    };

    QFile::remove(path(QStringLiteral("events.jsonl")));
    QProcess p;
    p.setProcessEnvironment(schedulerEnvironment());
    p.setWorkingDirectory(work_.path());
    p.start(kProgram, {query, QStringLiteral("lost.txt"), QStringLiteral("D"), QStringLiteral(","),
                       QStringLiteral("1")});
    ASSERT_TRUE(p.waitForStarted());
    // Rows have been passed on once a second portion is asked for.
    QString pid;
    QString firstStart;
    for (int i = 0; i < 3000 && p.state() == QProcess::Running; ++i) {
        const auto [backend, started] = programBackend();
        if (!backend.isEmpty() && firstStart.isEmpty())
            firstStart = started;
        if (!backend.isEmpty() && started != firstStart) {
            pid = backend;
            break;
        }
        QThread::msleep(10);
    }
    ASSERT_FALSE(pid.isEmpty()) << "the run was not seen reading its rows";
    (void)admin->execute(QStringLiteral("select pg_terminate_backend(") + pid + u')');
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << "the run died of a signal";
    EXPECT_EQ(p.exitCode(), 1);
    QStringList messages;
    QFile log(path(QStringLiteral("events.jsonl")));
    if (log.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : log.readAll().split('\n'))
            if (!line.isEmpty())
                messages << QJsonDocument::fromJson(line).object().value(QStringLiteral("message")).toString();
    }
    ASSERT_EQ(messages.size(), 1) << messages.join(u'|').toStdString();
    EXPECT_NE(messages.first(), kNoData);
    EXPECT_FALSE(messages.first().isEmpty());
    expectProvidersWordsOnly(messages.first());
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("lost.txt"))));
}

}  // namespace
