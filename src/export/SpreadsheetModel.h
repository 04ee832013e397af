#pragma once

#include "db/ValueText.h"
#include "db/Field.h"

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vnk::db {
class RowSource;
}

namespace vnk::exporting {

// Spreadsheet file formats by their number in the save dialog's type list.
enum class SheetFormat { Xlsx = 1, Xls = 2, Html = 3, Csv = 4, Excel95 = 5, XmlSpreadsheet = 6 };

inline const QString kColumnLimitMessage =
    QStringLiteral("The maximum number of columns (%1) has been reached");
inline const QString kRowLimitMessage =
    QStringLiteral("The maximum number of rows (%1) has been reached");
inline const QString kFormatRefusedMessage =
    QStringLiteral("This action is not supported in this Excel version");
// Name of the query component: the worksheet name when the document gives none.
inline const QString kDefaultSheetName = QStringLiteral("ADOQry1");

// The most rows and columns a sheet of the format holds.
struct SheetLimits {
    std::int64_t rows = 1048576;
    int columns = 16384;
};
SheetLimits sheetLimits(SheetFormat format);

// The most characters (UTF-16 units) a cell holds; a text that long or longer is cut to its
// first kTextLimit - 3 characters followed by "...".
constexpr int kTextLimit = 32767;

// The worksheet name of a document: its file name less the last four characters (the
// extension), cut to 31 characters; "ADOQry1" when that leaves nothing.
QString worksheetNameFor(const QString& documentName);
// Raises ExportError for a name no worksheet may carry (: \ / ? * [ ], an apostrophe at
// either end, more than 31 characters, empty).
void checkWorksheetName(const QString& name);

// Columns of these kinds go to the sheet; the others (fixed-length text, binary, GUIDs,
// unrecognised) are left out and the following columns close up.
bool isExportableKind(db::FieldKind kind);

// Number format that a data column carries.
enum class ColumnFormat { General, Text, Date, Time, DateTime };
ColumnFormat columnFormatOf(db::FieldKind kind);

// A date or time format in Qt's syntax ("dd/MM/yyyy", "HH:mm", "h:mm AP") as a
// spreadsheet number format code ("dd/mm/yyyy", "hh:mm", "h:mm AM/PM").
QString spreadsheetFormatCode(const QString& qtFormat);

struct SheetColumn {
    int field = 0;  // position in the row source
    QString title;
    db::FieldKind kind = db::FieldKind::Unknown;
    ColumnFormat format = ColumnFormat::General;
};

// Everything a writer needs before the first row.
struct SheetLayout {
    QString sheetName;
    bool withTitles = true;
    std::vector<SheetColumn> columns;
    // Number format codes of the formatted columns.
    QString dateCode, timeCode, dateTimeCode;

    // The format code of a column format ("" for General, "@" for text).
    QString formatCode(ColumnFormat f) const;
    int firstDataRow() const { return withTitles ? 1 : 0; }  // 0-based sheet row
};

// Builds the layout of a row source: exported columns in order, with the column limit
// of the format checked (ExportError with kColumnLimitMessage).
SheetLayout makeSheetLayout(const std::vector<db::FieldInfo>& fields, const QString& sheetName,
                            bool withTitles, const db::UserFormats& formats, const SheetLimits& limits);

// One cell of a data row. A text view stays valid until the next row is read.
struct Cell {
    enum Type : std::uint8_t { Empty, Number, Text, Boolean, DateTime };
    Type type = Empty;
    bool boolean = false;
    double number = 0;            // Number; DateTime: days since 30 December 1899
    db::DateTimeValue dateTime = 0;  // DateTime
    std::string_view text;        // Text: UTF-8, already cut to the text limit
};

// Turns the current row of a source into cells, by each column's kind.
class CellReader {
public:
    CellReader(const SheetLayout& layout, const db::UserFormats& formats);
    // Cells of the current row, one per exported column.
    const std::vector<Cell>& read(const db::RowSource& rows);

private:
    const SheetLayout& layout_;
    db::ValueText text_;
    std::vector<Cell> cells_;
    std::vector<std::string> buffers_;  // per column: rendered or repaired texts

    void readCell(const db::RowSource& rows, std::size_t i);
    void setText(std::size_t i, std::string_view utf8);
    void setRendered(const db::RowSource& rows, std::size_t i);
};

// Cuts a UTF-8 text that reaches the text limit: its first kTextLimit - 3 UTF-16 units
// (never half a surrogate pair) followed by "...". Invalid UTF-8 is repaired first.
// Returns false when the text can be used as it is.
bool fitCellText(std::string_view utf8, std::string& out);

// The texts cells show: what a csv or html copy of the sheet holds.
class CellDisplay {
public:
    CellDisplay(const SheetLayout& layout, const db::UserFormats& formats, char decimalSeparator);
    void append(std::string& out, const Cell& cell, std::size_t column) const;
    // Numbers in the general format, without the sheet's rounding to the column width.
    void appendNumber(std::string& out, double v) const;

private:
    const SheetLayout& layout_;
    std::string separator_;
    db::DateTimeText dates_;  // short date, short time
};

// Column widths fitted to the content, in characters of the standard font's digit
// width; measured as the rows pass, so one pass over the data is enough.
class ColumnWidths {
public:
    explicit ColumnWidths(const SheetLayout& layout, const db::UserFormats& formats);
    void addTitles();
    void addRow(const std::vector<Cell>& cells);
    // Width of each column, in character units (default width for a column with nothing).
    std::vector<double> widths() const;

    static constexpr double kDefaultWidth = 8.43;
    static constexpr double kMaxWidth = 255;

private:
    const SheetLayout& layout_;
    std::vector<double> chars_;       // widest cell so far, in digit widths
    std::vector<std::uint8_t> seenDate_;
    double dateChars_ = 0, timeChars_ = 0, dateTimeChars_ = 0;
};

// Display width of a UTF-8 text in digit widths: the longest line, wide East Asian
// characters counting two. Stops counting at limit.
double textDisplayChars(std::string_view utf8, double limit = ColumnWidths::kMaxWidth + 1);

// Column letters: 0 is "A", 25 "Z", 26 "AA".
QString columnLetters(int column);

}  // namespace vnk::exporting
