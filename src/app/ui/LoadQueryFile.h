#pragma once

#include <QString>

namespace vnk::ui {

class TQueryExport;

// Reads a document of any kind into the editor of `main` (app::readDocument does the
// part without widgets); a query file (.vnk) also connects with the connection recorded
// in it (ConnectQueryFile). False when the file was refused ("Invalid query file.",
// through ReportError) or its connection failed with an error; true otherwise, also when
// the connect ended without an open connection.
// A file that cannot be opened or read raises queryfile::QueryFileError before anything
// changes: the caller reports it.
// It ends, whatever the outcome (a raised file error too), by enabling the window and
// putting the focus into the editor.
bool LoadQueryFile(TQueryExport& main, const QString& path);

}  // namespace vnk::ui
