#pragma once

// Loading a query file without a window: what the unattended run does with its first
// argument, and the half of the window's LoadQueryFile that touches no widget. Nothing
// here may include a ui/ folder: the unattended run links this and no widget library.

#include <QString>

namespace vnk::app {

// The checks every run with arguments makes on its first argument (trimmed):
// the file must exist and be a query file (".vnk"). Returns the error message, or the
// empty text when the argument passes.
QString checkQueryFileArgument(const QString& firstArgument);

// A document read into the shared state by readDocument.
struct LoadedDocument {
    bool refused = false;      // an invalid query file: reported, nothing changed
    bool isQueryFile = false;  // a query file: connect with connName and connString next
    QString text;              // what the editor shows
    QString connName;
    QString connString;
};

// Reads the document at path (queryfile::readQueryDocument; its QueryFileError goes to
// the caller before anything changes). An invalid query file is reported
// ("Invalid query file.", through ReportError) and refused. Otherwise the text is recorded
// as saved (SavedText, IsModified false); a query file sets ConnString, a plain file
// CurrentFileName.
LoadedDocument readDocument(const QString& path);

// Connects with the reference stored in a query file, where nobody can answer a login
// window: any failure, a refused login too, is reported through ReportError as it is and
// leaves no connection open (ConnName emptied). On success ConnName and CurrentFileName
// name the connection and the file. False when an error was reported.
bool connectQueryFile(const QString& connName, const QString& connString,
                      const QString& queryFilePath);

// readDocument, then for a query file connectQueryFile. False when the file was refused or
// its connection failed; true otherwise, also when the connect ended without an open
// connection. The loaded text is in AppState::SavedText.
bool loadQueryFile(const QString& path);

}  // namespace vnk::app
