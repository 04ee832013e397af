#pragma once

#include "SpreadsheetWriter.h"
#include "db/ValueText.h"

#include <QString>
#include <memory>

namespace vnk::exporting {

// The sheet as a web page: one table, the titles as a bold header row that stays in
// view while the page scrolls, each cell as it shows in the sheet (the user's decimal
// separator and date formats). Numbers and dates also carry their value and format in
// the attributes spreadsheet programs read back (sdval/sdnum, x:num, mso-number-format).
// Written straight through: a browser fits the columns itself.
std::unique_ptr<SheetWriter> makeHtmlSheetWriter(const QString& target, const db::UserFormats& formats);

}  // namespace vnk::exporting
