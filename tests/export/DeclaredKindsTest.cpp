// SQLite columns with a declared type keep their kind whatever values they hold: a value
// the kind cannot hold is its own text in that one cell. Checked through everything that
// reads a result: the held result and the streamed rows, the client-side sort, the
// delimited export (the held fast path and the streamed path) and the spreadsheet cells,
// and against the SQLite ODBC driver on the same file.

#include "SpreadsheetTestSupport.h"
#include "db/Connection.h"
#include "db/ResultSet.h"
#include "db/ValueFormat.h"
#include "db/ValueText.h"
#include "export/DelimitedWriter.h"
#include "export/SpreadsheetModel.h"

#include <QBuffer>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vnk;
using db::FieldKind;
using db::Storage;

namespace {

// Each column is one case: a declared type and values that fit it or not.
constexpr const char* kTable =
    "CREATE TABLE k(id INTEGER PRIMARY KEY, v DATETIME, b BOOLEAN, i INTEGER, d DECIMAL(10,2),"
    " t TEXT, dd DATE);"
    "INSERT INTO k VALUES"
    " (1, '2024-03-05 00:00:00', 1,      7,     12.5,  'x',   '2024-01-02'),"
    " (2, NULL,                  0,      'a,b', 3,     5,     'soon'),"
    " (3, '',                    1,      -3,    'n/a', x'41', NULL),"
    " (4, '2023-01-02 10:30:00', 2,      2.5,   9007199254740993, NULL, '2024-01-01'),"
    " (5, 45000,                 'yes',  NULL,  -1,    1.5,   '2024-13-45');";

constexpr const char* kQuery = "SELECT id, v, b, i, d, t, dd FROM k ORDER BY id";

// A cell as its storage form and value: "null", "text:...", "int:7", "double:12.5",
// "bool:true", "date:2024-03-05 00:00:00".
std::string cellOf(const db::RowSource& rows, int col) {
    if (rows.isNull(col))
        return "null";
    switch (rows.valueStorage(col)) {
    case Storage::Int64: return "int:" + std::to_string(rows.int64At(col));
    case Storage::Double: return "double:" + db::roundTripText(rows.doubleAt(col));
    case Storage::Boolean: return rows.boolAt(col) ? "bool:true" : "bool:false";
    case Storage::DateTime: return "date:" + db::isoText(rows.dateTimeAt(col));
    case Storage::Text: return "text:" + std::string(rows.textAt(col));
    case Storage::Bytes: return "bytes:" + rows.bytesAt(col).toHex().toStdString();
    }
    return "?";
}

std::vector<std::vector<std::string>> cellsOf(db::RowSource& rows) {
    std::vector<std::vector<std::string>> out;
    const int n = static_cast<int>(rows.fields().size());
    while (rows.next()) {
        std::vector<std::string> row;
        for (int c = 0; c < n; ++c)
            row.push_back(cellOf(rows, c));
        out.push_back(row);
    }
    return out;
}

struct ColumnCase {
    const char* name;
    FieldKind kind;
    std::vector<std::string> cells;  // rows 1 to 5
    std::vector<std::int64_t> ascending, descending;  // ids after the client-side sort
};

// Ascending: nulls, then the values of the column's kind, then the values held as text
// (by their text); descending is the reverse.
const std::vector<ColumnCase>& columnCases() {
    static const std::vector<ColumnCase> cases = {
        {"v", FieldKind::DateTime,
         {"date:2024-03-05 00:00:00", "null", "text:", "date:2023-01-02 10:30:00", "text:45000"},
         {2, 4, 1, 3, 5}, {5, 3, 1, 4, 2}},
        {"b", FieldKind::Boolean,
         {"bool:true", "bool:false", "bool:true", "text:2", "text:yes"},
         {2, 1, 3, 4, 5}, {5, 4, 1, 3, 2}},
        {"i", FieldKind::LargeInt,
         {"int:7", "text:a,b", "int:-3", "text:2.5", "null"},
         {5, 3, 1, 4, 2}, {2, 4, 1, 3, 5}},
        // An integer a double holds exactly is a decimal value; one it would round keeps
        // its digits.
        {"d", FieldKind::Decimal,
         {"double:12.5", "double:3", "text:n/a", "text:9007199254740993", "double:-1"},
         {5, 2, 1, 4, 3}, {3, 4, 1, 2, 5}},
        // A text column holds every value as its text, a blob's bytes included.
        {"t", FieldKind::String,
         {"text:x", "text:5", "text:A", "null", "text:1.5"},
         {4, 5, 2, 3, 1}, {1, 3, 2, 5, 4}},
        {"dd", FieldKind::Date,
         {"date:2024-01-02 00:00:00", "text:soon", "null", "date:2024-01-01 00:00:00",
          "text:2024-13-45"},
         {3, 4, 1, 5, 2}, {2, 5, 1, 4, 3}},
    };
    return cases;
}

// The delimited file of the rows, with titles and a comma (the held fast path quotes the
// misfit "a,b" of an integer column too).
const char* const kDelimited =
    "id,v,b,i,d,t,dd\r\n"
    "1,05/03/2024,True,7,12.5,x,02/01/2024\r\n"
    "2,,False,\"a,b\",3,5,soon\r\n"
    "3,,True,-3,n/a,A,\r\n"
    "4,02/01/2023 10:30:00,2,2.5,9007199254740993,,01/01/2024\r\n"
    "5,45000,yes,,-1,1.5,2024-13-45\r\n";

db::UserFormats fixedFormats() {
    db::UserFormats f;
    f.decimalSeparator = u'.';
    f.shortDate = QStringLiteral("dd/MM/yyyy");
    f.longTime = QStringLiteral("HH:mm:ss");
    return f;
}

std::string delimited(db::RowSource& rows) {
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    exporting::writeDelimited(rows, buf, QStringLiteral(","), true, fixedFormats());
    return buf.data().toStdString();
}

// Cells the spreadsheet writers get, as "type:text" per cell.
std::vector<std::string> sheetCells(db::RowSource& rows) {
    const db::UserFormats formats = fixedFormats();
    const exporting::SheetLayout layout = exporting::makeSheetLayout(
        rows.fields(), QStringLiteral("k"), true, formats, exporting::SheetLimits{});
    exporting::CellReader reader(layout, formats);
    std::vector<std::string> out;
    while (rows.next()) {
        for (const exporting::Cell& c : reader.read(rows)) {
            switch (c.type) {
            case exporting::Cell::Empty: out.push_back("empty"); break;
            case exporting::Cell::Number: out.push_back("number:" + db::roundTripText(c.number)); break;
            case exporting::Cell::Text: out.push_back("text:" + std::string(c.text)); break;
            case exporting::Cell::Boolean: out.push_back(c.boolean ? "bool:true" : "bool:false"); break;
            case exporting::Cell::DateTime: out.push_back("date:" + db::isoText(c.dateTime)); break;
            }
        }
    }
    return out;
}

class DeclaredKinds : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        file_ = dir_.filePath(QStringLiteral("kinds.sqlite"));
        test::createSqliteDatabase(file_, kTable);
        native_.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + file_);
        native_.open();
    }
    void TearDown() override { QLocale::setDefault(old_); }

    std::unique_ptr<db::ResultSet> held(db::Connection& conn) {
        auto rows = conn.execute(QString::fromUtf8(kQuery));
        return db::ResultSet::fetchAll(*rows);
    }

    QLocale old_;
    QTemporaryDir dir_;
    QString file_;
    db::Connection native_;
};

}  // namespace

