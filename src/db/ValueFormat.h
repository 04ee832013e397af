#pragma once

#include "Field.h"

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

// Shortest text that reads back as the same double ("0.1", "1e+20").
std::string roundTripText(double v);

}  // namespace vnk::db
