// The sheet rules that need no file: worksheet names, the column filter, format codes,
// text cutting and column letters.
#include "export/ExportErrors.h"
#include "export/SpreadsheetModel.h"

#include <gtest/gtest.h>

using namespace vnk::exporting;
using vnk::db::FieldInfo;
using vnk::db::UserFormats;
using vnk::db::FieldKind;

TEST(SpreadsheetModel, WorksheetNameComesFromTheDocumentName) {
    const struct {
        const char* document;
        const char* sheet;
    } cases[] = {
        {"/home/u/Queries/Monthly sales.vnk", "Monthly sales"},
        {"<NoName>....", "<NoName>"},
        {"/tmp/report.sql", "report"},
        {"/tmp/.vnk", "ADOQry1"},  // nothing left: the query's own name
        {"", "ADOQry1"},
        {"/tmp/abc", "ADOQry1"},
        {"/q/A name that is much longer than thirty-one characters.vnk",
         "A name that is much longer than"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(worksheetNameFor(QString::fromUtf8(c.document)), QString::fromUtf8(c.sheet))
            << c.document;
    // Cut after 31 UTF-16 units, never inside a surrogate pair.
    const QString emoji = QString(30, u'x') + QString::fromUtf8("\xF0\x9F\x98\x80") + QStringLiteral(".vnk");
    EXPECT_EQ(worksheetNameFor(emoji), QString(30, u'x'));
}

TEST(SpreadsheetModel, NamesNoWorksheetMayCarryAreRefused) {
    for (const char* bad : {"a[1]", "x:y", "p/q", "p\\q", "why?", "star*", "'quoted'"}) {
        try {
            checkWorksheetName(QString::fromUtf8(bad));
            ADD_FAILURE() << bad << " accepted";
        } catch (const ExportError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(bad))) << e.message().toStdString();
        }
    }
    EXPECT_NO_THROW(checkWorksheetName(QStringLiteral("<NoName>")));
    EXPECT_NO_THROW(checkWorksheetName(QStringLiteral("Sales (2026) - it's fine")));
}

TEST(SpreadsheetModel, FixedTextBinaryAndGuidColumnsAreLeftOutAndTheRestCloseUp) {
    std::vector<FieldInfo> fields;
    for (const FieldKind k : {FieldKind::Integer, FieldKind::FixedChar, FieldKind::String,
                              FieldKind::Blob, FieldKind::WideString, FieldKind::Guid,
                              FieldKind::Date, FieldKind::Bytes, FieldKind::VarBytes,
                              FieldKind::Boolean, FieldKind::Unknown, FieldKind::LargeInt}) {
        FieldInfo f;
        f.name = QString::fromLatin1(vnk::db::kindName(k));
        f.kind = k;
        fields.push_back(f);
    }
    const SheetLayout layout = makeSheetLayout(fields, QStringLiteral("S"), true, UserFormats{},
                                               sheetLimits(SheetFormat::Xlsx));
    std::vector<int> positions;
    std::vector<ColumnFormat> formats;
    for (const SheetColumn& c : layout.columns) {
        positions.push_back(c.field);
        formats.push_back(c.format);
    }
    EXPECT_EQ(positions, (std::vector<int>{0, 2, 4, 6, 9, 11}));
    EXPECT_EQ(formats, (std::vector<ColumnFormat>{ColumnFormat::General, ColumnFormat::Text,
                                                  ColumnFormat::General, ColumnFormat::Date,
                                                  ColumnFormat::General, ColumnFormat::General}));
}

