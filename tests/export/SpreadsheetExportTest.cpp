// Spreadsheet files written from real SQLite databases and read back with independent
// readers: openpyxl (xlsx), xlrd (xls), ElementTree (XML Spreadsheet 2003), html.parser
// and csv (tests/export/read_spreadsheet.py).
#include "SpreadsheetTestSupport.h"
#include "TestSupport.h"
#include "export/DelimitedWriter.h"
#include "export/ExportErrors.h"
#include "export/Spreadsheet.h"
#include "db/DbError.h"
#include "db/ResultSet.h"
#include "db/SqliteDriver.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <clocale>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using namespace vnk;
using namespace vnk::exporting;
using vnk::db::UserFormats;
using vnk::test::readSpreadsheet;
using vnk::test::sheetCell;
using vnk::test::sheetExtension;
using vnk::test::sheetRowCount;

namespace {

const char* const kChinook = VARNOCK_SHARED_DATA_DIR "/chinook/Chinook_Sqlite.sqlite";
const QString kDocument = QStringLiteral("/home/user/Queries/Monthly sales.vnk");

UserFormats testFormats() {
    UserFormats f;
    f.decimalSeparator = u'.';
    f.shortDate = QStringLiteral("dd/MM/yyyy");
    f.longTime = QStringLiteral("HH:mm:ss");
    f.shortTime = QStringLiteral("HH:mm");
    return f;
}

double serialOf(const QDate& d, int h = 0, int m = 0, int s = 0) {
    return static_cast<double>(QDate(1899, 12, 30).daysTo(d)) + (h * 3600 + m * 60 + s) / 86400.0;
}

QString str(const QJsonValue& v, const char* key) {
    return v.toObject().value(QLatin1String(key)).toString();
}

// What a cell should hold: its kind ('n' number, 'd' date, 's' text, 'b' Boolean, '-'
// nothing), value, the text it shows, and its number format ("" for general).
struct Expect {
    char t = '-';
    double num = 0;
    QString text;     // the text itself; for 'b' "1" or "0"
    QString display;  // as a csv or html copy shows it
    QString fmt;
    double within = -1;  // how far off the value may read back; below 0: a billionth of it
};

Expect num(double v, const QString& display) { return {'n', v, {}, display, {}}; }
Expect date(double v, const QString& display, const QString& fmt) { return {'d', v, {}, display, fmt}; }
Expect text(const QString& t, const QString& fmt = {}) { return {'s', 0, t, t, fmt}; }
Expect boolean(bool b) { return {'b', 0, b ? QStringLiteral("1") : QStringLiteral("0"), b ? QStringLiteral("TRUE") : QStringLiteral("FALSE"), {}}; }
Expect none(const QString& fmt = {}) { return {'-', 0, {}, {}, fmt}; }
// e with its value read back no further off than tolerance (0: exactly).
Expect within(Expect e, double tolerance) {
    e.within = tolerance;
    return e;
}

bool near(double a, double b) {
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
}

// All the digits of a double, for messages about exact values.
std::string digits(double v) {
    return QString::number(v, 'g', 17).toStdString();
}

bool valueMatches(double got, const Expect& e) {
    return e.within < 0 ? near(got, e.num) : std::fabs(got - e.num) <= e.within;
}

// Checks one read-back cell against what it should hold, as the format can carry it.
void expectCell(int format, const QJsonValue& cell, const Expect& e, const std::string& where) {
    SCOPED_TRACE(where);
    const QJsonObject c = cell.toObject();
    const QString t = c.value(QStringLiteral("t")).toString();
    const QString fmt = c.value(QStringLiteral("fmt")).toString();
    const bool formats = format != 4;
    if (e.t == '-') {
        EXPECT_TRUE(cell.isNull() || t == u"blank") << t.toStdString();
        if (!e.fmt.isEmpty() && formats && format != 3) {
            EXPECT_EQ(fmt, e.fmt);
        }
        return;
    }
    ASSERT_FALSE(cell.isNull());
    if (format == 4) {  // csv: every cell as it shows
        EXPECT_EQ(t, QStringLiteral("s"));
        EXPECT_EQ(c.value(QStringLiteral("v")).toString(), e.display);
        return;
    }
    if (formats) {
        QString want = e.fmt.isEmpty() ? QStringLiteral("General") : e.fmt;
        // html marks a text that a spreadsheet would take for a number (a postal code, an
        // integer beyond a double's digits) as text, so that it stays as it is
        static const QRegularExpression numberLike(QStringLiteral("^[-+]?[0-9.]"));
        if (format == 3 && e.t == 's' && want == u"General" && numberLike.match(e.text).hasMatch())
            want = QStringLiteral("@");
        // XML shows Booleans as numbers through a format that every spreadsheet program reads
        if (format == 6 && e.t == 'b')
            want = QStringLiteral("\"TRUE\";\"TRUE\";\"FALSE\"");
        EXPECT_EQ(fmt, want);
    }
    if (format == 3) {  // html: what shows, and the value behind numbers and dates
        if (e.t == 'n' || e.t == 'd') {
            EXPECT_EQ(t, QStringLiteral("n"));
            EXPECT_TRUE(valueMatches(c.value(QStringLiteral("v")).toDouble(), e))
                << digits(c.value(QStringLiteral("v")).toDouble()) << " vs " << digits(e.num);
            EXPECT_EQ(c.value(QStringLiteral("text")).toString(), e.display);
        } else {
            EXPECT_EQ(c.value(QStringLiteral("v")).toString(), e.display);
        }
        return;
    }
    EXPECT_EQ(t, QString(QChar::fromLatin1(e.t)));
    const QJsonValue v = c.value(QStringLiteral("v"));
    switch (e.t) {
    case 'n':
    case 'd': EXPECT_TRUE(valueMatches(v.toDouble(), e)) << digits(v.toDouble()) << " vs " << digits(e.num); break;
    case 'b': EXPECT_EQ(v.toBool(), e.text == u"1"); break;
    default: EXPECT_EQ(v.toString(), e.text); break;
    }
}

class Progress : public ExportProgress {
public:
    void rowsWritten(std::int64_t rows) override { last = rows; }
    std::int64_t last = -1;
};

class SpreadsheetExport : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    UserFormats formats_ = testFormats();

