#include "ValueText.h"

#include "ResultSet.h"
#include "ValueFormat.h"

#include <QDate>
#include <QLocale>
#include <QTime>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace vnk::db {

// ---- the user's formats

namespace {

// Runs of one format letter outside quoted literals, handed to f(letter, start, length);
// quoted parts are skipped whole.
template <class F>
void forEachRun(const QString& format, F f) {
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            const qsizetype close = format.indexOf(u'\'', i + 1);
            i = close < 0 ? format.size() : close + 1;
            continue;
        }
        qsizetype n = 1;
        while (i + n < format.size() && format.at(i + n) == c)
            ++n;
        f(c, i, n);
        i += n;
    }
}

}  // namespace

QString withFourDigitYear(const QString& format) {
    QString out = format;
    qsizetype shift = 0;
    forEachRun(format, [&](QChar c, qsizetype at, qsizetype n) {
        if (c == u'y' && n == 2) {
            out.insert(at + shift, QStringLiteral("yy"));
            shift += 2;
        }
    });
    return out;
}

QString withoutTimeZone(const QString& format) {
    QString out;
    qsizetype copied = 0;
    forEachRun(format, [&](QChar c, qsizetype at, qsizetype n) {
        if (c != u't')
            return;
        out += format.mid(copied, at - copied);
        while (!out.isEmpty() && out.back() == u' ')
            out.chop(1);
        copied = at + n;
    });
    out += format.mid(copied);
    return out.trimmed();
}

UserFormats UserFormats::fromLocale(const QLocale& loc) {
    UserFormats f;
    f.decimalSeparator = loc.decimalPoint().isEmpty() ? QChar(u'.') : loc.decimalPoint().at(0);
    f.shortDate = withFourDigitYear(loc.dateFormat(QLocale::ShortFormat));
    f.longTime = withoutTimeZone(loc.timeFormat(QLocale::LongFormat));
    f.shortTime = withoutTimeZone(loc.timeFormat(QLocale::ShortFormat));
    return f;
}

const UserFormats& UserFormats::system() {
    static const UserFormats f = fromLocale(QLocale::system());
    return f;
}

// ---- numbers

void appendInteger(std::string& out, std::int64_t v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void appendUnsigned(std::string& out, std::uint64_t v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

namespace {

// Digits and decimal exponent of a text "d[.ddd]e[+-]xx"; returns the digit count.
int scientificDigits(const char* p, const char* end, char* digits, int& exp) {
    int n = 0;
    for (; p < end && *p != 'e'; ++p) {
        if (*p != '.')
            digits[n++] = *p;
    }
    exp = 0;
    std::from_chars(p + 1 + (p[1] == '+'), end, exp);
    return n;
}

// The 16th significant digit of a's exact decimal expansion (at most 767 digits).
char exactSixteenthDigit(double a) {
    char buf[800];
    const auto r = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 770);
    int digit = 0;
    for (const char* p = buf; p < r.ptr && *p != 'e'; ++p) {
        if (*p != '.' && digit++ == 15)
            return *p;
    }
    return '0';
}

// |v| rounded to 15 significant digits, halves away from zero as users round; returns
// the digit count (at most 15, trailing zeros possible). Starts from the shortest text
// that reads back as a: up to 15 digits it is the rounding itself (a double is closer to
// it than half a unit of the 15th digit); with 16 or 17 digits those past the 15th tell
// the way, except a 5 or "50", where the exact value may lie on either side.
// Subnormal numbers hold fewer digits, so there the shortest text may be too short; they
// start from 17 correctly rounded digits instead.
int roundTo15(double a, char* digits, int& exp) {
    char buf[48];
    const bool normal = a >= std::numeric_limits<double>::min();
    const auto r = normal
                       ? std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific)
                       : std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 16);
    const int n = scientificDigits(buf, r.ptr, digits, exp);
    if (n <= 15)
        return n;
    bool up = false;
    if (n == 16) {
        up = digits[15] > '5' || (digits[15] == '5' && exactSixteenthDigit(a) >= '5');
    } else {
        const int tail = (digits[15] - '0') * 10 + (digits[16] - '0');
        up = tail > 50 || (tail == 50 && exactSixteenthDigit(a) >= '5');
    }
    if (up) {
        int i = 14;
        while (i >= 0 && digits[i] == '9')
            digits[i--] = '0';
        if (i < 0) {
            digits[0] = '1';
            ++exp;
        } else {
            ++digits[i];
        }
    }
    return 15;
}

} // namespace

