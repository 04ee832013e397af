#pragma once

#include "Field.h"

#include <QLocale>
#include <QString>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vnk::db {

class RowSource;

// The one place where a value becomes the text a person reads: the grid, the delimited
// export and the texts of spreadsheet cells all call it, so they never disagree. Texts
// are appended as UTF-8 to a byte buffer so that a writer can render millions of values
// without a string per value.

// The user's number and date/time formats, in Qt's format syntax ("dd/MM/yyyy",
// "HH:mm:ss"). Taken from a locale (the system's for the program; tests pass others or
// fixed formats).
struct UserFormats {
    QChar decimalSeparator = u'.';
    QString shortDate = QStringLiteral("dd/MM/yyyy");
    QString longTime = QStringLiteral("HH:mm:ss");
    QString shortTime = QStringLiteral("HH:mm");

    // The locale's formats, with two changes: a two-digit year is widened to four digits
    // (a date that cannot tell 1924 from 2024 loses data), and the time-zone part of the
    // long time format is left out (values are naive).
    static UserFormats fromLocale(const QLocale& locale);
    // fromLocale(QLocale::system()), read once: the system locale does not change during a run.
    static const UserFormats& system();
};

// A format with every two-digit year ("yy" not part of a longer run, outside quotes)
// made four digits.
QString withFourDigitYear(const QString& format);
// A time format without its time-zone part ("t" outside quotes, and the blanks before it).
QString withoutTimeZone(const QString& format);

// Decimal digits, a leading "-" for negatives, no grouping.
void appendInteger(std::string& out, std::int64_t v);
void appendUnsigned(std::string& out, std::uint64_t v);
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
// value.
class ValueText {
public:
    explicit ValueText(const UserFormats& formats);
    // For UserFormats::system(), built once: what the grid shows.
    static const ValueText& system();

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
        db::appendFloat(out, v, separator_);
    }
    void appendCurrency(std::string& out, double v) const {
        db::appendCurrency(out, v, separator_);
    }
    void appendDateTime(std::string& out, db::DateTimeValue v, db::FieldKind kind) const {
        dates_.append(out, v, kind);
    }

private:
    std::string separator_;
    DateTimeText dates_;
};

}  // namespace vnk::db