    QString target(int format, const QString& base = QStringLiteral("out")) const {
        return dir_.filePath(base + u'.' + sheetExtension(format));
    }

    QString write(db::RowSource& rows, int format, bool titles = true,
                  const QString& document = kDocument, ExportProgress* progress = nullptr) {
        SpreadsheetOptions o;
        o.format = format;
        o.fileName = target(format);
        o.withTitles = titles;
        o.documentName = document;
        return exportToSpreadsheet(rows, o, formats_, progress);
    }

    // The message of the ExportError the export raises (empty when none).
    QString failure(db::RowSource& rows, int format, bool titles = true,
                    const QString& document = kDocument) {
        try {
            write(rows, format, titles, document);
        } catch (const ExportError& e) {
            return e.message();
        }
        return {};
    }
};

class EveryFormat : public SpreadsheetExport, public ::testing::WithParamInterface<int> {};

const char* const kAccounts =
    "SELECT AccountNo, AccountName, AccountType, OpenedOn, Balance, CreditLimit, InterestRate, "
    "Active, LastReview, CutoffTime, Notes, Logo FROM Mtn_Account ORDER BY AccountNo";

}  // namespace

TEST_P(EveryFormat, DemoAccountsKeepTheirValuesKindsAndFormats) {
    const int format = GetParam();
    db::SqliteDriver demo(test::demoDatabasePath());
    auto rows = demo.execute(QString::fromUtf8(kAccounts));
    Progress progress;
    const QString path = write(*rows, format, true, kDocument, &progress);
    EXPECT_EQ(path, target(format));
    EXPECT_EQ(progress.last, 12);
    const QJsonObject sheet = readSpreadsheet(format, path);
    ASSERT_FALSE(sheet.contains(QStringLiteral("error"))) << str(sheet, "error").toStdString();

    if (format != 4) {
        EXPECT_EQ(sheet.value(QStringLiteral("sheet")).toString(), QStringLiteral("Monthly sales"));
    }
    EXPECT_EQ(sheetRowCount(sheet), 13);

    // CHAR(3) AccountType and the BLOB Logo are left out; the rest close up.
    const QStringList titles = QStringLiteral("AccountNo AccountName OpenedOn Balance CreditLimit "
                                              "InterestRate Active LastReview CutoffTime Notes")
                                   .split(u' ');
    for (int c = 0; c < titles.size(); ++c) {
        const QJsonValue cell = sheetCell(sheet, 0, c);
        EXPECT_EQ(str(cell, "v"), titles[c]);
        if (format != 4) {
            EXPECT_TRUE(cell.toObject().value(QStringLiteral("bold")).toBool()) << c;
        }
    }
    EXPECT_TRUE(sheetCell(sheet, 0, titles.size()).isNull());
    EXPECT_FALSE(sheetCell(sheet, 1, 0).toObject().value(QStringLiteral("bold")).toBool());
    if (format != 4) {
        EXPECT_EQ(sheet.value(QStringLiteral("freeze")).toString(), QStringLiteral("A2"));
    }
    if (format == 1 || format == 6) {
        EXPECT_EQ(sheet.value(QStringLiteral("selection")).toString(), QStringLiteral("A2"));
    }

    const QString textFmt = QStringLiteral("@"), dateFmt = QStringLiteral("dd/mm/yyyy"),
                  timeFmt = QStringLiteral("hh:mm"), dateTimeFmt = QStringLiteral("dd/mm/yyyy hh:mm");
    const std::vector<Expect> a1001 = {
        text(QStringLiteral("A-1001"), textFmt),
        text(QStringLiteral("Northwind Traders")),
        date(serialOf({2019, 3, 14}), QStringLiteral("14/03/2019"), dateFmt),
        num(15230.75, QStringLiteral("15230.75")),
        num(5000000000.0, QStringLiteral("5000000000")),
        num(0.0125, QStringLiteral("0.0125")),
        boolean(true),
        date(serialOf({2026, 1, 31}), QStringLiteral("31/01/2026 00:00"), dateTimeFmt),
        date(serialOf({1899, 12, 30}, 17, 30), QStringLiteral("17:30"), timeFmt),
        text(QStringLiteral("Main operating account"), textFmt),
    };
    for (int c = 0; c < static_cast<int>(a1001.size()); ++c)
        expectCell(format, sheetCell(sheet, 1, c), a1001[static_cast<std::size_t>(c)],
                   "A-1001 column " + std::to_string(c));

    const struct {
        int row, col;
        Expect e;
    } special[] = {
        // an integer no double holds exactly stays whole, as its digits
        {3, 4, text(QStringLiteral("9007199254740993"))},
        {3, 9, text(QStringLiteral("Says \"hold\" until further notice"), textFmt)},
        {3, 8, none(timeFmt)},  // null time
        {3, 6, boolean(false)},
        {4, 9, text(QStringLiteral("Line one\r\nLine two"), textFmt)},
        {4, 7, none(dateTimeFmt)},
        {4, 5, none()},
        {2, 1, text(QString::fromUtf8("Zürich Rückversicherung AG"))},
        {5, 1, text(QString::fromUtf8("東京 Trading Co."))},
        {5, 4, num(-3000000000.0, QStringLiteral("-3000000000"))},
        {5, 8, none(timeFmt)},  // 00:00:00 is the zero date-time: an empty cell
        {6, 2, none(dateFmt)},
        {6, 3, none()},
        {8, 5, num(1.5e-7, QStringLiteral("1.5E-7"))},
        {8, 9, none(textFmt)},  // an empty text
        {10, 5, num(1e20, QStringLiteral("1E20"))},
        {10, 1, text(QStringLiteral("Tab\tSeparated Ltd"))},
        {11, 5, num(3.141592653589793, QStringLiteral("3.14159265358979"))},
        {12, 7, date(serialOf({2026, 7, 15}), QStringLiteral("15/07/2026 00:00"), dateTimeFmt)},
    };
    for (const auto& s : special)
        expectCell(format, sheetCell(sheet, s.row, s.col), s.e,
                   "row " + std::to_string(s.row) + " column " + std::to_string(s.col));

    if (format == 1 || format == 2 || format == 6) {
        // Fitted over the whole column: the long note is the widest, the Boolean narrow.
        const QJsonArray w = sheet.value(QStringLiteral("widths")).toArray();
        ASSERT_EQ(w.size(), 10);
        EXPECT_GT(w.at(9).toDouble(), 200);
        EXPECT_LT(w.at(6).toDouble(), 10);
        EXPECT_GT(w.at(1).toDouble(), 24);  // "Société Générale d'Épargne" and its like
        EXPECT_GT(w.at(7).toDouble(), 15);  // "31/01/2026 00:00"
    }
    if (format == 4) {
        EXPECT_TRUE(sheet.value(QStringLiteral("crlf")).toBool());
        EXPECT_FALSE(sheet.value(QStringLiteral("bom")).toBool());
    }
}

