#pragma once

#include "Field.h"

#include <QByteArrayView>
#include <QLocale>
#include <QString>
#include <QVariant>
#include <string>
#include <string_view>

namespace vnk::db {

// Calendar form of a date-time value.
struct DateTimeParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, msec = 0;
};

DateTimeValue toDateTimeValue(const DateTimeParts& parts);
DateTimeParts toParts(DateTimeValue value);
// The calendar date (proleptic Gregorian) a number of days after the zero date.
void dateOfDay(std::int64_t daysAfterZeroDate, int& year, int& month, int& day);
constexpr bool isZeroDate(DateTimeValue v) { return v >= 0 && v < kMsPerDay; }

// ISO text as SQLite's date functions write it: "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff]]"
// (blank or T between), or "HH:MM[:SS[.fff]]" on the zero date. False for anything
// else, and for fractions finer than a millisecond that are not zero (they would be lost).
bool parseIsoDateTime(std::string_view text, DateTimeValue& out);
// The ISO text of a value: the date alone for a date kind at midnight, the time alone
// for a time kind on the zero date, milliseconds only when there are some.
std::string isoText(DateTimeValue value, FieldKind kind = FieldKind::DateTime);

// A date-time value as Qt understands it: QDate for a date at midnight, QTime on the zero
// date, else QDateTime in UTC (the value is naive; UTC never shifts it across a DST gap).
QVariant toVariant(DateTimeValue value, FieldKind kind);
DateTimeValue fromVariant(const QVariant& v);

// Display texts of values, as the grid and the delimited export show them.
// 15 significant digits: fixed notation for magnitudes from 0.0001 below 10^15, else
// scientific ("1E20", "1.5E-7"); no grouping, no trailing zeros.
QString formatFloat(double v, const QString& decimalPoint);
// At most four decimals, trailing zeros and a bare separator dropped.
QString formatCurrency(double v, const QString& decimalPoint);
// Short date, a blank, long time (without a time-zone part); the time is left out at
// midnight, the date on the zero date.
QString formatDateTime(DateTimeValue v, FieldKind kind, const QLocale& locale);
QString formatDateTimeWith(DateTimeValue v, FieldKind kind, const QLocale& locale,
                           const QString& dateFormat, const QString& timeFormat);
// "0x" followed by upper-case hexadecimal digits.
QString formatBytes(QByteArrayView bytes);
inline QString formatBoolean(bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); }

// The same with the user's locale (cached: the system locale does not change during a run).
const QString& systemDecimalPoint();
QString formatDateTimeSystem(DateTimeValue v, FieldKind kind);

// Shortest text that reads back as the same double ("0.1", "1e+20").
std::string roundTripText(double v);

}  // namespace vnk::db
