#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace vnk {

// True when the bytes are well-formed UTF-8 throughout (no overlong forms, surrogates or
// truncated sequence at the end).
bool isValidUtf8(QByteArrayView bytes);

// Text of one byte per character in Windows-1252. The five bytes the code page leaves
// unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep their own value, as Windows does.
QString decodeWindows1252(QByteArrayView bytes);

// Files written here are UTF-8; files written by the Windows program are Windows-1252.
// Bytes that are valid UTF-8 are read as UTF-8, any others as Windows-1252.
QString decodeUtf8OrWindows1252(QByteArrayView bytes);

}  // namespace vnk