TEST_P(EveryFormat, ChinookTablesReadBackValueByValue) {
    const int format = GetParam();
    db::SqliteDriver chinook(QString::fromUtf8(kChinook));
    for (const char* sql : {"SELECT * FROM Invoice ORDER BY InvoiceId",
                            "SELECT * FROM Track ORDER BY TrackId"}) {
        SCOPED_TRACE(sql);
        auto rows = chinook.execute(QString::fromUtf8(sql));
        const QString path = write(*rows, format);
        const QJsonObject sheet = readSpreadsheet(format, path);
        ASSERT_FALSE(sheet.contains(QStringLiteral("error"))) << str(sheet, "error").toStdString();

        auto held = db::ResultSet::fetchAll(*chinook.execute(QString::fromUtf8(sql)));
        ASSERT_EQ(sheetRowCount(sheet), held->recordCount() + 1);
        for (int c = 0; c < held->fieldCount(); ++c)
            EXPECT_EQ(str(sheetCell(sheet, 0, c), "v"), held->field(c).name);
        for (std::int64_t r = 0; r < held->recordCount(); ++r) {
            for (int c = 0; c < held->fieldCount(); ++c) {
                Expect e;
                if (!held->isNull(r, c)) {
                    const db::FieldKind k = held->field(c).kind;
                    if (db::isIntegerKind(k)) {
                        e = num(static_cast<double>(held->int64At(r, c)), QString::number(held->int64At(r, c)));
                    } else if (k == db::FieldKind::Decimal) {
                        e = num(held->doubleAt(r, c), QString::number(held->doubleAt(r, c), 'g', 15));
                    } else if (k == db::FieldKind::DateTime) {
                        const QDateTime dt = held->value(r, c).toDateTime();
                        e = date(static_cast<double>(held->dateTimeAt(r, c)) / db::kMsPerDay,
                                 dt.toString(QStringLiteral("dd/MM/yyyy HH:mm")),
                                 QStringLiteral("dd/mm/yyyy hh:mm"));
                    } else {
                        ASSERT_EQ(k, db::FieldKind::WideString);
                        e = text(QString::fromUtf8(held->textAt(r, c).data(),
                                                   static_cast<qsizetype>(held->textAt(r, c).size())));
                    }
                }
                expectCell(format, sheetCell(sheet, static_cast<int>(r) + 1, c), e,
                           "row " + std::to_string(r) + " column " + std::to_string(c));
                if (::testing::Test::HasFailure())
                    return;
            }
        }
    }
}

