#pragma once

#include "SpreadsheetWriter.h"

#include <QString>
#include <memory>

namespace vnk::exporting {

// Office Open XML workbook (.xlsx) through libxlsxwriter in constant-memory mode: every
// row goes out to the library's temporary file as soon as it is complete, so the sheet is
// never held; the column widths and the frozen title row are set before the workbook is
// assembled at the end.
std::unique_ptr<SheetWriter> makeXlsxWriter(const QString& target);

}  // namespace vnk::exporting