void appendFloat(std::string& out, double v, std::string_view sep) {
    if (std::isnan(v)) {
        out += "NAN";
        return;
    }
    if (std::isinf(v)) {
        out += v < 0 ? "-INF" : "INF";
        return;
    }
    if (v == 0) {
        out += '0';
        return;
    }
    if (v < 0)
        out += '-';
    char digits[20];
    int exp = 0;
    int n = roundTo15(std::abs(v), digits, exp);
    while (n > 1 && digits[n - 1] == '0')
        --n;

    if (exp >= -4 && exp < 15) {
        if (exp >= 0) {
            const int intDigits = exp + 1;
            if (n <= intDigits) {
                out.append(digits, static_cast<std::size_t>(n));
                out.append(static_cast<std::size_t>(intDigits - n), '0');
            } else {
                out.append(digits, static_cast<std::size_t>(intDigits));
                out += sep;
                out.append(digits + intDigits, static_cast<std::size_t>(n - intDigits));
            }
        } else {
            out += '0';
            out += sep;
            out.append(static_cast<std::size_t>(-exp - 1), '0');
            out.append(digits, static_cast<std::size_t>(n));
        }
        return;
    }
    out += digits[0];
    if (n > 1) {
        out += sep;
        out.append(digits + 1, static_cast<std::size_t>(n - 1));
    }
    out += 'E';
    if (exp < 0)
        out += '-';
    appendInteger(out, exp < 0 ? -exp : exp);
}

void appendCurrency(std::string& out, double v, std::string_view sep) {
    if (!std::isfinite(v)) {
        appendFloat(out, v, sep);
        return;
    }
    char buf[400]; // the largest double has 309 integer digits
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 4);
    const char* end = r.ptr;
    while (end[-1] == '0')
        --end;
    if (end[-1] == '.')
        --end;
    std::string_view s(buf, static_cast<std::size_t>(end - buf));
    if (s == "-0")
        s = "0";
    const std::size_t dot = s.find('.');
    if (dot == std::string_view::npos) {
        out += s;
        return;
    }
    out += s.substr(0, dot);
    out += sep;
    out += s.substr(dot + 1);
}

void appendBoolean(std::string& out, bool v) {
    out += v ? "True" : "False";
}

void appendHex(std::string& out, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::size_t at = out.size();
    out.resize(at + 2 + 2 * bytes.size());
    char* d = out.data() + at;
    *d++ = '0';
    *d++ = 'x';
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *d++ = kHex[b >> 4];
        *d++ = kHex[b & 15];
    }
}

// ---- dates and times

