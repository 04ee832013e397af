#pragma once

#include "SpreadsheetWriter.h"

#include <QString>
#include <memory>

namespace vnk::exporting {

// Excel 97-2003 workbook: a BIFF8 workbook stream in a compound file. The globals that
// precede the sheet (the shared string table above all) and the column widths at the
// head of the sheet are only known once every row has passed, so the string table and
// the sheet's cell table are spooled to temporary files as the rows arrive and the
// stream is assembled from them at the end. Memory stays bounded by one block of 32 rows
// and the table of distinct short texts.
std::unique_ptr<SheetWriter> makeXlsWriter(const QString& target);

}  // namespace vnk::exporting
