// The grid and the exports show a value the same way: the text the grid shows for a cell
// is the text the delimited file holds for it, from a held result and from rows streamed
// straight from the statement, on every backend. The test also runs under de_DE.UTF-8
// and en_US.UTF-8 (see tests/CMakeLists.txt), where separators and date formats differ.

#include "../db/Backends.h"
#include "../params/PrintQt.h"

#include "db/ValueText.h"
#include "export/DelimitedWriter.h"
#include "export/SpreadsheetModel.h"

#include <QBuffer>
#include <QLocale>
#include <gtest/gtest.h>

namespace vnk::test {
namespace {

using db::FieldKind;

const QString kDelimiter = QStringLiteral("\x1f");

std::vector<QStringList> delimitedCells(db::RowSource& rows) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    exporting::writeDelimited(rows, buffer, kDelimiter, false, db::UserFormats::system());
    std::vector<QStringList> out;
    const QString text = QString::fromUtf8(buffer.data());
    for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        out.push_back(line.split(kDelimiter));
    return out;
}

class RenderingAgreement : public BackendTest {
protected:
    // Values where renderings part ways: a float at the 15-digit tie, integers at their
    // limits, dates a century apart, midnight, the zero date, Booleans, bytes, nulls; on
    // MariaDB unsigned integers beyond the signed range too.
    void createRenderTable() {
        table = extraTable(QStringLiteral("render"));
        const QString ddl =
            QStringLiteral("CREATE TABLE %1 (id INTEGER NOT NULL PRIMARY KEY, f %2, dc DECIMAL(20,4), "
                           "m %3, d DATE, t TIME, ts %4, b %5, big BIGINT, i INTEGER, "
                           "bin %6, txt VARCHAR(20)%7)")
                .arg(table, pg() ? QStringLiteral("DOUBLE PRECISION") : QStringLiteral("DOUBLE"),
                     server() ? QStringLiteral("DECIMAL(19,4)") : QStringLiteral("MONEY"),
                     mariadb() ? QStringLiteral("DATETIME") : QStringLiteral("TIMESTAMP"),
                     mariadb() ? QStringLiteral("BIT(1)") : QStringLiteral("BOOLEAN"),
                     pg() ? QStringLiteral("BYTEA") : QStringLiteral("BLOB"),
                     mariadb() ? QStringLiteral(", ub BIGINT UNSIGNED, ui INT UNSIGNED") : QString());
        exec(ddl);
        const QString insert =
            QStringLiteral("INSERT INTO %1 (id, f, dc, m, d, t, ts, b, big, i, bin, txt) VALUES ")
                .arg(table);
        exec(insert + QStringLiteral("(1, 123456789012344.5, 12.5, 19.99, '1924-03-05', '13:45:30', "
                                     "'2024-03-05 00:00:00', TRUE, 9223372036854775807, 2147483647, "
                                     "%1, 'Grüße')")
                          .arg(blob("00ff10")));
        exec(insert + QStringLiteral("(2, 0.1, -1234567.1234, -0.5, '2024-03-05', '00:00:00', "
                                     "'1924-03-05 17:30:05', FALSE, -9223372036854775807 - 1, "
                                     "-2147483648, %1, 'x')")
                          .arg(blob("")));
        exec(insert + QStringLiteral("(3, 1e20, 0, 1234.5678, '2024-02-29', '23:59:59', "
                                     "'1899-12-30 08:00:00', TRUE, 0, 0, %1, 'a b')")
                          .arg(blob("01")));
        exec(insert + QStringLiteral("(4, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)"));
        if (mariadb()) {
            const char* const unsignedValues[] = {"18446744073709551615, 4294967295",
                                                  "9223372036854775808, 2147483648", "0, 0"};
            for (int id = 1; id <= 3; ++id) {
                const QStringList v = QString::fromLatin1(unsignedValues[id - 1]).split(QStringLiteral(", "));
                exec(QStringLiteral("UPDATE %1 SET ub = %2, ui = %3 WHERE id = %4")
                         .arg(table, v.at(0), v.at(1), QString::number(id)));
            }
        }
    }

    QString select() const { return QStringLiteral("SELECT * FROM %1 ORDER BY id").arg(table); }

