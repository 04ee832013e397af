#pragma once

#include "db/ValueText.h"

#include <QString>

namespace vnk::db {
class RowSource;
}

namespace vnk::exporting {

class ExportProgress;

struct SpreadsheetOptions {
    int format = 1;         // 1 xlsx, 2 xls, 3 html, 4 csv, 5 Excel 5.0/95 (refused), 6 xml
    QString fileName;       // the file to write; not used for a live instance
    bool withTitles = true;
    QString documentName;   // the query document's path: names the worksheet
    bool liveInstance = false;  // "XI": an xlsx in a fresh temporary folder, to be opened
};

// Writes every remaining row of rows as one worksheet: titles in bold in row 1 (A2
// selected and the title row frozen), the exportable columns only, values by kind, number
// formats by kind, column widths fitted to the whole content. The file replaces its
// target only when complete. Returns the path written (for a live instance the new file
// in its temporary folder). Raises ExportError with the message to report; errors of the
// row source (db::DbError) pass through as they are.
QString exportToSpreadsheet(db::RowSource& rows, const SpreadsheetOptions& options,
                            const db::UserFormats& formats, ExportProgress* progress = nullptr);

}  // namespace vnk::exporting
