#include "ValueFormat.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QTimeZone>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vnk::db {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

constexpr std::int64_t kZeroDateDays = daysFromCivil(1899, 12, 30);  // -25569

void civilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// Reads exactly n digits at p.
bool digits(const char* p, int n, int& out) {
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const unsigned c = static_cast<unsigned char>(p[i]) - '0';
        if (c > 9)
            return false;
        v = v * 10 + static_cast<int>(c);
    }
    out = v;
    return true;
}

// "HH:MM[:SS[.fff...]]" filling the whole of [p, end).
bool parseTime(const char* p, const char* end, std::int64_t& ms) {
    int h, mi, s = 0, frac = 0;
    if (end - p < 5 || !digits(p, 2, h) || p[2] != ':' || !digits(p + 3, 2, mi))
        return false;
    p += 5;
    if (p < end) {
        if (end - p < 3 || *p != ':' || !digits(p + 1, 2, s))
            return false;
        p += 3;
        if (p < end) {
            if (*p != '.' || end - p < 2)
                return false;
            ++p;
            int n = 0;
            for (; p < end; ++p, ++n) {
                const unsigned c = static_cast<unsigned char>(*p) - '0';
                if (c > 9)
                    return false;
                if (n < 3)
                    frac = frac * 10 + static_cast<int>(c);
                else if (c != 0)
                    return false;  // below a millisecond: not held, so not ours
            }
            for (; n < 3; ++n)
                frac *= 10;
        }
    }
    if (h > 23 || mi > 59 || s > 59)
        return false;
    ms = ((h * 60LL + mi) * 60 + s) * 1000 + frac;
    return true;
}

}  // namespace

DateTimeValue toDateTimeValue(const DateTimeParts& t) {
    const std::int64_t days = daysFromCivil(t.year, static_cast<unsigned>(t.month),
                                            static_cast<unsigned>(t.day)) -
                              kZeroDateDays;
    return days * kMsPerDay + ((t.hour * 60LL + t.minute) * 60 + t.second) * 1000 + t.msec;
}

void dateOfDay(std::int64_t daysAfterZeroDate, int& year, int& month, int& day) {
    civilFromDays(daysAfterZeroDate + kZeroDateDays, year, month, day);
}

DateTimeParts toParts(DateTimeValue v) {
    std::int64_t days = v / kMsPerDay;
    std::int64_t ms = v % kMsPerDay;
    if (ms < 0) {
        ms += kMsPerDay;
        --days;
    }
    DateTimeParts t;
    dateOfDay(days, t.year, t.month, t.day);
    t.msec = static_cast<int>(ms % 1000);
    ms /= 1000;
    t.second = static_cast<int>(ms % 60);
    ms /= 60;
    t.minute = static_cast<int>(ms % 60);
    t.hour = static_cast<int>(ms / 60);
    return t;
}

bool parseIsoDateTime(std::string_view text, DateTimeValue& out) {
    const char* p = text.data();
    const char* end = p + text.size();
    if (text.size() >= 3 && p[2] == ':') {
        std::int64_t ms;
        if (!parseTime(p, end, ms))
            return false;
        out = ms;
        return true;
    }
    int y, m, d;
    if (text.size() < 10 || !digits(p, 4, y) || p[4] != '-' || !digits(p + 5, 2, m) ||
        p[7] != '-' || !digits(p + 8, 2, d))
        return false;
    if (m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m))
        return false;
    std::int64_t ms = 0;
    p += 10;
    if (p < end) {
        if (*p != ' ' && *p != 'T')
            return false;
        if (!parseTime(p + 1, end, ms))
            return false;
    }
    out = (daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) - kZeroDateDays) *
              kMsPerDay +
          ms;
    return true;
}

std::string isoText(DateTimeValue value, FieldKind kind) {
    const DateTimeParts t = toParts(value);
    char buf[40];
    const bool midnight = value % kMsPerDay == 0;
    if (kind == FieldKind::Time && isZeroDate(value)) {
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    } else if (kind == FieldKind::Date && midnight) {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
    } else {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                      t.hour, t.minute, t.second);
    }
    std::string out = buf;
    if (t.msec != 0) {
        std::snprintf(buf, sizeof buf, ".%03d", t.msec);
        out += buf;
    }
    return out;
}

QVariant toVariant(DateTimeValue value, FieldKind kind) {
    const DateTimeParts t = toParts(value);
    const QDate date(t.year, t.month, t.day);
    const QTime time(t.hour, t.minute, t.second, t.msec);
    if (kind == FieldKind::Date && value % kMsPerDay == 0)
        return date;
    if (kind == FieldKind::Time && isZeroDate(value))
        return time;
    return QDateTime(date, time, Qt::UTC);
}

DateTimeValue fromVariant(const QVariant& v) {
    DateTimeParts t;
    auto setDate = [&t](QDate d) {
        t.year = d.year();
        t.month = d.month();
        t.day = d.day();
    };
    auto setTime = [&t](QTime tm) {
        t.hour = tm.hour();
        t.minute = tm.minute();
        t.second = tm.second();
        t.msec = tm.msec();
    };
    switch (v.typeId()) {
    case QMetaType::QDate:
        setDate(v.toDate());
        break;
    case QMetaType::QTime:
        setTime(v.toTime());
        break;
    default: {
        const QDateTime dt = v.toDateTime();
        setDate(dt.date());
        setTime(dt.time());
        break;
    }
    }
    return toDateTimeValue(t);
}

std::string roundTripText(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

}  // namespace vnk::db