TEST_F(DeclaredKinds, KindsAndCellsAreAlikeHeldAndStreamed) {
    auto rs = held(native_);
    auto streamed = native_.execute(QString::fromUtf8(kQuery));
    const auto heldCells = cellsOf(*rs->rows());
    const auto streamedCells = cellsOf(*streamed);
    ASSERT_EQ(heldCells.size(), 5u);
    EXPECT_EQ(heldCells, streamedCells);

    const auto& cases = columnCases();
    for (std::size_t c = 0; c < cases.size(); ++c) {
        const ColumnCase& k = cases[c];
        const int col = static_cast<int>(c) + 1;
        SCOPED_TRACE(k.name);
        EXPECT_STREQ(db::kindName(rs->field(col).kind), db::kindName(k.kind));
        EXPECT_STREQ(db::kindName(streamed->fields()[static_cast<std::size_t>(col)].kind),
                     db::kindName(k.kind));
        EXPECT_FALSE(streamed->kindFromValues(col));
        for (std::size_t r = 0; r < 5; ++r)
            EXPECT_EQ(heldCells[r][static_cast<std::size_t>(col)], k.cells[r]) << "row " << r + 1;
    }
}

TEST_F(DeclaredKinds, ValuesHeldAsTextSortAfterTheColumnsOwnValues) {
    auto rs = held(native_);
    for (const ColumnCase& k : columnCases()) {
        SCOPED_TRACE(k.name);
        const QString name = QString::fromUtf8(k.name);
        for (const bool desc : {false, true}) {
            rs->setSort(name + (desc ? QStringLiteral(" DESC") : QStringLiteral(" ASC")));
            std::vector<std::int64_t> ids;
            for (std::int64_t r = 0; r < rs->recordCount(); ++r)
                ids.push_back(rs->int64At(r, 0));
            EXPECT_EQ(ids, desc ? k.descending : k.ascending) << (desc ? "DESC" : "ASC");
        }
    }
}