TEST_P(EveryFormat, FailedExportLeavesThePreviousFileAlone) {
    const int format = GetParam();
    const QString path = target(format);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("previous");
    }
    test::SyntheticRows rows(3, 100, db::FieldKind::Integer, 50);
    EXPECT_THROW(write(rows, format), db::DbError);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("previous"));
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QFileInfo(path).fileName()});
}

TEST_P(EveryFormat, StreamedAndHeldRowsGiveTheSameFile) {
    const int format = GetParam();
    db::SqliteDriver demo(test::demoDatabasePath());
    const QString sql = QStringLiteral("SELECT * FROM Mtn_Journal ORDER BY EntryNo");
    auto streamed = demo.execute(sql);
    const QString a = dir_.filePath(QStringLiteral("streamed.") + sheetExtension(format));
    ASSERT_TRUE(QFile::rename(write(*streamed, format), a));
    auto held = db::ResultSet::fetchAll(*demo.execute(sql));
    auto heldRows = held->rows();
    const QString b = write(*heldRows, format);
    if (format == 1) {
        // A workbook records when it was made: compare what it holds.
        const QJsonObject sa = readSpreadsheet(format, a);
        EXPECT_FALSE(sa.contains(QStringLiteral("error")));
        EXPECT_EQ(sheetRowCount(sa), 251);
        EXPECT_EQ(sa, readSpreadsheet(format, b));
        return;
    }
    QFile fa(a), fb(b);
    ASSERT_TRUE(fa.open(QIODevice::ReadOnly));
    ASSERT_TRUE(fb.open(QIODevice::ReadOnly));
    EXPECT_TRUE(fa.readAll() == fb.readAll());
}

