#pragma once

#include <QString>

namespace vnk::db {

// The connection string held in a connection file: lines end at LF (a CR before it
// belongs to the line end, other CRs are dropped), Ctrl-Z ends the input; a .udl file
// skips its first two lines; lines are joined without separator and zero bytes removed.
// Raises DbError with the file error's text when the file cannot be read.
QString ReadConnectionFile(const QString& path);

// The bytes of a three-line data-link file (UTF-16LE with byte-order mark).
QByteArray dataLinkFileBytes(const QString& connectionString);

}  // namespace vnk::db