namespace {

enum TokenType {
    Literal,
    Day1,
    Day2,
    DayShort,
    DayLong,
    Month1,
    Month2,
    MonthShort,
    MonthLong,
    Year2,
    Year4,
    Hour1, // 24-hour clock
    Hour2,
    Hour12_1,
    Hour12_2,
    Minute1,
    Minute2,
    Second1,
    Second2,
    Msec3,
    MsecTrimmed,
    AmPm, // the locale's text as is
    AmPmUpper,
    AmPmLower,
    Unsupported,
};

// Text between single quotes; "''" is one quote, inside or outside quotes.
QString readQuoted(const QString& f, qsizetype& i) {
    ++i;
    if (i == f.size())
        return {};
    if (f.at(i) == u'\'') {
        ++i;
        return QStringLiteral("'");
    }
    QString out;
    while (i < f.size()) {
        if (f.at(i) == u'\'') {
            if (i + 1 < f.size() && f.at(i + 1) == u'\'') {
                out += u'\'';
                i += 2;
            } else {
                break;
            }
        } else {
            out += f.at(i++);
        }
    }
    if (i < f.size())
        ++i;
    return out;
}

bool containsAmPm(const QString& f) {
    qsizetype i = 0;
    while (i < f.size()) {
        if (f.at(i) == u'\'') {
            readQuoted(f, i);
            continue;
        }
        if (f.at(i) == u'a' || f.at(i) == u'A')
            return true;
        ++i;
    }
    return false;
}

// Writers into a region sized beforehand (no check per character).
char* put2(char* p, int v) {
    p[0] = static_cast<char>('0' + v / 10);
    p[1] = static_cast<char>('0' + v % 10);
    return p + 2;
}

char* putInt(char* p, int v) {
    return std::to_chars(p, p + 12, v).ptr;
}

char* putText(char* p, const std::string& s) {
    std::memcpy(p, s.data(), s.size());
    return p + s.size();
}

// A year as QLocale pads it to four digits (years here are above 0).
char* putYear4(char* p, int v) {
    if (v < 1000) {
        const int digits = v < 10 ? 1 : v < 100 ? 2 : 3;
        for (int k = digits; k < 4; ++k)
            *p++ = '0';
    }
    return putInt(p, v);
}

std::size_t longest(const std::string* texts, std::size_t n) {
    std::size_t m = 0;
    for (std::size_t i = 0; i < n; ++i)
        m = std::max(m, texts[i].size());
    return m;
}

void appendText(std::string& out, const QString& s) {
    out += s.toStdString();
}

std::string utf8(const QString& s) {
    return s.toStdString();
}

// A calendar date as QDate has it: no year 0, 1 BC is year -1.
QDate qtDate(int y, int m, int d) {
    return QDate(y <= 0 ? y - 1 : y, m, d);
}

} // namespace

DateTimeText::DateTimeText(const UserFormats& formats) {
    const QLocale& loc = locale_;
    for (int m = 1; m <= 12; ++m) {
        monthShort_[static_cast<std::size_t>(m - 1)] = utf8(loc.monthName(m, QLocale::ShortFormat));
        monthLong_[static_cast<std::size_t>(m - 1)] = utf8(loc.monthName(m, QLocale::LongFormat));
    }
    for (int d = 1; d <= 7; ++d) {
        dayShort_[static_cast<std::size_t>(d - 1)] = utf8(loc.dayName(d, QLocale::ShortFormat));
        dayLong_[static_cast<std::size_t>(d - 1)] = utf8(loc.dayName(d, QLocale::LongFormat));
    }
    am_[0] = utf8(loc.amText());
    am_[1] = utf8(loc.amText().toUpper());
    am_[2] = utf8(loc.amText().toLower());
    pm_[0] = utf8(loc.pmText());
    pm_[1] = utf8(loc.pmText().toUpper());
    pm_[2] = utf8(loc.pmText().toLower());

    date_ = compile(formats.shortDate, true);
    time_ = compile(formats.longTime, false);
    if (!date_.viaQt && !selfCheck(date_, true))
        date_.viaQt = true;
    if (!time_.viaQt && !selfCheck(time_, false))
        time_.viaQt = true;
}