// The C library formats and reads numbers by the process's locale, which QCoreApplication
// takes from the user: under de_DE its decimal comma must reach neither a value nor a
// column width inside the file, only the texts meant to be read.
TEST_P(EveryFormat, ADecimalCommaLocaleLeavesTheNumbersInTheFilePlain) {
    const int format = GetParam();
    formats_.shortTime = QStringLiteral("HH:mm:ss");  // seconds shown in csv and html too
    const QString dayFmt = QStringLiteral("dd/mm/yyyy"), timeFmt = QStringLiteral("hh:mm:ss");
    const auto exact = [](Expect e) { return within(e, 0); };
    const auto toTheMs = [](Expect e) { return within(e, 0.5 / 86400000); };
    // One column per case, all in one row.
    struct Case {
        const char* type;
        const char* literal;
        Expect e;
    };
    const std::vector<Case> cases = {
        {"REAL", "1.5", exact(num(1.5, QStringLiteral("1.5")))},
        {"REAL", "0.1", exact(num(0.1, QStringLiteral("0.1")))},
        {"REAL", "-2.25e-7", exact(num(-2.25e-7, QStringLiteral("-2.25E-7")))},
        {"REAL", "1e20", exact(num(1e20, QStringLiteral("1E20")))},
        {"INTEGER", "123456789012345", exact(num(123456789012345.0, QStringLiteral("123456789012345")))},
        {"REAL", "1234567.89012345", exact(num(1234567.89012345, QStringLiteral("1234567.89012345")))},
        {"DATE", "'2024-02-29'", toTheMs(date(serialOf({2024, 2, 29}), QStringLiteral("29/02/2024"), dayFmt))},
        {"TIME", "'13:45:30'",
         toTheMs(date(serialOf({1899, 12, 30}, 13, 45, 30), QStringLiteral("13:45:30"), timeFmt))},
        {"DATETIME", "'2024-02-29 13:45:59'",
         toTheMs(date(serialOf({2024, 2, 29}, 13, 45, 59), QStringLiteral("29/02/2024 13:45:59"),
                      dayFmt + u' ' + timeFmt))},
    };
    std::string columns, values;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        columns += (i ? ", c" : "c") + std::to_string(i) + ' ' + cases[i].type;
        values += (i ? ", " : "") + std::string(cases[i].literal);
    }
    const QString db = dir_.filePath(QStringLiteral("numbers.sqlite"));
    const std::string script =
        "CREATE TABLE t (" + columns + "); INSERT INTO t VALUES (" + values + ");";
    test::createSqliteDatabase(db, script.c_str());
    db::SqliteDriver driver(db);
    const auto exportUnder = [&](const char* locale, const QString& name) {
        const test::ProcessLocale switched(locale);
        auto rows = driver.execute(QStringLiteral("SELECT * FROM t"));
        const QString path = dir_.filePath(name + u'.' + sheetExtension(format));
        EXPECT_TRUE(QFile::rename(write(*rows, format), path));
        // The writer leaves the locale it found.
        EXPECT_STREQ(std::localeconv()->decimal_point, std::strcmp(locale, "C") ? "," : ".");
        return path;
    };
    const QString german = exportUnder("de_DE.UTF-8", QStringLiteral("german"));
    const QString plain = exportUnder("C", QStringLiteral("plain"));

    const QJsonObject sheet = readSpreadsheet(format, german);
    ASSERT_FALSE(sheet.contains(QStringLiteral("error"))) << str(sheet, "error").toStdString();
    for (std::size_t i = 0; i < cases.size(); ++i)
        expectCell(format, sheetCell(sheet, 1, static_cast<int>(i)), cases[i].e,
                   std::string(cases[i].type) + ' ' + cases[i].literal);
    // Nothing else differs either, the column widths included.
    if (format == 1) {  // a workbook records when it was made: compare what it holds
        EXPECT_EQ(sheet, readSpreadsheet(format, plain));
    } else {
        QFile a(german), b(plain);
        ASSERT_TRUE(a.open(QIODevice::ReadOnly));
        ASSERT_TRUE(b.open(QIODevice::ReadOnly));
        EXPECT_TRUE(a.readAll() == b.readAll());
    }

    // An export that fails half way leaves the locale as it found it too.
    const test::ProcessLocale switched("de_DE.UTF-8");
    test::SyntheticRows failing(3, 100, db::FieldKind::Float, 50);
    EXPECT_THROW(write(failing, format), db::DbError);
    EXPECT_STREQ(std::localeconv()->decimal_point, ",");
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat, ::testing::Values(1, 2, 3, 4, 6),
                         [](const auto& param) { return sheetExtension(param.param).toStdString(); });

