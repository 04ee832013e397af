// The grid and the exports show a value the same way: the text the grid shows for a cell
// is the text the delimited file holds for it, from a held result and from rows streamed
// straight from the statement, on every backend. The test also runs under de_DE.UTF-8
// and en_US.UTF-8 (see tests/CMakeLists.txt), where separators and date formats differ.

#include "../db/Backends.h"

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
    QString renderTable() const { return QStringLiteral("vnk_render_%1").arg(::getpid()); }

    void TearDown() override {
        if (conn_.isOpen() && pg()) {
            try {
                exec(QStringLiteral("DROP TABLE IF EXISTS ") + renderTable());
            } catch (const db::DbError&) {
            }
        }
        BackendTest::TearDown();
    }

    // Values where renderings part ways: a float at the 15-digit tie, integers at their
    // limits, dates a century apart, midnight, the zero date, Booleans, bytes, nulls.
    void createRenderTable() {
        const bool sqlite = !pg();
        const QString ddl =
            QStringLiteral("CREATE TABLE %1 (id INTEGER NOT NULL PRIMARY KEY, f %2, dec DECIMAL(20,4), "
                           "m %3, d DATE, t TIME, ts TIMESTAMP, b BOOLEAN, big BIGINT, i INTEGER, "
                           "bin %4, txt VARCHAR(20))")
                .arg(renderTable(), pg() ? QStringLiteral("DOUBLE PRECISION") : QStringLiteral("DOUBLE"),
                     sqlite ? QStringLiteral("MONEY") : QStringLiteral("DECIMAL(19,4)"),
                     pg() ? QStringLiteral("BYTEA") : QStringLiteral("BLOB"));
        exec(ddl);
        const QString insert = QStringLiteral("INSERT INTO %1 VALUES ").arg(renderTable());
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
    }

    QString select() const {
        return QStringLiteral("SELECT * FROM %1 ORDER BY id").arg(renderTable());
    }
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
    EXPECT_EQ(cell(0, "dec"), QStringLiteral("12") + sep + QStringLiteral("5"));
    EXPECT_EQ(cell(1, "dec"), QStringLiteral("-1234567") + sep + QStringLiteral("1234"));
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

    // The spreadsheet's date formats keep the four-digit year too.
    const exporting::SheetLayout layout = exporting::makeSheetLayout(
        rs.fields(), QStringLiteral("S"), true, db::UserFormats::system(), exporting::SheetLimits{});
    EXPECT_TRUE(layout.dateCode.contains(QStringLiteral("yyyy"))) << layout.dateCode.toStdString();
    EXPECT_TRUE(layout.dateTimeCode.contains(QStringLiteral("yyyy")))
        << layout.dateTimeCode.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Backends, RenderingAgreement,
                         ::testing::Values(Backend::Sqlite, Backend::OdbcSqlite, Backend::Postgres),
                         BackendName());

}  // namespace
}  // namespace vnk::test
