#include "db/ValueText.h"
#include "db/ResultSet.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>

using namespace vnk::db;

namespace {

std::string floatText(double v, std::string_view sep = ".") {
    std::string s;
    appendFloat(s, v, sep);
    return s;
}

std::string currencyText(double v, std::string_view sep = ".") {
    std::string s;
    appendCurrency(s, v, sep);
    return s;
}

DateTimeValue at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    const qint64 days = QDate(y, mo, d).toJulianDay() - QDate(1899, 12, 30).toJulianDay();
    return days * kMsPerDay + QTime(h, mi, s, ms).msecsSinceStartOfDay();
}

UserFormats formats(const char* date, const char* time, QChar sep = u'.') {
    UserFormats f;
    f.shortDate = QString::fromUtf8(date);
    f.longTime = QString::fromUtf8(time);
    f.decimalSeparator = sep;
    return f;
}

// Date names and digits come from the default locale; tests pin it.
class DefaultLocale {
public:
    explicit DefaultLocale(const QLocale& l) { QLocale::setDefault(l); }
    ~DefaultLocale() { QLocale::setDefault(old_); }

private:
    QLocale old_;
};

} // namespace

TEST(ValueText, FloatsInGeneralFormatWith15SignificantDigits) {
    const struct {
        double v;
        const char* text;
    } cases[] = {
        {1e20, "1E20"},
        {1.5e-7, "1.5E-7"},
        {0.1 + 0.2, "0.3"},
        {100, "100"},
        {-0.0, "0"},
        {0.0, "0"},
        {-2.5, "-2.5"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {0.0001, "0.0001"},
        {0.00001, "1E-5"},
        {0.000123456, "0.000123456"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E15"},
        {999999999999999.9, "1E15"}, // rounding to 15 digits carries into the exponent
        {1234567890123456789.0, "1.23456789012346E18"},
        {123493434207782.5, "123493434207783"}, // exactly halfway: away from zero
        {-123493434207782.5, "-123493434207783"},
        {999999999999999.5, "1E15"},
        {-1.25e-10, "-1.25E-10"},
        {1e100, "1E100"},
        {std::numeric_limits<double>::max(), "1.79769313486232E308"},
        {std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324"},
        {3000000000.0, "3000000000"},
        {std::numeric_limits<double>::infinity(), "INF"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
        {std::nan(""), "NAN"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(floatText(c.v), c.text) << c.v;
    // the user's decimal separator, also in scientific notation; never grouping
    EXPECT_EQ(floatText(1234567.5, ","), "1234567,5");
    EXPECT_EQ(floatText(1.5e-7, ","), "1,5E-7");
    EXPECT_EQ(floatText(0.25, "\xd9\xab"), "0\xd9\xab"
                                           "25"); // a multi-byte separator
}

// Against an independent rounding (Qt's %g with 15 digits, exponent rewritten as "E-7"),
// on random bit patterns and on the short decimal values that databases hold.
TEST(ValueText, FloatsAgreeWithQtRoundingTo15Digits) {
    auto reference = [](double v) {
        std::string q = QString::number(v, 'g', 15).toStdString();
        const std::size_t e = q.find('e');
        if (e == std::string::npos)
            return q == "-0" ? std::string("0") : q;
        std::string exp = q.substr(e + 1);
        const bool negative = exp[0] == '-';
        exp.erase(0, 1);
        exp.erase(0, std::min(exp.find_first_not_of('0'), exp.size() - 1));
        return q.substr(0, e) + "E" + (negative ? "-" : "") + exp;
    };
    std::mt19937_64 rnd(15);
    for (int i = 0; i < 200000; ++i) {
        double v;
        const std::uint64_t bits = rnd();
        switch (i % 4) {
        case 0:
            std::memcpy(&v, &bits, sizeof v);
            break;
        case 1:
            v = static_cast<double>(static_cast<std::int64_t>(bits % 2000000001) - 1000000000) /
                100;
            break;
        case 2:
            v = static_cast<double>(bits % 10000000) /
                std::pow(10.0, static_cast<double>(bits % 23));
            break;
        default:
            v = 999999999999999.0 + static_cast<double>(bits % 1000) / 1000;
            break;
        }
        if (!std::isfinite(v))
            continue;
        ASSERT_EQ(floatText(v), reference(v)) << std::hexfloat << v;
    }
}

TEST(ValueText, CurrencyWithAtMostFourDecimals) {
    const struct {
        double v;
        const char* text;
    } cases[] = {
        {12.5, "12.5"},
        {3, "3"},
        {1.23456, "1.2346"},
        {-7.25, "-7.25"},
        {0.1 + 0.2, "0.3"},
        {-0.00001, "0"},
        {0, "0"},
        {1234567.891, "1234567.891"},
        {0.00005, "0.0001"},
        {922337203685477.0, "922337203685477"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(currencyText(c.v), c.text) << c.v;
    EXPECT_EQ(currencyText(1234.5, ","), "1234,5");
}

TEST(ValueText, IntegersBooleansAndBinary) {
    std::string s;
    appendInteger(s, std::numeric_limits<std::int64_t>::max());
    s += ' ';
    appendInteger(s, std::numeric_limits<std::int64_t>::min());
    s += ' ';
    appendInteger(s, 2147483648LL);
    s += ' ';
    appendInteger(s, -1);
    EXPECT_EQ(s, "9223372036854775807 -9223372036854775808 2147483648 -1");

    s.clear();
    appendBoolean(s, true);
    appendBoolean(s, false);
    EXPECT_EQ(s, "TrueFalse");

    s.clear();
    appendHex(s, std::string_view("\x00\x01\xab\xff,\"\r\n", 8));
    EXPECT_EQ(s, "0x0001ABFF2C220D0A");
    s.clear();
    appendHex(s, {});
    EXPECT_EQ(s, "0x");
}

TEST(ValueText, DateTimesLeaveOutMidnightAndTheZeroDate) {
    const DefaultLocale pin(QLocale(QLocale::English, QLocale::UnitedStates));
    const ValueText vt(formats("dd/MM/yyyy", "HH:mm:ss"));
    auto text = [&vt](DateTimeValue v, FieldKind k = FieldKind::DateTime) {
        return vt.dateTimeText(v, k).toStdString();
    };
    EXPECT_EQ(text(at(2024, 3, 7, 14, 5, 9)), "07/03/2024 14:05:09");
    EXPECT_EQ(text(at(2024, 3, 7)), "07/03/2024");           // midnight: date alone
    EXPECT_EQ(text(at(1899, 12, 30, 8, 30, 0)), "08:30:00"); // zero date: time alone
    EXPECT_EQ(text(at(1899, 12, 30, 8, 30, 0), FieldKind::Time), "08:30:00");
    EXPECT_EQ(text(at(2024, 3, 7), FieldKind::Date), "07/03/2024");
    // both at once: a time column shows the time, the others the date
    EXPECT_EQ(text(0, FieldKind::Time), "00:00:00");
    EXPECT_EQ(text(0, FieldKind::DateTime), "30/12/1899");
    EXPECT_EQ(text(0, FieldKind::Date), "30/12/1899");
    // before the zero date, and milliseconds that the format does not show
    EXPECT_EQ(text(at(1800, 1, 1, 12, 0, 0)), "01/01/1800 12:00:00");
    EXPECT_EQ(text(at(1899, 12, 29, 23, 59, 59, 999)), "29/12/1899 23:59:59");
    EXPECT_EQ(text(at(1899, 12, 31, 0, 0, 0, 1)), "31/12/1899 00:00:00");
    EXPECT_EQ(text(at(9999, 12, 31, 23, 59, 59)), "31/12/9999 23:59:59");
}

// The compiled formats must write exactly what QLocale writes, for the formats users
// have (locale defaults, twelve-hour clocks, names, quoted text, milliseconds), in
// locales with other names; a locale with digits of its own goes through QLocale.
TEST(ValueText, CompiledFormatsAgreeWithQLocale) {
    const struct {
        const char* name;
        bool compiled;
    } locales[] = {{"en_US", true}, {"de_DE", true}, {"fr_FR", true},
                   {"ru_RU", true}, {"ja_JP", true}, {"ar_EG", false}};
    for (const auto& l : locales) {
        const QLocale loc(QString::fromLatin1(l.name));
        const DefaultLocale pin(loc);
        const char* const dateFormats[] = {
            "dd/MM/yyyy",         "M/d/yy",          "yyyy-MM-dd",
            "d. MMMM yyyy",       "ddd d MMM yyyy",  "dddd, d MMMM yyyy",
            "yyyy'年'M'月'd'日'", "dd.MM.yyyy 'r.'", "yyy''dd'x''y'"};
        const char* const timeFormats[] = {"HH:mm:ss",     "h:mm:ss AP",   "hh:mm:ss ap",
                                           "H.mm",         "HH'h'mm'm'ss", "h:m:s a",
                                           "HH:mm:ss.zzz", "HH:mm:ss.z",   "hh 'o''clock' A"};
        std::mt19937_64 rnd(20240307);
        std::uniform_int_distribution<std::int64_t> days(-40000, 80000);
        std::uniform_int_distribution<std::int64_t> ms(1, kMsPerDay - 1);
        const qint64 zeroJd = QDate(1899, 12, 30).toJulianDay();
        for (const char* df : dateFormats) {
            for (const char* tf : timeFormats) {
                const UserFormats f = formats(df, tf);
                const ValueText vt(f);
                if (l.compiled) {
                    EXPECT_TRUE(vt.dates().dateCompiled()) << l.name << " " << df;
                    EXPECT_TRUE(vt.dates().timeCompiled()) << l.name << " " << tf;
                }
                for (int i = 0; i < 100; ++i) {
                    const std::int64_t d = days(rnd), t = ms(rnd);
                    const QDate qd = QDate::fromJulianDay(zeroJd + d);
                    const QTime qt = QTime::fromMSecsSinceStartOfDay(static_cast<int>(t));
                    const QString expected =
                        loc.toString(qd, f.shortDate) + u' ' + loc.toString(qt, f.longTime);
                    ASSERT_EQ(vt.dateTimeText(d * kMsPerDay + t, FieldKind::DateTime), expected)
                        << l.name << " " << df << " | " << tf;
                }
            }
        }
    }
}

// Values through a held result: null is empty whatever the kind, and each kind has its text.
TEST(ValueText, RowValuesByKind) {
    const DefaultLocale pin(QLocale(QLocale::English, QLocale::UnitedStates));
    using vnk::db::FieldInfo;
    std::vector<FieldInfo> fields;
    const FieldKind kinds[] = {FieldKind::LargeInt, FieldKind::Float,    FieldKind::Currency,
                               FieldKind::String,   FieldKind::DateTime, FieldKind::Boolean,
                               FieldKind::Blob,     FieldKind::Guid};
    for (FieldKind k : kinds)
        fields.push_back(FieldInfo{QString::fromLatin1(vnk::db::kindName(k)), k});
    vnk::db::ResultSet rs(fields);
    rs.appendValues({QVariant(qlonglong(5000000000LL)), QVariant(2.5), QVariant(19.99),
                     QVariant(QStringLiteral("Zoë")),
                     QVariant(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC)),
                     QVariant(true), QVariant(QByteArray("\x01\x02", 2)),
                     QVariant(QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"))});
    rs.appendValues({QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
                     QVariant(), QVariant()});
    const ValueText vt(formats("dd/MM/yyyy", "HH:mm:ss", u','));
    auto rows = rs.rows();
    ASSERT_TRUE(rows->next());
    const char* const expected[] = {
        "5000000000",          "2,5",  "19,99",  "Zoë",
        "02/01/2024 03:04:05", "True", "0x0102", "{6F9619FF-8B86-D011-B42D-00C04FC964FF}"};
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(vt.text(*rows, c).toStdString(), expected[c]) << c;
    ASSERT_TRUE(rows->next());
    for (int c = 0; c < 8; ++c)
        EXPECT_TRUE(vt.text(*rows, c).isEmpty()) << c;
}

// A two-digit year loses the century: 1924 and 2024 would read alike. Every other part of
// the user's format stays, quoted text included.
TEST(ValueText, UserFormatsWidenTwoDigitYearsAndDropTheZone) {
    const struct {
        const char* in;
        const char* out;
    } years[] = {
        {"M/d/yy", "M/d/yyyy"},       {"dd.MM.yy", "dd.MM.yyyy"},  {"yy-MM-dd", "yyyy-MM-dd"},
        {"dd/MM/yyyy", "dd/MM/yyyy"}, {"d MMM y", "d MMM y"},      {"'yy' dd.MM.yy", "'yy' dd.MM.yyyy"},
        {"yyy", "yyy"},               {"yy'年'M'月'", "yyyy'年'M'月'"}, {"", ""},
    };
    for (const auto& c : years)
        EXPECT_EQ(withFourDigitYear(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;

    const struct {
        const char* in;
        const char* out;
    } zones[] = {{"h:mm:ss AP t", "h:mm:ss AP"}, {"HH:mm:ss t", "HH:mm:ss"},
                 {"HH:mm:ss", "HH:mm:ss"},        {"HH 'Uhr' mm tttt", "HH 'Uhr' mm"},
                 {"t HH:mm", "HH:mm"},            {"H'h'mm 'at' t", "H'h'mm 'at'"}};
    for (const auto& c : zones)
        EXPECT_EQ(withoutTimeZone(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;

    // The locales whose short date has two digits for the year.
    for (const char* name : {"en_US", "de_DE", "en_GB", "fr_FR", "ja_JP"}) {
        const QLocale loc(QString::fromLatin1(name));
        const UserFormats f = UserFormats::fromLocale(loc);
        EXPECT_TRUE(f.shortDate.contains(QStringLiteral("yyyy"))) << name << " " << qPrintable(f.shortDate);
        EXPECT_FALSE(f.longTime.contains(u't')) << name;
        const DefaultLocale pin(loc);
        const ValueText vt(f);
        EXPECT_TRUE(vt.dateTimeText(at(1924, 3, 5), FieldKind::Date).contains(u"1924")) << name;
        EXPECT_TRUE(vt.dateTimeText(at(2024, 3, 5), FieldKind::Date).contains(u"2024")) << name;
    }
}
