#pragma once

#include "SpreadsheetWriter.h"
#include "db/ValueText.h"

#include <QString>
#include <memory>

namespace vnk::exporting {

// The sheet saved as comma-separated values, as a spreadsheet application saves one: each
// cell as it shows (dates in the column's format, Booleans TRUE/FALSE, a point as the
// decimal separator), a value holding a comma, a double quote or a line break enclosed in
// double quotes with its quotes doubled; CR LF line ends, UTF-8 without byte-order mark.
std::unique_ptr<SheetWriter> makeSpreadsheetCsvWriter(const QString& target,
                                                       const db::UserFormats& formats);

// One csv field, quoted when it needs to be.
void appendCsvField(std::string& out, std::string_view value);

}  // namespace vnk::exporting