TEST_F(SpreadsheetExport, FortyFiveRecordsFillRowsTwoToFortySixWithTheirFormats) {
    db::SqliteDriver demo(test::demoDatabasePath());
    const QString sql = QStringLiteral(
        "SELECT BudgetId, AccountNo, UpdatedAt, Comment FROM Mtn_AccountBudget ORDER BY BudgetId LIMIT 45");
    for (const int format : {1, 2, 6}) {
        SCOPED_TRACE(format);
        for (const bool titles : {true, false}) {
            auto rows = demo.execute(sql);
            const QJsonObject sheet = readSpreadsheet(format, write(*rows, format, titles));
            ASSERT_FALSE(sheet.contains(QStringLiteral("error"))) << str(sheet, "error").toStdString();
            const int first = titles ? 1 : 0;
            ASSERT_EQ(sheetRowCount(sheet), first + 45);
            for (int r = first; r < first + 45; ++r) {
                EXPECT_DOUBLE_EQ(sheetCell(sheet, r, 0).toObject().value(QStringLiteral("v")).toDouble(), r - first + 1);
                // Every data row carries the column formats, a null Comment included.
                EXPECT_EQ(str(sheetCell(sheet, r, 1), "fmt"), QStringLiteral("@")) << r;
                EXPECT_EQ(str(sheetCell(sheet, r, 2), "fmt"), QStringLiteral("dd/mm/yyyy hh:mm")) << r;
                EXPECT_EQ(str(sheetCell(sheet, r, 3), "fmt"), QStringLiteral("@")) << r;
            }
            EXPECT_EQ(str(sheetCell(sheet, first + 2, 3), "t"), QStringLiteral("blank"));
            if (titles) {
                EXPECT_EQ(str(sheetCell(sheet, 0, 0), "v"), QStringLiteral("BudgetId"));
                EXPECT_EQ(str(sheetCell(sheet, 0, 1), "fmt"), QStringLiteral("General"));
                EXPECT_EQ(sheet.value(QStringLiteral("freeze")).toString(), QStringLiteral("A2"));
            } else {
                EXPECT_TRUE(sheet.value(QStringLiteral("freeze")).isNull());
                EXPECT_NE(sheet.value(QStringLiteral("selection")).toString(), QStringLiteral("A2"));
            }
        }
    }
}

// Calc's html import takes a cell's value from sdval only when sdnum gives a format, and
// drops a time format with a one-digit hour; otherwise it reads the shown text in its own
// locale ("0,035" from a comma-decimal export becomes 35, a time a bare day fraction).
TEST_F(SpreadsheetExport, HtmlNumbersAndTimesCarryAFormatCalcKeeps) {
    const QString db = dir_.filePath(QStringLiteral("calc.sqlite"));
    test::createSqliteDatabase(db, "CREATE TABLE t (r REAL, i INTEGER, c TIME);"
                                   "INSERT INTO t VALUES (0.035, 5000000000, '17:30:00');");
    formats_.decimalSeparator = u',';
    formats_.shortTime = QStringLiteral("h:mm AP");
    db::SqliteDriver driver(db);
    auto rows = driver.execute(QStringLiteral("SELECT * FROM t"));
    QFile f(write(*rows, 3));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(f.readAll());
    const QRegularExpression cell(QStringLiteral("<td([^>]*)>([^<]*)</td>"));
    QStringList seen;
    for (auto m = cell.globalMatch(html); m.hasNext();) {
        const auto c = m.next();
        const QString attrs = c.captured(1);
        if (!attrs.contains(QStringLiteral("sdval=")))
            continue;
        const QRegularExpression sdnum(QStringLiteral("sdnum=\"1033;1033;([^\"]*)\""));
        const auto fmt = sdnum.match(attrs);
        ASSERT_TRUE(fmt.hasMatch()) << attrs.toStdString();
        seen << c.captured(2) + u'=' + fmt.captured(1);
    }
    EXPECT_EQ(seen, (QStringList{QStringLiteral("0,035=General"), QStringLiteral("5000000000=General"),
                                 QStringLiteral("5:30 PM=hh:mm AM/PM")}));
}

TEST_F(SpreadsheetExport, CharColumnsAreLeftOutVarcharIsTextNvarcharIsNot) {
    const QString db = dir_.filePath(QStringLiteral("kinds.sqlite"));
    test::createSqliteDatabase(db,
        "CREATE TABLE t (n INTEGER, c CHAR(3), v VARCHAR(10), w NVARCHAR(10));"
        "INSERT INTO t VALUES (1, 'abc', '007', '007');");
    db::SqliteDriver driver(db);
    for (const int format : {1, 2, 6, 3}) {
        SCOPED_TRACE(format);
        auto rows = driver.execute(QStringLiteral("SELECT * FROM t"));
        const QJsonObject sheet = readSpreadsheet(format, write(*rows, format));
        ASSERT_FALSE(sheet.contains(QStringLiteral("error"))) << str(sheet, "error").toStdString();
        EXPECT_EQ(str(sheetCell(sheet, 0, 1), "v"), QStringLiteral("v"));
        EXPECT_EQ(str(sheetCell(sheet, 0, 2), "v"), QStringLiteral("w"));
        EXPECT_TRUE(sheetCell(sheet, 0, 3).isNull());
        expectCell(format, sheetCell(sheet, 1, 0), num(1, QStringLiteral("1")), "n");
        expectCell(format, sheetCell(sheet, 1, 1), text(QStringLiteral("007"), QStringLiteral("@")), "v");
        expectCell(format, sheetCell(sheet, 1, 2), text(QStringLiteral("007")), "w");
        EXPECT_TRUE(sheetCell(sheet, 1, 3).isNull());
    }
    // Nothing exportable at all: a valid, empty sheet.
    for (const int format : {1, 2, 6}) {
        auto rows = driver.execute(QStringLiteral("SELECT c FROM t"));
        const QJsonObject sheet = readSpreadsheet(format, write(*rows, format));
        ASSERT_FALSE(sheet.contains(QStringLiteral("error"))) << str(sheet, "error").toStdString();
        EXPECT_TRUE(sheetCell(sheet, 0, 0).isNull());
        EXPECT_TRUE(sheetCell(sheet, 1, 0).isNull());
    }
}

