#pragma once

#include <QString>

namespace vnk {

// True when the whole text converts to a 32-bit signed integer by the standard integer
// conversion: leading blanks and a sign allowed, hexadecimal forms ("$1F", "0x1F")
// accepted; the empty text and trailing blanks are refused.
bool IsNumericText(const QString& text);

// The value IsNumericText accepted (0 when it would refuse).
int NumericTextValue(const QString& text);

// Removes characters with codes 0 to 32 from both ends.
QString TrimText(const QString& text);

// Upper-cased last four characters of a file name: ".VNK", ".SQL", ".TXT", ".UDL".
QString FileKind(const QString& fileName);

}  // namespace vnk
