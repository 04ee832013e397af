#include "Text.h"

#include <cstdint>

namespace vnk {

namespace {

// The standard integer conversion: leading blanks, an optional sign, then decimal digits,
// or a hexadecimal form ("$FF", "0xFF", "0XFF", "xFF"); nothing may follow the digits.
bool convert(const QString& text, int& out) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i).unicode() == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == u'-' || text.at(i) == u'+')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && text.at(i) == u'$') {
        base = 16;
        ++i;
    } else if (i < n && (text.at(i) == u'x' || text.at(i) == u'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text.at(i) == u'0' && (text.at(i + 1) == u'x' || text.at(i + 1) == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return false;
    std::int64_t value = 0;
    for (; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return false;
        value = value * base + digit;
        // Hexadecimal forms may use all 32 bits (as "$FFFFFFFF" = -1); decimal ones must fit.
        if (base == 16 ? value > 0xFFFFFFFFLL : value > 2147483648LL)
            return false;
    }
    if (base == 16) {
        auto bits = static_cast<std::uint32_t>(value);
        auto v = static_cast<std::int32_t>(bits);
        out = negative ? -v : v;
        return true;
    }
    if (negative) {
        out = static_cast<int>(-value);
        return true;
    }
    if (value > 2147483647LL)
        return false;
    out = static_cast<int>(value);
    return true;
}

}  // namespace

bool IsNumericText(const QString& text) {
    int v = 0;
    return convert(text, v);
}

int NumericTextValue(const QString& text) {
    int v = 0;
    return convert(text, v) ? v : 0;
}

QString TrimText(const QString& text) {
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && text.at(b).unicode() <= 32)
        ++b;
    while (e > b && text.at(e - 1).unicode() <= 32)
        --e;
    return text.mid(b, e - b);
}

QString FileKind(const QString& fileName) {
    return fileName.right(4).toUpper();
}

}  // namespace vnk