TEST_F(SpreadsheetExport, LongTextsAreCutToWhatACellHolds) {
    const QString db = dir_.filePath(QStringLiteral("long.sqlite"));
    test::createSqliteDatabase(db,
        "CREATE TABLE t (v VARCHAR(50000), w NVARCHAR(50000), m TEXT);"
        "INSERT INTO t VALUES (printf('%.40000c', 'a'), printf('%.32766c', 'b'), printf('%.32767c', 'c'));");
    db::SqliteDriver driver(db);
    for (const int format : {1, 2, 6, 4}) {
        SCOPED_TRACE(format);
        auto rows = driver.execute(QStringLiteral("SELECT * FROM t"));
        const QJsonObject sheet = readSpreadsheet(format, write(*rows, format));
        ASSERT_FALSE(sheet.contains(QStringLiteral("error"))) << str(sheet, "error").toStdString();
        EXPECT_EQ(str(sheetCell(sheet, 1, 0), "v"), QString(32764, u'a') + QStringLiteral("..."));
        EXPECT_EQ(str(sheetCell(sheet, 1, 1), "v"), QString(32766, u'b'));  // fits: whole
        EXPECT_EQ(str(sheetCell(sheet, 1, 2), "v"), QString(32764, u'c') + QStringLiteral("..."));
    }
}

TEST_F(SpreadsheetExport, TooManyColumnsStopTheExportBeforeAnyFileExists) {
    {
        test::SyntheticRows rows(257, 1);
        EXPECT_EQ(failure(rows, 2), QStringLiteral("The maximum number of columns (256) has been reached"));
        EXPECT_FALSE(QFile::exists(target(2)));
    }
    {
        test::SyntheticRows rows(16385, 1);
        EXPECT_EQ(failure(rows, 1), QStringLiteral("The maximum number of columns (16384) has been reached"));
        EXPECT_FALSE(QFile::exists(target(1)));
    }
    test::SyntheticRows rows(256, 2);
    const QJsonObject sheet = readSpreadsheet(2, write(rows, 2));
    ASSERT_FALSE(sheet.contains(QStringLiteral("error"))) << str(sheet, "error").toStdString();
    EXPECT_EQ(sheet.value(QStringLiteral("ncols")).toInt(), 256);
    EXPECT_EQ(sheet.value(QStringLiteral("nrows")).toInt(), 3);
    EXPECT_DOUBLE_EQ(sheetCell(sheet, 2, 255).toObject().value(QStringLiteral("v")).toDouble(), 2);
}

TEST_F(SpreadsheetExport, TooManyRowsStopTheExportAndWriteNoFile) {
    {
        // With titles the records start in row 2: 65535 of them fill an xls sheet.
        test::SyntheticRows rows(1, 65535);
        const QJsonObject sheet = readSpreadsheet(2, write(rows, 2));
        ASSERT_FALSE(sheet.contains(QStringLiteral("error"))) << str(sheet, "error").toStdString();
        EXPECT_EQ(sheet.value(QStringLiteral("nrows")).toInt(), 65536);
        EXPECT_DOUBLE_EQ(sheetCell(sheet, 65535, 0).toObject().value(QStringLiteral("v")).toDouble(), 65535);
        QFile::remove(target(2));
    }
    {
        test::SyntheticRows rows(1, 65536);
        EXPECT_EQ(failure(rows, 2), QStringLiteral("The maximum number of rows (65536) has been reached"));
        EXPECT_FALSE(QFile::exists(target(2)));
    }
    {
        test::SyntheticRows rows(1, 65536);
        EXPECT_EQ(failure(rows, 2, false), QString());  // without titles they fit
    }
    for (const int format : {1, 4}) {
        test::SyntheticRows rows(1, 1048577);
        EXPECT_EQ(failure(rows, format, false),
                  QStringLiteral("The maximum number of rows (1048576) has been reached"));
        EXPECT_FALSE(QFile::exists(target(format)));
    }
}