DateTimeText::Compiled DateTimeText::compile(const QString& f, bool dateFormat) const {
    Compiled c;
    c.format = f;
    auto literal = [&c](const QString& s) {
        if (s.isEmpty())
            return;
        if (c.tokens.empty() || c.tokens.back().type != Literal)
            c.tokens.push_back({Literal, {}});
        c.tokens.back().literal += s.toStdString();
    };
    auto token = [&c](int type) { c.tokens.push_back({type, {}}); };
    const bool twelveHour = !dateFormat && containsAmPm(f);

    qsizetype i = 0;
    while (i < f.size()) {
        const QChar ch = f.at(i);
        if (ch == u'\'') {
            literal(readQuoted(f, i));
            continue;
        }
        qsizetype repeat = 1;
        while (i + repeat < f.size() && f.at(i + repeat) == ch)
            ++repeat;
        bool used = true;
        if (dateFormat) {
            switch (ch.unicode()) {
            case 'y':
                if (repeat >= 4) {
                    repeat = 4;
                    token(Year4);
                } else if (repeat >= 2) {
                    repeat = 2;
                    token(Year2);
                } else {
                    used = false;
                }
                break;
            case 'M':
                repeat = std::min<qsizetype>(repeat, 4);
                token(repeat == 1   ? Month1
                      : repeat == 2 ? Month2
                      : repeat == 3 ? MonthShort
                                    : MonthLong);
                break;
            case 'd':
                repeat = std::min<qsizetype>(repeat, 4);
                token(repeat == 1 ? Day1 : repeat == 2 ? Day2 : repeat == 3 ? DayShort : DayLong);
                break;
            default:
                used = false;
                break;
            }
        } else {
            switch (ch.unicode()) {
            case 'h':
                repeat = std::min<qsizetype>(repeat, 2);
                token(twelveHour ? (repeat == 1 ? Hour12_1 : Hour12_2)
                                 : (repeat == 1 ? Hour1 : Hour2));
                break;
            case 'H':
                repeat = std::min<qsizetype>(repeat, 2);
                token(repeat == 1 ? Hour1 : Hour2);
                break;
            case 'm':
                repeat = std::min<qsizetype>(repeat, 2);
                token(repeat == 1 ? Minute1 : Minute2);
                break;
            case 's':
                repeat = std::min<qsizetype>(repeat, 2);
                token(repeat == 1 ? Second1 : Second2);
                break;
            case 'z':
                repeat = repeat >= 3 ? 3 : 1;
                token(repeat == 3 ? Msec3 : MsecTrimmed);
                break;
            case 'a':
            case 'A': {
                repeat = 1;
                const QChar nextCh = i + 1 < f.size() ? f.at(i + 1) : QChar();
                if (nextCh == u'p' || nextCh == u'P')
                    repeat = 2;
                if (ch == u'A' && (repeat == 1 || nextCh == u'P'))
                    token(AmPmUpper);
                else if (ch == u'a' && (repeat == 1 || nextCh == u'p'))
                    token(AmPmLower);
                else
                    token(AmPm);
                break;
            }
            case 't':
                // A zone: naive values have none; leave such a format to QLocale.
                c.viaQt = true;
                token(Unsupported);
                break;
            default:
                used = false;
                break;
            }
        }
        if (!used)
            literal(QString(repeat, ch));
        i += repeat;
    }
    for (const Token& t : c.tokens) {
        switch (t.type) {
        case Literal:
            c.maxBytes += t.literal.size();
            break;
        case DayShort:
            c.maxBytes += longest(dayShort_.data(), 7);
            break;
        case DayLong:
            c.maxBytes += longest(dayLong_.data(), 7);
            break;
        case MonthShort:
            c.maxBytes += longest(monthShort_.data(), 12);
            break;
        case MonthLong:
            c.maxBytes += longest(monthLong_.data(), 12);
            break;
        case AmPm:
        case AmPmUpper:
        case AmPmLower:
            c.maxBytes += std::max(longest(am_, 3), longest(pm_, 3));
            break;
        default:
            c.maxBytes += 12;
            break; // any number
        }
    }
    return c;
}

