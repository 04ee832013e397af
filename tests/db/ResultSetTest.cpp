#include "db/ColumnStore.h"
#include "db/DbError.h"
#include "db/ResultSet.h"
#include "db/ValueFormat.h"
#include "db/ValueText.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vnk::db;

namespace {

QString formatFloat(double v, const QString& sep) {
    std::string s;
    appendFloat(s, v, sep.toStdString());
    return QString::fromStdString(s);
}

QString formatCurrency(double v, const QString& sep) {
    std::string s;
    appendCurrency(s, v, sep.toStdString());
    return QString::fromStdString(s);
}

QString formatDateTimeWith(DateTimeValue v, FieldKind kind, const QString& date, const QString& time) {
    UserFormats f;
    f.shortDate = date;
    f.longTime = time;
    return ValueText(f).dateTimeText(v, kind);
}

QString formatDateTimeSystem(DateTimeValue v, FieldKind kind) {
    return ValueText::system().dateTimeText(v, kind);
}

FieldInfo field(const char* name, FieldKind kind) {
    FieldInfo f;
    f.name = QString::fromUtf8(name);
    f.kind = kind;
    return f;
}

// id, name, amount: rows in fetched order.
std::unique_ptr<ResultSet> people() {
    auto rs = std::make_unique<ResultSet>(std::vector<FieldInfo>{
        field("ID", FieldKind::Integer), field("My Name", FieldKind::String),
        field("AMOUNT", FieldKind::Float)});
    const QVariant null;
    rs->appendValues({1, QStringLiteral("b"), 2.5});
    rs->appendValues({2, QStringLiteral("A"), null});
    rs->appendValues({3, QStringLiteral("a"), -1.0});
    rs->appendValues({4, QStringLiteral("b"), 2.5});
    rs->appendValues({5, null, 10.0});
    rs->appendValues({6, QStringLiteral("B"), null});
    rs->appendValues({7, QStringLiteral("Ärger"), 0.0});
    return rs;
}

std::vector<int> ids(const ResultSet& rs) {
    std::vector<int> out;
    for (std::int64_t r = 0; r < rs.recordCount(); ++r)
        out.push_back(static_cast<int>(rs.int64At(r, 0)));
    return out;
}

TEST(ResultSet, NavigationLikeADataset) {
    ResultSet empty({field("A", FieldKind::Integer)});
    EXPECT_EQ(empty.recNo(), 0);
    EXPECT_TRUE(empty.eof());
    EXPECT_TRUE(empty.bof());
    empty.next();
    empty.last();
    EXPECT_EQ(empty.recNo(), 0);
    EXPECT_TRUE(empty.eof());

    auto rs = people();
    EXPECT_EQ(rs->recordCount(), 7);
    EXPECT_EQ(rs->recNo(), 1);
    EXPECT_TRUE(rs->bof());
    EXPECT_FALSE(rs->eof());
    rs->next();
    rs->next();
    EXPECT_EQ(rs->recNo(), 3);
    EXPECT_FALSE(rs->bof());
    EXPECT_EQ(rs->value(0).toInt(), 3);
    rs->last();
    EXPECT_EQ(rs->recNo(), 7);
    EXPECT_TRUE(rs->eof());
    rs->prior();
    EXPECT_EQ(rs->recNo(), 6);
    EXPECT_FALSE(rs->eof());
    rs->next();
    rs->next();  // past the end: stays on the last record
    EXPECT_EQ(rs->recNo(), 7);
    EXPECT_TRUE(rs->eof());
    rs->first();
    rs->prior();
    EXPECT_EQ(rs->recNo(), 1);
    EXPECT_TRUE(rs->bof());
    rs->moveTo(4);
    EXPECT_EQ(rs->recNo(), 4);
    rs->moveTo(100);
    EXPECT_EQ(rs->recNo(), 7);

    // Reading every record the way an export does ends on the last one.
    int seen = 0;
    for (rs->first(); !rs->eof(); rs->next())
        ++seen;
    EXPECT_EQ(seen, 7);
    EXPECT_EQ(rs->recNo(), 7);
}

TEST(ResultSet, SortOrdersStablyWithNullsFirstAscending) {
    const struct {
        const char* sortText;
        std::vector<int> expected;
    } cases[] = {
        {"My Name ASC", {5, 2, 3, 6, 1, 4, 7}},  // null first; A a B b by case, then bytes
        {"My Name DESC", {7, 1, 4, 6, 3, 2, 5}},   // equal names keep their fetched order
        {"AMOUNT ASC", {2, 6, 3, 7, 1, 4, 5}},
        {"AMOUNT DESC", {5, 1, 4, 7, 3, 2, 6}},
        {"  my name   desc ", {7, 1, 4, 6, 3, 2, 5}},
        {"[My Name] ASC", {5, 2, 3, 6, 1, 4, 7}},
        {"My Name", {5, 2, 3, 6, 1, 4, 7}},
        {"AMOUNT DESC, ID DESC", {5, 4, 1, 7, 3, 6, 2}},
        {"ID DESC", {7, 6, 5, 4, 3, 2, 1}},
        {"", {1, 2, 3, 4, 5, 6, 7}},
    };
    auto rs = people();
    for (const auto& c : cases) {
        rs->setSort(QString::fromUtf8(c.sortText));
        EXPECT_EQ(ids(*rs), c.expected) << c.sortText;
        EXPECT_EQ(rs->sort(), QString::fromUtf8(c.sortText));
        EXPECT_EQ(rs->recNo(), 1) << c.sortText;
    }
}

TEST(ResultSet, UnknownSortFieldRaisesAndKeepsTheOrder) {
    auto rs = people();
    rs->setSort(QStringLiteral("ID DESC"));
    for (const char* sortText : {"NOPE ASC", "ID ASC, NOPE DESC", "DESC"}) {
        EXPECT_THROW(rs->setSort(QString::fromUtf8(sortText)), DbError) << sortText;
        EXPECT_EQ(rs->sort(), u"ID DESC");
        EXPECT_EQ(ids(*rs).front(), 7);
    }
}

TEST(ResultSet, BookmarksNameTheSameRowInEveryOrder) {
    auto rs = people();
    rs->moveTo(3);  // ID 3
    const ResultSet::Bookmark b = rs->bookmark();
    rs->setSort(QStringLiteral("ID DESC"));
    EXPECT_NE(rs->value(0).toInt(), 3);
    rs->gotoBookmark(b);
    EXPECT_EQ(rs->value(0).toInt(), 3);
    EXPECT_EQ(rs->recNo(), 5);
    rs->setSort(QString());
    rs->gotoBookmark(b);
    EXPECT_EQ(rs->recNo(), 3);
    EXPECT_THROW(rs->gotoBookmark(99), DbError);
}

TEST(ResultSet, IntegersWidenWhenAValueNeeds64Bits) {
    ResultSet rs({field("N", FieldKind::LargeInt)});
    const std::int64_t small[] = {0, 1, -1, std::numeric_limits<std::int32_t>::max(),
                                  std::numeric_limits<std::int32_t>::min()};
    for (std::int64_t v : small)
        rs.appendValues({QVariant::fromValue<qlonglong>(v)});
    EXPECT_FALSE(rs.store().intsAreWide(0));
    const std::size_t narrow = rs.memoryUsage();
    const std::int64_t big[] = {std::int64_t(1) << 31, -(std::int64_t(1) << 31) - 1,
                                std::numeric_limits<std::int64_t>::max()};
    for (std::int64_t v : big)
        rs.appendValues({QVariant::fromValue<qlonglong>(v)});
    EXPECT_TRUE(rs.store().intsAreWide(0));
    EXPECT_GT(rs.memoryUsage(), narrow);
    std::int64_t row = 0;
    for (std::int64_t v : small)
        EXPECT_EQ(rs.int64At(row++, 0), v);
    for (std::int64_t v : big)
        EXPECT_EQ(rs.int64At(row++, 0), v);
    EXPECT_EQ(rs.displayText(5, 0), u"2147483648");
    rs.setSort(QStringLiteral("N DESC"));
    EXPECT_EQ(rs.int64At(0, 0), std::numeric_limits<std::int64_t>::max());
}

TEST(ResultSet, DisplayTextAndValueOfEveryKind) {
    const DateTimeValue stamp = toDateTimeValue({2024, 2, 29, 13, 4, 5, 0});
    ResultSet rs({field("I", FieldKind::Integer), field("F", FieldKind::Float),
                  field("C", FieldKind::Currency), field("S", FieldKind::WideString),
                  field("B", FieldKind::Boolean), field("X", FieldKind::VarBytes),
                  field("D", FieldKind::Date), field("T", FieldKind::DateTime)});
    rs.appendValues({-42, 0.1 + 0.2, 12.34567, QStringLiteral("Grüße"), true,
                     QByteArray("\x00\xFF\x10", 3), QDate(2024, 2, 29),
                     QDateTime(QDate(2024, 2, 29), QTime(13, 4, 5))});
    rs.appendValues({QVariant(), QVariant(), QVariant(), QVariant(), false, QByteArray(),
                     QVariant(), QVariant()});
    const QString dp = QLocale::system().decimalPoint();
    EXPECT_EQ(rs.displayText(0, 0), u"-42");
    EXPECT_EQ(rs.displayText(0, 1), QStringLiteral("0") + dp + QStringLiteral("3"));
    EXPECT_EQ(rs.displayText(0, 2), QStringLiteral("12") + dp + QStringLiteral("3457"));
    EXPECT_EQ(rs.displayText(0, 3), u"Grüße");
    EXPECT_EQ(rs.displayText(0, 4), u"True");
    EXPECT_EQ(rs.displayText(1, 4), u"False");
    EXPECT_EQ(rs.displayText(0, 5), u"0x00FF10");
    EXPECT_EQ(rs.displayText(1, 5), u"0x");
    EXPECT_EQ(rs.displayText(0, 6), formatDateTimeSystem(toDateTimeValue({2024, 2, 29}), FieldKind::Date));
    EXPECT_EQ(rs.displayText(0, 7), formatDateTimeSystem(stamp, FieldKind::DateTime));
    for (int c : {0, 1, 2, 3, 6, 7}) {
        EXPECT_EQ(rs.displayText(1, c), QString()) << c;
        EXPECT_FALSE(rs.value(1, c).isValid()) << c;
    }
    EXPECT_EQ(rs.value(0, 0).toLongLong(), -42);
    EXPECT_EQ(rs.value(0, 3).toString(), u"Grüße");
    EXPECT_EQ(rs.value(0, 5).toByteArray(), QByteArray("\x00\xFF\x10", 3));
    EXPECT_EQ(rs.value(0, 6).toDate(), QDate(2024, 2, 29));
    EXPECT_EQ(rs.value(0, 7).toDateTime().time(), QTime(13, 4, 5));
    EXPECT_EQ(rs.dateTimeAt(0, 7), stamp);
    EXPECT_EQ(rs.fieldIndex(QStringLiteral("t")), 7);
    EXPECT_EQ(rs.fieldIndex(QStringLiteral("nope")), -1);
}

TEST(ResultSet, RowsAndFetchAllFollowTheCurrentOrder) {
    auto rs = people();
    rs->setSort(QStringLiteral("ID DESC"));
    auto copy = ResultSet::fetchAll(*rs->rows());
    EXPECT_EQ(ids(*copy), ids(*rs));
    EXPECT_EQ(copy->fieldCount(), 3);
    EXPECT_TRUE(copy->isNull(2, 1));  // ID 5's null name
    EXPECT_EQ(copy->displayText(0, 1), u"Ärger");
    EXPECT_EQ(copy->recNo(), 1);
}

TEST(ResultSet, LargeColumnsKeepEveryValueAcrossGrowthAndReuse) {
    // Past the size where column arrays get pages of their own, grow by remapping, and
    // take the pages a freed result left behind.
    for (int round = 0; round < 3; ++round) {
        ResultSet rs({field("N", FieldKind::LargeInt), field("S", FieldKind::String)});
        const int rows = 150000 + round * 50000;
        for (int i = 0; i < rows; ++i) {
            const QVariant n = QVariant::fromValue<qlonglong>(i % 7 == 0 ? (std::int64_t(i) << 32) : i);
            rs.appendValues({n, QString::number(i * 31 + round)});
        }
        ASSERT_EQ(rs.recordCount(), rows);
        for (int i = 0; i < rows; i += 997) {
            EXPECT_EQ(rs.int64At(i, 0), i % 7 == 0 ? (std::int64_t(i) << 32) : i);
            EXPECT_EQ(rs.textAt(i, 1), std::to_string(i * 31 + round));
        }
        EXPECT_EQ(rs.textAt(rows - 1, 1), std::to_string((rows - 1) * 31 + round));
        EXPECT_LT(rs.memoryUsage(), static_cast<std::size_t>(rows) * 40);
    }
}

TEST(ValueFormat, FloatsInFifteenSignificantDigits) {
    const struct {
        double v;
        const char* text;
    } cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {1.5, "1.5"},
        {-2.5, "-2.5"},
        {100, "100"},
        {1.0 / 3, "0.333333333333333"},
        {0.1 + 0.2, "0.3"},
        {999999999999999, "999999999999999"},
        {1e15, "1E15"},
        {1e20, "1E20"},
        {123456789012345678.0, "1.23456789012346E17"},
        {0.0001, "0.0001"},
        {0.00001, "1E-5"},
        {1.5e-7, "1.5E-7"},
        {-1.5e-300, "-1.5E-300"},
        {std::numeric_limits<double>::infinity(), "INF"},
        {std::nan(""), "NAN"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatFloat(c.v, QStringLiteral(".")), QString::fromUtf8(c.text)) << c.text;
    EXPECT_EQ(formatFloat(1234.5, QStringLiteral(",")), u"1234,5");
    EXPECT_EQ(formatFloat(2.5e-7, QStringLiteral(",")), u"2,5E-7");

    const struct {
        double v;
        const char* text;
    } money[] = {{12.5, "12.5"}, {1.23456, "1.2346"}, {10, "10"}, {-0.00001, "0"},
                 {-3.10, "-3.1"}, {922337203685477.5807, "922337203685477.625"}};
    for (const auto& c : money)
        EXPECT_EQ(formatCurrency(c.v, QStringLiteral(".")), QString::fromUtf8(c.text)) << c.text;
}

TEST(ValueFormat, DateTimesLeaveOutMidnightAndTheZeroDate) {
    const QString d = QStringLiteral("dd.MM.yyyy"), t = QStringLiteral("HH:mm:ss");
    auto show = [&](const DateTimeParts& p, FieldKind k) {
        return formatDateTimeWith(toDateTimeValue(p), k, d, t);
    };
    EXPECT_EQ(show({2024, 3, 1, 0, 0, 0, 0}, FieldKind::DateTime), u"01.03.2024");
    EXPECT_EQ(show({2024, 3, 1, 9, 5, 7, 0}, FieldKind::DateTime), u"01.03.2024 09:05:07");
    EXPECT_EQ(show({1899, 12, 30, 9, 5, 7, 0}, FieldKind::DateTime), u"09:05:07");
    EXPECT_EQ(show({1899, 12, 30, 0, 0, 0, 0}, FieldKind::Time), u"00:00:00");
    EXPECT_EQ(show({1899, 12, 30, 0, 0, 0, 0}, FieldKind::Date), u"30.12.1899");
    EXPECT_EQ(show({1800, 1, 1, 12, 0, 0, 0}, FieldKind::DateTime), u"01.01.1800 12:00:00");
    // The user's long time format without a time-zone part: the value is naive.
    const QString shown = formatDateTimeSystem(toDateTimeValue({1899, 12, 30, 13, 4, 5, 0}),
                                               FieldKind::Time);
    EXPECT_TRUE(shown.contains(u"04")) << qPrintable(shown);
    EXPECT_FALSE(shown.contains(u"UTC") || shown.contains(u"GMT")) << qPrintable(shown);
}

TEST(ValueFormat, IsoDateTextsParseExactlyOrNotAtAll) {
    const struct {
        const char* text;
        DateTimeParts parts;
    } good[] = {
        {"2024-02-29", {2024, 2, 29, 0, 0, 0, 0}},
        {"2024-01-02 03:04:05", {2024, 1, 2, 3, 4, 5, 0}},
        {"2024-01-02T03:04:05.123", {2024, 1, 2, 3, 4, 5, 123}},
        {"2024-01-02 03:04:05.120000", {2024, 1, 2, 3, 4, 5, 120}},
        {"2024-01-02 03:04", {2024, 1, 2, 3, 4, 0, 0}},
        {"10:30", {1899, 12, 30, 10, 30, 0, 0}},
        {"23:59:59.5", {1899, 12, 30, 23, 59, 59, 500}},
        {"0001-01-01", {1, 1, 1, 0, 0, 0, 0}},
        {"9999-12-31 23:59:59.999", {9999, 12, 31, 23, 59, 59, 999}},
    };
    for (const auto& c : good) {
        DateTimeValue v = -1;
        ASSERT_TRUE(parseIsoDateTime(c.text, v)) << c.text;
        EXPECT_EQ(v, toDateTimeValue(c.parts)) << c.text;
        const DateTimeParts back = toParts(v);
        EXPECT_EQ(toDateTimeValue(back), v) << c.text;
        EXPECT_EQ(back.year, c.parts.year) << c.text;
        EXPECT_EQ(back.msec, c.parts.msec) << c.text;
    }
    EXPECT_EQ(toDateTimeValue({1899, 12, 30, 0, 0, 0, 0}), 0);
    EXPECT_EQ(toDateTimeValue({1900, 1, 1, 0, 0, 0, 0}), 2 * kMsPerDay);

    for (const char* bad : {"2023-02-29", "2024-13-01", "2024-00-10", "2024-01-32",
                            "2024-01-02 24:00:00", "2024-01-02 03:60", "2024-01-02 03:04:05.1234",
                            "2024-01-02Z", "2024-01-02 03:04:05+01:00", " 2024-01-02", "2024-1-2",
                            "2024-01-02 ", "10:3", "abc", "", "2024-01-02 03:04:05."}) {
        DateTimeValue v;
        EXPECT_FALSE(parseIsoDateTime(bad, v)) << bad;
    }
    EXPECT_EQ(isoText(toDateTimeValue({2024, 1, 2, 3, 4, 5, 60})), "2024-01-02 03:04:05.060");
    EXPECT_EQ(isoText(toDateTimeValue({2024, 1, 2}), FieldKind::Date), "2024-01-02");
    EXPECT_EQ(isoText(toDateTimeValue({1899, 12, 30, 7, 8, 9, 0}), FieldKind::Time), "07:08:09");
}

}  // namespace
