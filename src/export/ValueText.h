#pragma once

#include "UserFormats.h"
#include "db/Field.h"

#include <QLocale>
#include <QString>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vnk::db {
class RowSource;
}

namespace vnk::exporting {

// Texts of exported values, appended as UTF-8 to a byte buffer so that a writer can
// render millions of values without a string per value.

// Decimal digits, a leading "-" for negatives, no grouping.
void appendInteger(std::string& out, std::int64_t v);
// General format with 15 significant digits: fixed notation for rounded magnitudes from
// 0.0001 below 10^15, otherwise scientific ("1E20", "1.5E-7"); zero (also -0) is "0";
// no grouping, no trailing zeros. Not-a-number and infinities are "NAN", "INF", "-INF".
void appendFloat(std::string& out, double v, std::string_view decimalSeparator);
// At most four decimals, trailing zeros and a bare separator dropped, no grouping.
void appendCurrency(std::string& out, double v, std::string_view decimalSeparator);
// "True" or "False", whatever the locale.
void appendBoolean(std::string& out, bool v);
// Binary values: "0x" followed by two upper-case hexadecimal digits per byte, so that
// every byte survives and the value cannot be taken for text.
void appendHex(std::string& out, std::string_view bytes);

// The user's short date and long time formats, compiled once. Formats in Qt's syntax;
// names, AM/PM texts and digits are those of the default locale (the system's unless the
// program sets another). A format whose output the compiled form does not reproduce
// exactly (checked against QLocale on sample values, e.g. a locale with its own digits) is
// rendered through QLocale instead.
class DateTimeText {
public:
    explicit DateTimeText(const UserFormats& formats);

    // Short date, a blank, long time; the time is left out at exactly midnight and the
    // date on the zero date (30 December 1899). The zero date at midnight shows the date,
    // except for a time column, which shows the time.
    void append(std::string& out, db::DateTimeValue v, db::FieldKind kind) const;

    // False when the format is rendered through QLocale (tests check the fast path).
    bool dateCompiled() const { return !date_.viaQt; }
    bool timeCompiled() const { return !time_.viaQt; }

    struct Token {
        int type = 0;
        std::string literal;
    };

private:
    struct Compiled {
        QString format;
        std::vector<Token> tokens;
        std::size_t maxBytes = 0; // the longest text the tokens can give
        bool viaQt = false;
    };
    QLocale locale_;
    Compiled date_, time_;
    std::array<std::string, 12> monthShort_, monthLong_;
    std::array<std::string, 7> dayShort_, dayLong_; // Monday first
    std::string am_[3], pm_[3];                     // as is, upper, lower

    Compiled compile(const QString& format, bool dateFormat) const;
    void appendDate(std::string& out, const Compiled& c, std::int64_t days) const;
    void appendTime(std::string& out, const Compiled& c, std::int64_t msOfDay) const;
    bool selfCheck(const Compiled& c, bool dateFormat) const;
};

// The text of any value of a row, by the kind of its column and the storage form of the
// value: the rendering that the delimited export writes.
class ValueText {
public:
    explicit ValueText(const UserFormats& formats);

    // Appends the current row's value of column col (nothing for null). kind is the
    // column's kind; a value whose storage differs from the kind's (dynamic typing) is
    // rendered by its own storage form.
    void append(std::string& out, const db::RowSource& rows, int col, db::FieldKind kind) const;

    // Convenience forms for callers that want a QString.
    QString text(const db::RowSource& rows, int col) const;
    QString floatText(double v) const;
    QString currencyText(double v) const;
    QString dateTimeText(db::DateTimeValue v, db::FieldKind kind) const;

    const std::string& decimalSeparator() const { return separator_; }
    const DateTimeText& dates() const { return dates_; }
    void appendFloat(std::string& out, double v) const {
        exporting::appendFloat(out, v, separator_);
    }
    void appendCurrency(std::string& out, double v) const {
        exporting::appendCurrency(out, v, separator_);
    }
    void appendDateTime(std::string& out, db::DateTimeValue v, db::FieldKind kind) const {
        dates_.append(out, v, kind);
    }

private:
    std::string separator_;
    DateTimeText dates_;
};

} // namespace vnk::exporting
