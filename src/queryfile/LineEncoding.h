#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace vnk::queryfile {

// Separators of the lines of a query file: the connection name and the statement lines
// use NUL, the connection string a hyphen.
inline constexpr char kNameSeparator = '\0';
inline constexpr char kConnStringSeparator = '-';
inline constexpr char kStatementSeparator = '\0';

// A line of T (L bytes) as decimal numbers, each followed by the separator:
// L+97, L+32, L+41, then L+i+(i-th byte of T counted from its end) for i = 1..L, then L+26.
QByteArray EncodeLineBytes(QByteArrayView bytes, char separator);

// The bytes of an encoded line. Never fails: a malformed number among those that are read
// (the length header and the L character numbers) gives the empty result; fillers, the
// trailer, anything after the L character numbers and any text after the last separator
// are ignored. A header of 97 (empty text) makes the next number the header again, so the
// standard empty line decodes to nothing.
QByteArray DecodeLineBytes(QByteArrayView line, char separator);

// The same on text: the text is encoded as its UTF-8 bytes, and the decoded bytes are read
// as UTF-8, or as Windows-1252 when they are not valid UTF-8. The separator is an ASCII
// character.
QString EncodeLine(const QString& text, char separator);
QString DecodeLine(const QString& line, char separator);

}  // namespace vnk::queryfile