TEST_F(SpreadsheetExport, FormatsTheApplicationCannotWriteAreRefused) {
    for (const int format : {5, 0, 7}) {
        test::SyntheticRows rows(2, 3);
        EXPECT_EQ(failure(rows, format), QStringLiteral("This action is not supported in this Excel version"));
        EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList());
    }
}

TEST_F(SpreadsheetExport, AWorksheetNameWithInvalidCharactersFails) {
    test::SyntheticRows rows(2, 3);
    const QString message = failure(rows, 1, true, QStringLiteral("/q/Budget [draft].vnk"));
    EXPECT_TRUE(message.contains(QStringLiteral("\"Budget [draft]\""))) << message.toStdString();
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList());

    // An unsaved document names its sheet <NoName>.
    test::SyntheticRows more(2, 3);
    const QJsonObject sheet = readSpreadsheet(2, write(more, 2, true, QStringLiteral("<NoName>....")));
    EXPECT_EQ(sheet.value(QStringLiteral("sheet")).toString(), QStringLiteral("<NoName>"));
}

TEST_F(SpreadsheetExport, ALiveInstanceGetsAFreshWorkbookInATemporaryFolder) {
    test::SyntheticRows rows(2, 3, db::FieldKind::Date);
    SpreadsheetOptions o;
    o.liveInstance = true;
    o.format = 4;  // not used: the application opens a workbook
    o.documentName = kDocument;
    const QString path = exportToSpreadsheet(rows, o, formats_);
    const QFileInfo info(path);
    EXPECT_EQ(info.fileName(), QStringLiteral("Monthly sales.xlsx"));
    EXPECT_TRUE(info.absolutePath().startsWith(QDir::tempPath()));
    const QJsonObject sheet = readSpreadsheet(1, path);
    EXPECT_EQ(sheet.value(QStringLiteral("sheet")).toString(), QStringLiteral("Monthly sales"));
    expectCell(1, sheetCell(sheet, 1, 0), date(1, QString(), QStringLiteral("dd/mm/yyyy")), "date");
    test::SyntheticRows again(1, 1);
    const QString second = exportToSpreadsheet(again, o, formats_);
    EXPECT_NE(QFileInfo(second).absolutePath(), info.absolutePath());
    QDir(info.absolutePath()).removeRecursively();
    QDir(QFileInfo(second).absolutePath()).removeRecursively();
}

TEST_F(SpreadsheetExport, WidthsAreFittedToTheLastRowToo) {
    const QString db = dir_.filePath(QStringLiteral("widths.sqlite"));
    test::createSqliteDatabase(db,
        "CREATE TABLE t (id INTEGER, name NVARCHAR(100));"
        "WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE n < 3000)"
        " INSERT INTO t SELECT n, 'x' FROM s;"
        "INSERT INTO t VALUES (3001, printf('%.60c', 'w'));");
    db::SqliteDriver driver(db);
    for (const int format : {1, 2, 6}) {
        SCOPED_TRACE(format);
        auto rows = driver.execute(QStringLiteral("SELECT * FROM t ORDER BY id"));
        const QJsonObject sheet = readSpreadsheet(format, write(*rows, format));
        const QJsonArray w = sheet.value(QStringLiteral("widths")).toArray();
        ASSERT_EQ(w.size(), 2);
        EXPECT_GE(w.at(1).toDouble(), 60);
        EXPECT_LT(w.at(1).toDouble(), 66);
        EXPECT_LT(w.at(0).toDouble(), 8);
    }
}

TEST_F(SpreadsheetExport, ALargeXlsNeedsMoreThanTheHeaderSectorTable) {
    // 20000 rows of 40 numbers: about 15 MB of workbook stream, more sector tables than
    // the container's header can list (more than 7 MB).
    test::SyntheticRows rows(40, 20000, db::FieldKind::Float);
    const QString path = write(rows, 2);
    EXPECT_GT(QFileInfo(path).size(), 8 << 20);
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import sys, xlrd\n"
                            "b = xlrd.open_workbook(sys.argv[1])\n"
                            "s = b.sheet_by_index(0)\n"
                            "print(s.nrows, s.ncols, s.cell_value(20000, 39), "
                            "int(sum(s.col_values(7, 1))))\n"),
             path});
    ASSERT_TRUE(p.waitForFinished(300000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(p.readAllStandardOutput().trimmed(), QByteArray("20001 40 20000.0 200010000"));
}
