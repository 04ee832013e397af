#include "LineEncoding.h"

#include "share/TextCodec.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace vnk::queryfile {

namespace {

void appendNumber(QByteArray& out, std::int64_t value, char separator) {
    out += QByteArray::number(value);
    out += separator;
}

// A number of the line: ASCII digits only, within the signed 32-bit range.
std::optional<std::int64_t> toNumber(QByteArrayView digits) {
    if (digits.isEmpty())
        return std::nullopt;
    std::int64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 2147483647LL)
            return std::nullopt;
    }
    return value;
}

}  // namespace

QByteArray EncodeLineBytes(QByteArrayView bytes, char separator) {
    const std::int64_t length = bytes.size();
    QByteArray out;
    out.reserve((length + 4) * 4);
    appendNumber(out, length + 97, separator);
    appendNumber(out, length + 32, separator);
    appendNumber(out, length + 41, separator);
    for (std::int64_t i = 1; i <= length; ++i) {
        const auto code = static_cast<unsigned char>(bytes[length - i]);
        appendNumber(out, length + i + code, separator);
    }
    appendNumber(out, length + 26, separator);
    return out;
}

QByteArray DecodeLineBytes(QByteArrayView line, char separator) {
    std::int64_t length = 0;  // 0: the header is still to come
    std::int64_t count = 0;   // numbers read after the header
    QByteArray reversed;
    qsizetype start = 0;
    for (qsizetype pos = 0; pos < line.size(); ++pos) {
        if (line[pos] != separator)
            continue;
        const QByteArrayView buffer = line.sliced(start, pos - start);
        start = pos + 1;
        if (length == 0) {
            const auto header = toNumber(buffer);
            if (!header)
                return {};
            length = *header - 97;
            continue;
        }
        ++count;
        if (count > 2 && length >= count - 2) {
            const auto number = toNumber(buffer);
            if (!number)
                return {};
            // Only the low byte counts, so numbers below their offset wrap around.
            const std::int64_t code = *number - (count - 2) - length;
            reversed += static_cast<char>(static_cast<unsigned char>(code & 0xFF));
        }
    }
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

QString EncodeLine(const QString& text, char separator) {
    return QString::fromLatin1(EncodeLineBytes(text.toUtf8(), separator));
}

QString DecodeLine(const QString& line, char separator) {
    // Any character outside ASCII is no digit, and none of its UTF-8 bytes is a separator.
    return decodeUtf8OrWindows1252(DecodeLineBytes(line.toUtf8(), separator));
}

}  // namespace vnk::queryfile