    QString table;
};

TEST_P(RenderingAgreement, GridTextIsTheDelimitedText) {
    ASSERT_NO_FATAL_FAILURE(createRenderTable());
    db::ResultSet& rs = open(select());
    ASSERT_EQ(rs.recordCount(), 4);
    const std::vector<QStringList> held = delimitedCells(*rs.rows());
    std::unique_ptr<db::RowSource> stream = conn_.execute(select());
    ASSERT_TRUE(stream);
    const std::vector<QStringList> streamed = delimitedCells(*stream);
    ASSERT_EQ(held.size(), 4u);
    ASSERT_EQ(streamed.size(), 4u);

    std::vector<QStringList> grid;
    for (int r = 0; r < 4; ++r) {
        QStringList row;
        for (int c = 0; c < rs.fieldCount(); ++c)
            row << rs.displayText(r, c);
        grid.push_back(row);
        EXPECT_EQ(held[static_cast<std::size_t>(r)], row) << "row " << r + 1;
        EXPECT_EQ(streamed[static_cast<std::size_t>(r)], row) << "row " << r + 1;
    }

    // What each backend must show, whatever the locale.
    auto cell = [&](int row, const char* column) {
        return grid[static_cast<std::size_t>(row)].at(rs.fieldIndex(QString::fromLatin1(column)));
    };
    EXPECT_EQ(cell(0, "f"), u"123456789012345") << "a 15-digit tie rounds away from zero";
    EXPECT_EQ(cell(2, "f"), u"1E20");
    EXPECT_EQ(cell(0, "big"), u"9223372036854775807");
    EXPECT_EQ(cell(1, "big"), u"-9223372036854775808");
    EXPECT_EQ(cell(1, "i"), u"-2147483648");
    EXPECT_EQ(cell(0, "bin"), u"0x00FF10");
    EXPECT_EQ(cell(0, "b"), u"True");
    EXPECT_EQ(cell(1, "b"), u"False");
    const QString sep = QString(db::UserFormats::system().decimalSeparator);
    EXPECT_EQ(cell(0, "dc"), QStringLiteral("12") + sep + QStringLiteral("5"));
    EXPECT_EQ(cell(1, "dc"), QStringLiteral("-1234567") + sep + QStringLiteral("1234"));
    EXPECT_EQ(cell(0, "m"), QStringLiteral("19") + sep + QStringLiteral("99"));
    // Dates keep their century; midnight shows the date alone, the zero date the time alone.
    EXPECT_TRUE(cell(0, "d").contains(u"1924")) << cell(0, "d").toStdString();
    EXPECT_TRUE(cell(1, "d").contains(u"2024")) << cell(1, "d").toStdString();
    EXPECT_EQ(cell(0, "ts"), cell(1, "d")) << "2024-03-05 at midnight is the date alone";
    EXPECT_TRUE(cell(1, "ts").startsWith(cell(0, "d") + u' ')) << cell(1, "ts").toStdString();
    EXPECT_FALSE(cell(2, "ts").contains(u"1899")) << cell(2, "ts").toStdString();
    EXPECT_TRUE(cell(2, "ts").contains(u"8:00")) << cell(2, "ts").toStdString();
    for (const QString& v : grid[3].mid(1))
        EXPECT_TRUE(v.isEmpty()) << v.toStdString();

    if (mariadb()) {
        EXPECT_EQ(cell(0, "ub"), u"18446744073709551615");
        EXPECT_EQ(cell(1, "ub"), u"9223372036854775808");
        EXPECT_EQ(cell(0, "ui"), u"4294967295");
        // In a sheet: a number while a double holds it exactly, else its digits as text.
        const exporting::SheetLayout sheet = exporting::makeSheetLayout(
            rs.fields(), QStringLiteral("S"), false, db::UserFormats::system(), exporting::SheetLimits{});
        exporting::CellReader reader(sheet, db::UserFormats::system());
        auto rows = rs.rows();
        std::size_t at = 0;
        while (at < sheet.columns.size() && sheet.columns[at].title != u"ub")
            ++at;
        ASSERT_LT(at, sheet.columns.size());
        std::vector<std::string> ub;  // "n:<number>" or "t:<text>"
        while (rows->next()) {
            const exporting::Cell& c = reader.read(*rows)[at];
            ub.push_back(c.type == exporting::Cell::Number ? "n:" + std::to_string(static_cast<long long>(c.number))
                         : c.type == exporting::Cell::Text ? "t:" + std::string(c.text)
                                                           : std::string("empty"));
        }
        EXPECT_EQ(ub, (std::vector<std::string>{"t:18446744073709551615", "t:9223372036854775808",
                                                "n:0", "empty"}));
    }

    // The spreadsheet's date formats keep the four-digit year too.
    const exporting::SheetLayout layout = exporting::makeSheetLayout(
        rs.fields(), QStringLiteral("S"), true, db::UserFormats::system(), exporting::SheetLimits{});
    EXPECT_TRUE(layout.dateCode.contains(QStringLiteral("yyyy"))) << layout.dateCode.toStdString();
    EXPECT_TRUE(layout.dateTimeCode.contains(QStringLiteral("yyyy")))
        << layout.dateTimeCode.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Backends, RenderingAgreement,
                         ::testing::Values(Backend::Sqlite, Backend::OdbcSqlite, Backend::Postgres,
                                           Backend::MariaDb),
                         BackendName());

}  // namespace
}  // namespace vnk::test
