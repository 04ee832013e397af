#pragma once

#include "share/Error.h"

#include <QString>
#include <QStringList>

namespace vnk::queryfile {

// A query document file could not be opened, read or written: one message text, the
// file error's own.
class QueryFileError : public Error {
public:
    explicit QueryFileError(const QString& message) : Error(message) {}
};

inline const QString kInvalidQueryFileMessage = QStringLiteral("Invalid query file.");

// A path whose upper-cased last four characters are ".VNK" names a query file; any other
// path (".SQL", ".TXT" or whatever else) is read and written as plain text lines.
bool isQueryFilePath(const QString& path);

// What a document file holds.
struct QueryDocument {
    bool isQueryFile = false;  // .VNK
    // Query files only: false when the connection string decoded to the empty text (also
    // when the file has fewer than two lines): the file is refused with
    // kInvalidQueryFileMessage, and connName, connString and lines are left empty.
    bool valid = true;
    QString connName;    // as decoded, not trimmed
    QString connString;  // as decoded, not trimmed; a text of blanks only is valid
    QStringList lines;   // statement lines (query file) or text lines (plain file), in order
};

// Reads a document file whole, changing nothing else.
// Lines end at LF or CR LF (the break is not part of the line; a lone CR stays in its
// line), a Ctrl-Z ends the input, a leading UTF-8 byte-order mark is skipped. A plain file
// is UTF-8 when its bytes are valid UTF-8, otherwise Windows-1252; in a query file the
// same choice is made once over all the decoded lines, so a file written by the Windows
// program opens unchanged.
// Raises QueryFileError when the file cannot be opened or read.
//
// LoadQueryFile(path) in the window follows it this way:
//  1. doc = readQueryDocument(path); a QueryFileError goes to the caller of LoadQueryFile
//     (the batch run reports it, an interactive open shows it in the error box).
//  2. doc.isQueryFile:
//     a. !doc.valid: ReportError(kInvalidQueryFileMessage); result false; the editor,
//        CurrentFileName, ConnName and the connection stay as they were.
//     b. otherwise ConnString := doc.connString; editor text := editorText(doc.lines);
//        IsModified := false; SavedText := that text; then
//        ConnectQueryFile(doc.connName, doc.connString, path), whose error makes the
//        result false (the statement stays loaded).
//  3. plain: CurrentFileName := path; title from the unchanged ConnName and the file name;
//     file panel := path; editor text := editorText(doc.lines); IsModified := false;
//     SavedText := that text; the connection is untouched; result true.
//  4. After 2 or 3, whatever the outcome: enable the main window, focus the editor.
QueryDocument readQueryDocument(const QString& path);

// ConnName less its last four characters when these, upper-cased, are ".UDL".
QString withoutUdlExtension(const QString& connName);

// The connection name as a query file stores it: withoutUdlExtension, then trimmed.
QString storedConnectionName(const QString& connName);

// The writing step of fnSaveToFile: replaces the file at path with the document in the
// kind the path names. A query file holds EncodeLine(storedConnectionName(connName), NUL),
// EncodeLine(trimmed connString, "-"), then EncodeLine(line, NUL) for every line; a plain
// file holds the lines unchanged. Text is written as UTF-8, every line ended by CR LF.
// The new content goes to a temporary file beside the target that replaces it only when
// complete, so a failed save leaves the previous file as it was.
// Raises QueryFileError with the file error's text when the file cannot be written.
//
// For a .VNK path the caller passes ConnName as it is, and sets
// ConnName := withoutUdlExtension(ConnName) itself (the shortened name stays in AppState
// and shows in the title). Lines are the editor's logical lines: editorLines(text).
void writeQueryDocument(const QString& path, const QString& connName, const QString& connString,
                        const QStringList& lines);

// The editor's logical lines: its text split at line breaks, a final empty line after the
// last break not counted ("" has no line, "a\n" one, "a\n\n" two).
QStringList editorLines(const QString& editorText);

// Editor text of loaded lines: each line followed by a line break.
QString editorText(const QStringList& lines);

}  // namespace vnk::queryfile