void DateTimeText::appendDate(std::string& out, const Compiled& c, std::int64_t days) const {
    int y, m, d;
    db::dateOfDay(days, y, m, d);
    if (c.viaQt || y <= 0) {
        appendText(out, locale_.toString(qtDate(y, m, d), c.format));
        return;
    }
    // 1899-12-30 was a Saturday; Monday is 0 here.
    const auto dow = static_cast<std::size_t>(((days + 5) % 7 + 7) % 7);
    const std::size_t at = out.size();
    out.resize(at + c.maxBytes);
    char* p = out.data() + at;
    for (const Token& t : c.tokens) {
        switch (t.type) {
        case Literal:
            p = putText(p, t.literal);
            break;
        case Day1:
            p = putInt(p, d);
            break;
        case Day2:
            p = put2(p, d);
            break;
        case DayShort:
            p = putText(p, dayShort_[dow]);
            break;
        case DayLong:
            p = putText(p, dayLong_[dow]);
            break;
        case Month1:
            p = putInt(p, m);
            break;
        case Month2:
            p = put2(p, m);
            break;
        case MonthShort:
            p = putText(p, monthShort_[static_cast<std::size_t>(m - 1)]);
            break;
        case MonthLong:
            p = putText(p, monthLong_[static_cast<std::size_t>(m - 1)]);
            break;
        case Year2:
            p = put2(p, y % 100);
            break;
        case Year4:
            p = putYear4(p, y);
            break;
        default:
            break;
        }
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

void DateTimeText::appendTime(std::string& out, const Compiled& c, std::int64_t msOfDay) const {
    const int ms = static_cast<int>(msOfDay % 1000);
    const int sec = static_cast<int>(msOfDay / 1000 % 60);
    const int min = static_cast<int>(msOfDay / 60000 % 60);
    const int hour = static_cast<int>(msOfDay / 3600000);
    if (c.viaQt) {
        appendText(out, locale_.toString(QTime(hour, min, sec, ms), c.format));
        return;
    }
    const int hour12 = hour > 12 ? hour - 12 : hour == 0 ? 12 : hour;
    const std::size_t half = hour < 12 ? 0 : 1;
    const std::size_t at = out.size();
    out.resize(at + c.maxBytes);
    char* p = out.data() + at;
    for (const Token& t : c.tokens) {
        switch (t.type) {
        case Literal:
            p = putText(p, t.literal);
            break;
        case Hour1:
            p = putInt(p, hour);
            break;
        case Hour2:
            p = put2(p, hour);
            break;
        case Hour12_1:
            p = putInt(p, hour12);
            break;
        case Hour12_2:
            p = put2(p, hour12);
            break;
        case Minute1:
            p = putInt(p, min);
            break;
        case Minute2:
            p = put2(p, min);
            break;
        case Second1:
            p = putInt(p, sec);
            break;
        case Second2:
            p = put2(p, sec);
            break;
        case Msec3:
            p = put2(p, ms / 10);
            *p++ = static_cast<char>('0' + ms % 10);
            break;
        case MsecTrimmed:
            *p++ = static_cast<char>('0' + ms / 100);
            if (ms % 100 != 0) {
                *p++ = static_cast<char>('0' + ms / 10 % 10);
                if (ms % 10 != 0)
                    *p++ = static_cast<char>('0' + ms % 10);
            }
            break;
        case AmPm:
            p = putText(p, half ? pm_[0] : am_[0]);
            break;
        case AmPmUpper:
            p = putText(p, half ? pm_[1] : am_[1]);
            break;
        case AmPmLower:
            p = putText(p, half ? pm_[2] : am_[2]);
            break;
        default:
            break;
        }
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

bool DateTimeText::selfCheck(const Compiled& c, bool dateFormat) const {
    const QLocale& loc = locale_;
    std::string mine;
    if (dateFormat) {
        static constexpr int kDates[][3] = {{1899, 12, 30}, {1900, 1, 1},   {1999, 12, 31},
                                            {2000, 2, 29},  {2024, 7, 4},   {2024, 10, 13},
                                            {2031, 3, 17},  {2100, 11, 22}, {987, 5, 6}};
        for (const auto& d : kDates) {
            const QDate qd(d[0], d[1], d[2]);
            const std::int64_t days = qd.toJulianDay() - QDate(1899, 12, 30).toJulianDay();
            mine.clear();
            appendDate(mine, c, days);
            if (mine != utf8(loc.toString(qd, c.format)))
                return false;
        }
        return true;
    }
    static constexpr int kTimes[][4] = {{0, 0, 0, 0},      {1, 2, 3, 4},      {9, 8, 7, 50},
                                        {12, 0, 0, 0},     {12, 34, 56, 789}, {13, 5, 9, 200},
                                        {23, 59, 59, 999}, {11, 59, 0, 100}};
    for (const auto& t : kTimes) {
        const QTime qt(t[0], t[1], t[2], t[3]);
        mine.clear();
        appendTime(mine, c, qt.msecsSinceStartOfDay());
        if (mine != utf8(loc.toString(qt, c.format)))
            return false;
    }
    return true;
}

void DateTimeText::append(std::string& out, db::DateTimeValue v, FieldKind kind) const {
    std::int64_t days = v / kMsPerDay;
    std::int64_t ms = v % kMsPerDay;
    if (ms < 0) {
        ms += kMsPerDay;
        --days;
    }
    const bool midnight = ms == 0;
    const bool zeroDate = days == 0;
    if (midnight && (!zeroDate || kind != FieldKind::Time)) {
        appendDate(out, date_, days);
    } else if (zeroDate) {
        appendTime(out, time_, ms);
    } else {
        appendDate(out, date_, days);
        out += ' ';
        appendTime(out, time_, ms);
    }
}

// ---- values of a row

ValueText::ValueText(const UserFormats& formats)
    : separator_(QString(formats.decimalSeparator).toStdString()), dates_(formats) {}

const ValueText& ValueText::system() {
    static const ValueText text(UserFormats::system());
    return text;
}

void ValueText::append(std::string& out, const db::RowSource& rows, int col, FieldKind kind) const {
    if (rows.isNull(col))
        return;
    switch (rows.valueStorage(col)) {
    case Storage::Int64:
        if (kind == FieldKind::LargeUInt)
            appendUnsigned(out, static_cast<std::uint64_t>(rows.int64At(col)));
        else
            appendInteger(out, rows.int64At(col));
        break;
    case Storage::Double:
        if (kind == FieldKind::Currency)
            db::appendCurrency(out, rows.doubleAt(col), separator_);
        else
            db::appendFloat(out, rows.doubleAt(col), separator_);
        break;
    case Storage::Text:
        out += rows.textAt(col);
        break;
    case Storage::Bytes: {
        const QByteArray b = rows.bytesAt(col);
        appendHex(out, std::string_view(b.constData(), static_cast<std::size_t>(b.size())));
        break;
    }
    case Storage::DateTime:
        dates_.append(out, rows.dateTimeAt(col),
                      isDateTimeKind(kind) ? kind : FieldKind::DateTime);
        break;
    case Storage::Boolean:
        appendBoolean(out, rows.boolAt(col));
        break;
    }
}

QString ValueText::text(const db::RowSource& rows, int col) const {
    std::string s;
    append(s, rows, col, rows.fields()[static_cast<std::size_t>(col)].kind);
    return QString::fromStdString(s);
}

QString ValueText::floatText(double v) const {
    std::string s;
    appendFloat(s, v);
    return QString::fromStdString(s);
}

QString ValueText::currencyText(double v) const {
    std::string s;
    appendCurrency(s, v);
    return QString::fromStdString(s);
}

QString ValueText::dateTimeText(db::DateTimeValue v, FieldKind kind) const {
    std::string s;
    dates_.append(s, v, kind);
    return QString::fromStdString(s);
}

}  // namespace vnk::db
