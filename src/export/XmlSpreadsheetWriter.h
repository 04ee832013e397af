#pragma once

#include "SpreadsheetWriter.h"

#include <QString>
#include <memory>

namespace vnk::exporting {

// XML Spreadsheet 2003: one worksheet, styles for the bold titles and the number formats,
// typed cells (Number, DateTime, String; Booleans as numbers shown TRUE or FALSE), column
// widths and the frozen title row.
// The column elements precede the rows, so the rows are spooled to a temporary file while
// their widths are measured, and placed after the columns when the sheet is complete.
std::unique_ptr<SheetWriter> makeXmlSpreadsheetWriter(const QString& target);

// The text of a date-time cell: ISO 8601 with milliseconds.
std::string xmlSpreadsheetDateTime(db::DateTimeValue v);
// A time of day without a date (on the zero date): written as a number, its fraction of a day.
bool xmlSpreadsheetTimeOnly(db::DateTimeValue v);

}  // namespace vnk::exporting