TEST_F(DeclaredKinds, DelimitedAndSpreadsheetOutputAlikeHeldAndStreamed) {
    auto rs = held(native_);
    EXPECT_EQ(delimited(*rs->rows()), kDelimited) << "held";
    auto streamed = native_.execute(QString::fromUtf8(kQuery));
    EXPECT_EQ(delimited(*streamed), kDelimited) << "streamed";

    const std::vector<std::string> heldSheet = sheetCells(*rs->rows());
    auto again = native_.execute(QString::fromUtf8(kQuery));
    EXPECT_EQ(sheetCells(*again), heldSheet);
    // Row 4 holds a misfit in every column but the id and the text: each is a text cell.
    const std::vector<std::string> row4(heldSheet.begin() + 7 * 3, heldSheet.begin() + 7 * 4);
    EXPECT_EQ(row4, (std::vector<std::string>{"number:4", "date:2023-01-02 10:30:00", "text:2",
                                               "text:2.5", "text:9007199254740993", "empty",
                                               "date:2024-01-01 00:00:00"}));
    // ... and an empty text held in a date column is an empty cell.
    EXPECT_EQ(heldSheet[7 * 2 + 1], "empty");
}

// The SQLite ODBC driver reads the declared types too: the same file gives the same
// storage forms and the same values wherever a value fits its column.
TEST_F(DeclaredKinds, TheSqliteOdbcDriverAgreesWhereValuesFit) {
    auto nativeRs = held(native_);
    db::Connection odbc;
    odbc.setConnectionString(QStringLiteral("Driver=SQLite3;Database=") + file_);
    odbc.open();
    auto odbcRs = held(odbc);
    ASSERT_EQ(odbcRs->fieldCount(), nativeRs->fieldCount());
    const auto nativeCells = cellsOf(*nativeRs->rows());
    const auto odbcCells = cellsOf(*odbcRs->rows());
    ASSERT_EQ(odbcCells.size(), nativeCells.size());
    for (int c = 0; c < nativeRs->fieldCount(); ++c) {
        SCOPED_TRACE(nativeRs->field(c).name.toStdString());
        EXPECT_EQ(db::storageOf(odbcRs->field(c).kind), db::storageOf(nativeRs->field(c).kind))
            << db::kindName(odbcRs->field(c).kind) << " / " << db::kindName(nativeRs->field(c).kind);
        for (std::size_t r = 0; r < nativeCells.size(); ++r) {
            const std::string& n = nativeCells[r][static_cast<std::size_t>(c)];
            // The driver turns a misfit into something of the column's kind (or null), and
            // writes a blob in a text column as a literal (X'41').
            if (n.rfind("text:", 0) == 0 && db::storageOf(nativeRs->field(c).kind) != Storage::Text)
                continue;
            if (nativeRs->field(c).name == u"t" && r == 2)
                continue;
            EXPECT_EQ(odbcCells[r][static_cast<std::size_t>(c)], n) << "row " << r + 1;
        }
    }
}

// Enough rows for several blocks and both rendering threads of the held export, with a
// misfit now and then: each must land in its own row.
TEST_F(DeclaredKinds, ScatteredMisfitsAcrossBlocksExportAlikeHeldAndStreamed) {
    test::createSqliteDatabase(dir_.filePath(QStringLiteral("many.sqlite")),
                               "CREATE TABLE g(i INTEGER, v DATETIME, f BOOLEAN);"
                               "INSERT INTO g WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL"
                               " SELECT x + 1 FROM n WHERE x < 40000)"
                               " SELECT CASE WHEN x % 997 = 0 THEN 'i' || x ELSE x END,"
                               "  CASE WHEN x % 1499 = 0 THEN 'v' || x"
                               "   ELSE datetime('2000-01-01', '+' || x || ' minutes') END,"
                               "  CASE WHEN x % 3001 = 0 THEN x ELSE x % 2 END FROM n");
    db::Connection conn;
    conn.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") +
                             dir_.filePath(QStringLiteral("many.sqlite")));
    conn.open();
    const QString sql = QStringLiteral("SELECT i, v, f FROM g");
    auto rs = db::ResultSet::fetchAll(*conn.execute(sql));
    ASSERT_EQ(rs->recordCount(), 40000);
    EXPECT_EQ(rs->field(0).kind, FieldKind::LargeInt);
    EXPECT_EQ(rs->valueStorage(996, 0), Storage::Text);
    EXPECT_EQ(rs->textAt(996, 0), "i997");
    EXPECT_EQ(rs->valueStorage(997, 0), Storage::Int64);

    const std::string heldText = delimited(*rs->rows());
    auto streamed = conn.execute(sql);
    EXPECT_TRUE(heldText == delimited(*streamed)) << "held and streamed exports differ";
    EXPECT_NE(heldText.find("\r\ni39880,"), std::string::npos);
    EXPECT_NE(heldText.find(",v38974,"), std::string::npos);
    EXPECT_NE(heldText.find(",39013\r\n"), std::string::npos);  // 3001 * 13, in a Boolean column
}