TEST(SpreadsheetModel, DateAndTimeFormatsBecomeSheetCodes) {
    const struct {
        const char* qt;
        const char* code;
    } cases[] = {
        {"dd/MM/yyyy", "dd/mm/yyyy"},
        {"M/d/yy", "m/d/yy"},
        {"d. MMMM yyyy", "d. mmmm yyyy"},
        {"ddd d MMM yyyy", "ddd d mmm yyyy"},
        {"HH:mm", "hh:mm"},
        {"H:mm:ss", "h:mm:ss"},
        {"h:mm AP", "h:mm AM/PM"},
        {"h:mm ap", "h:mm am/pm"},
        {"HH:mm:ss t", "hh:mm:ss"},
        {"HH:mm:ss.zzz", "hh:mm:ss.000"},
        {"yyyy-MM-dd'T'HH:mm", "yyyy-mm-dd\\Thh:mm"},
        {"dd.MM.yyyy' г.'", "dd.mm.yyyy \\г."},
        {"HH'h'mm", "hh\\hmm"},
        {"''yy", "\\'yy"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(spreadsheetFormatCode(QString::fromUtf8(c.qt)), QString::fromUtf8(c.code)) << c.qt;
}

TEST(SpreadsheetModel, TextsReachingTheCellLimitAreCut) {
    std::string out;
    const std::string below(kTextLimit - 1, 'a');
    EXPECT_FALSE(fitCellText(below, out));

    const std::string at(kTextLimit, 'b');
    ASSERT_TRUE(fitCellText(at, out));
    EXPECT_EQ(out, std::string(kTextLimit - 3, 'b') + "...");

    // Counted in UTF-16 units: a character outside the basic plane is two of them, and
    // is never split.
    std::string astral = "a";
    for (int i = 0; i < kTextLimit / 2 + 1; ++i)
        astral += "\xF0\x9F\x98\x80";
    ASSERT_TRUE(fitCellText(astral, out));
    const QString cut = QString::fromStdString(out);
    EXPECT_TRUE(cut.endsWith(QStringLiteral("...")));
    EXPECT_EQ(cut.size(), 1 + 2 * 16381 + 3);  // the next pair would pass 32764 units
    EXPECT_TRUE(cut.at(cut.size() - 4).isLowSurrogate());

    // Multi-byte text below the limit in characters is kept even when it has more bytes.
    const std::string wide = [] {
        std::string s;
        for (int i = 0; i < 20000; ++i)
            s += "\xC3\xA9";  // é
        return s;
    }();
    EXPECT_FALSE(fitCellText(wide, out));

    // Bytes that are no UTF-8 are repaired rather than passed on to break the file.
    ASSERT_TRUE(fitCellText(std::string("caf\xE9"), out));
    EXPECT_EQ(QString::fromStdString(out), QStringLiteral("caf\uFFFD"));
}

TEST(SpreadsheetModel, ColumnLettersAndLimits) {
    EXPECT_EQ(columnLetters(0), QStringLiteral("A"));
    EXPECT_EQ(columnLetters(25), QStringLiteral("Z"));
    EXPECT_EQ(columnLetters(26), QStringLiteral("AA"));
    EXPECT_EQ(columnLetters(27), QStringLiteral("AB"));
    EXPECT_EQ(columnLetters(255), QStringLiteral("IV"));
    EXPECT_EQ(columnLetters(16383), QStringLiteral("XFD"));
    EXPECT_EQ(sheetLimits(SheetFormat::Xls).rows, 65536);
    EXPECT_EQ(sheetLimits(SheetFormat::Xls).columns, 256);
    for (const SheetFormat f : {SheetFormat::Xlsx, SheetFormat::Html, SheetFormat::Csv,
                                SheetFormat::XmlSpreadsheet}) {
        EXPECT_EQ(sheetLimits(f).rows, 1048576);
        EXPECT_EQ(sheetLimits(f).columns, 16384);
    }
}

TEST(SpreadsheetModel, WidthsFollowTheWidestCellOfTheWholeColumn) {
    std::vector<FieldInfo> fields(2);
    fields[0].name = QStringLiteral("Id");
    fields[0].kind = FieldKind::Integer;
    fields[1].name = QStringLiteral("Name");
    fields[1].kind = FieldKind::WideString;
    const SheetLayout layout = makeSheetLayout(fields, QStringLiteral("S"), true, UserFormats{},
                                               sheetLimits(SheetFormat::Xlsx));
    ColumnWidths w(layout, UserFormats{});
    w.addTitles();
    std::vector<Cell> cells(2);
    cells[0].type = Cell::Number;
    cells[0].number = 7;
    cells[1].type = Cell::Text;
    cells[1].text = "short";
    w.addRow(cells);
    const std::vector<double> before = w.widths();
    const std::string wide = "東京 Trading Co.";  // two East Asian characters count double
    const std::string lines = std::string(40, 'x') + "\n" + "y";
    cells[1].text = wide;
    w.addRow(cells);
    EXPECT_GT(w.widths()[1], before[1]);
    EXPECT_GE(w.widths()[1], 17);  // 16 characters wide, and room
    cells[1].text = lines;  // the longest line counts, not the whole text
    w.addRow(cells);
    EXPECT_GE(w.widths()[1], 41);
    EXPECT_LT(w.widths()[1], 45);
    const std::string longest(1000, 'z');  // the cell only views its text
    cells[1].text = longest;
    w.addRow(cells);
    EXPECT_EQ(w.widths()[1], ColumnWidths::kMaxWidth);
    EXPECT_LT(w.widths()[0], 5);  // "Id" and one digit
}
