#include "ConnectionFile.h"

#include "DbError.h"
#include "share/Text.h"
#include "share/TextCodec.h"

#include <QDir>
#include <QFile>
#include <string>

namespace vnk::db {

namespace {

// The line rules of a connection file over bytes or UTF-16 code units: LF ends a line,
// every CR is dropped (the one before LF belongs to the line end), Ctrl-Z ends the input,
// the first `skip` lines are left out, the rest joined, zero units removed.
template <typename Unit, typename Out>
void joinLines(const Unit* p, const Unit* end, int skip, Out& out) {
    int line = 0;
    for (; p < end; ++p) {
        const auto c = static_cast<unsigned>(*p);
        if (c == 26)
            break;
        if (c == '\n') {
            ++line;
            continue;
        }
        if (c == '\r' || c == 0 || line < skip)
            continue;
        out.push_back(*p);
    }
}

}  // namespace

QString ReadConnectionFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("Cannot open file \"%1\". %2")
                          .arg(QDir::toNativeSeparators(path), file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw DbError(QStringLiteral("Cannot read file \"%1\". %2")
                          .arg(QDir::toNativeSeparators(path), file.errorString()));
    const int skip = FileKind(path) == u".UDL" ? 2 : 0;

    if (bytes.startsWith("\xFF\xFE")) {
        // UTF-16LE (a data-link file): the same rules over code units.
        const qsizetype count = (bytes.size() - 2) / 2;
        std::u16string decoded(static_cast<std::size_t>(count), u'\0');
        for (qsizetype i = 0; i < count; ++i) {
            const auto lo = static_cast<unsigned char>(bytes[2 + 2 * i]);
            const auto hi = static_cast<unsigned char>(bytes[3 + 2 * i]);
            decoded[static_cast<std::size_t>(i)] = static_cast<char16_t>(lo | (hi << 8));
        }
        std::u16string out;
        joinLines(decoded.data(), decoded.data() + decoded.size(), skip, out);
        return QString::fromUtf16(out.data(), static_cast<qsizetype>(out.size()));
    }

    const char* begin = bytes.constData();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        begin += 3;  // a UTF-8 byte-order mark is no part of the string
    QByteArray out;
    out.reserve(bytes.size());
    joinLines(begin, bytes.constData() + bytes.size(), skip, out);
    return decodeUtf8OrWindows1252(out);
}

QByteArray dataLinkFileBytes(const QString& connectionString) {
    const QString text = QStringLiteral("[oledb]\r\n"
                                        "; Everything after this line is an OLE DB initstring\r\n") +
                         connectionString + QStringLiteral("\r\n");
    QByteArray out;
    out.reserve(2 + 2 * text.size());
    out.append('\xFF').append('\xFE');
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        out.append(static_cast<char>(u & 0xFF));
        out.append(static_cast<char>(u >> 8));
    }
    return out;
}

}  // namespace vnk::db
