#include "params/CheckedItems.h"

#include "PrintQt.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace vnk::params;

namespace {

QString u8(const char* text) {
    return QString::fromUtf8(text);
}

QStringList list(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* i : items)
        out.append(u8(i));
    return out;
}

// Steps: "+N" ticks item N, "-N" unticks it, "all" and "none" are the two menu entries.
void run(CheckedItems& items, const std::vector<std::string>& steps) {
    for (const std::string& step : steps) {
        if (step == "all")
            items.selectAll();
        else if (step == "none")
            items.deselectAll();
        else if (step[0] == '+')
            EXPECT_EQ(items.tick(std::stoi(step.substr(1))), CheckedItems::TickResult::Ticked)
                << step;
        else
            items.untick(std::stoi(step.substr(1)));
    }
}

}  // namespace

TEST(CheckedItems, TickSequences) {
    struct Case {
        const char* what;
        QStringList items;
        std::vector<std::string> steps;
        const char* text;         // checkedText, also CheckedValue with no quoting
        const char* single;       // CheckedValue with single quotes
        const char* dbl;          // CheckedValue with double quotes
        const char* sortDisplay;  // the field with the ticked values in item order
    };
    const Case cases[] = {
        {"nothing ticked", list({"a", "b"}), {}, "", "", "", "<none>"},
        {"tick order kept", list({"a", "b", "c"}), {"+1", "+0"}, "b,a", "'b','a'",
         "\"b\",\"a\"", "a,b"},
        {"untick from the middle", list({"a", "b", "c"}), {"+0", "+1", "+2", "-1"}, "a,c",
         "'a','c'", "\"a\",\"c\"", "a,c"},
        {"ticked again goes last", list({"a", "b"}), {"+0", "+1", "-0", "+0"}, "b,a", "'b','a'",
         "\"b\",\"a\"", "a,b"},
        {"ticking twice adds once", list({"a", "b"}), {"+0", "+0"}, "a", "'a'", "\"a\"", "a"},
        {"untick of an unticked item", list({"a", "b"}), {"+0", "-1"}, "a", "'a'", "\"a\"", "a"},
        {"same text twice adds once", list({"x", "y", "x"}), {"+0", "+2"}, "x", "'x'", "\"x\"",
         "x"},
        {"same text stays while one is ticked", list({"x", "y", "x"}), {"+0", "+2", "-0"}, "x",
         "'x'", "\"x\"", "x"},
        {"same text goes with the last tick", list({"x", "y", "x"}), {"+0", "+2", "-0", "-2"},
         "", "", "", "<none>"},
        {"a comma stays inside its value", list({"x,y", "x"}), {"+0", "+1"}, "x,y,x",
         "'x,y','x'", "\"x,y\",\"x\"", "x,y,x"},
        {"quotes are doubled", list({"O'Brien", "say \"hi\""}), {"+0", "+1"},
         "O'Brien,say \"hi\"", "'O''Brien','say \"hi\"'", "\"O'Brien\",\"say \"\"hi\"\"\"",
         "O'Brien,say \"hi\""},
        {"select all in item order", list({"c", "a", "b"}), {"+2", "all"}, "c,a,b",
         "'c','a','b'", "\"c\",\"a\",\"b\"", "c,a,b"},
        {"select all lists a text once", list({"x", "y", "x"}), {"all"}, "x,y", "'x','y'",
         "\"x\",\"y\"", "x,y"},
        {"untick after select all", list({"c", "a", "b"}), {"all", "-0"}, "a,b", "'a','b'",
         "\"a\",\"b\"", "a,b"},
        {"deselect all", list({"a", "b"}), {"+1", "all", "none"}, "", "", "", "<none>"},
        {"empty value ticked", list({"", "a"}), {"+1", "+0"}, "a,", "'a',''", "\"a\",\"\"", ",a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CheckedItems items;
        items.setItems(c.items);
        run(items, c.steps);
        EXPECT_EQ(items.checkedText(), u8(c.text));
        EXPECT_EQ(items.checkedValue(TCHBQuoteStyle::qsNone), u8(c.text));
        EXPECT_EQ(items.checkedValue(TCHBQuoteStyle::qsSingle), u8(c.single));
        EXPECT_EQ(items.checkedValue(TCHBQuoteStyle::qsDouble), u8(c.dbl));
        EXPECT_EQ(items.displayText(DefaultEmptyValue(), false),
                  *c.text ? u8(c.text) : u8("<none>"));
        EXPECT_EQ(items.displayText(DefaultEmptyValue(), true), u8(c.sortDisplay));
    }
}

TEST(CheckedItems, ValuesAreTheTickedTextsUnquoted) {
    CheckedItems items;
    items.setItems(list({"x,y", "O'Brien", "x,y"}));
    run(items, {"+1", "+0", "+2"});
    EXPECT_EQ(items.checkedValues(), list({"O'Brien", "x,y"}));
    EXPECT_TRUE(items.isTicked(2));
    EXPECT_FALSE(items.isTicked(3));
    EXPECT_FALSE(items.isTicked(-1));
}

TEST(CheckedItems, TextIsLimitedTo65535Characters) {
    struct Case {
        const char* what;
        std::vector<qsizetype> lengths;  // item i is lengths[i] times the letter 'a' + i
        std::vector<int> ticks;
        std::vector<bool> refused;
    };
    const Case cases[] = {
        {"one value of 65534 fits", {65534}, {0}, {false}},
        {"one value of 65535 does not", {65535}, {0}, {true}},
        {"reaching 65535 exactly", {65000, 534}, {0, 1}, {false, false}},
        {"one past", {65000, 535}, {0, 1}, {false, true}},
        {"full, then a short one", {65000, 534, 1}, {0, 1, 2}, {false, false, true}},
        {"a refused tick leaves room for a shorter one", {65000, 600, 100}, {0, 1, 2},
         {false, true, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QStringList texts;
        for (std::size_t i = 0; i < c.lengths.size(); ++i)
            texts.append(QString(c.lengths[i], QChar(u'a' + static_cast<char16_t>(i))));
        CheckedItems items;
        items.setItems(texts);
        QString expected;
        for (std::size_t k = 0; k < c.ticks.size(); ++k) {
            const int i = c.ticks[k];
            const auto result = items.tick(i);
            EXPECT_EQ(result == CheckedItems::TickResult::NoRoom, c.refused[k]) << "tick " << k;
            EXPECT_EQ(items.isTicked(i), !c.refused[k]);
            if (!c.refused[k])
                expected += (expected.isEmpty() ? QString() : QStringLiteral(",")) + texts[i];
            EXPECT_EQ(items.checkedText().size(), expected.size());
            EXPECT_LE(items.checkedText().size(), CheckedItems::MaxTextLength);
        }
        EXPECT_EQ(items.checkedText(), expected);
    }
}

TEST(CheckedItems, ADuplicateOfATickedTextNeedsNoRoom) {
    CheckedItems items;
    items.setItems({QString(65000, u'a'), QString(600, u'b'), QString(65000, u'a')});
    ASSERT_EQ(items.tick(0), CheckedItems::TickResult::Ticked);
    EXPECT_EQ(items.tick(1), CheckedItems::TickResult::NoRoom);
    EXPECT_EQ(items.tick(2), CheckedItems::TickResult::Ticked);
    EXPECT_EQ(items.checkedText().size(), 65000);
    EXPECT_EQ(NoRoomMessage(), u8("There is no room for Selected"));
}

TEST(CheckedItems, ChangingTheItemsClearsTheTicks) {
    const std::vector<std::pair<const char*, std::function<void(CheckedItems&)>>> changes = {
        {"assign", [](CheckedItems& i) { i.setItems(list({"a", "b", "c"})); }},
        {"add one", [](CheckedItems& i) { i.addItem(u8("d")); }},
        {"sort", [](CheckedItems& i) { i.setSorted(true); }},
        {"clear", [](CheckedItems& i) { i.clear(); }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        CheckedItems items;
        items.setItems(list({"c", "b", "a"}));
        run(items, {"+0", "+2"});
        ASSERT_EQ(items.checkedText(), u8("c,a"));
        change(items);
        EXPECT_EQ(items.checkedText(), QString());
        for (int i = 0; i < items.count(); ++i)
            EXPECT_FALSE(items.isTicked(i)) << i;
    }
}

TEST(CheckedItems, SortedKeepsCaseInsensitiveOrder) {
    CheckedItems items;
    items.setItems(list({"b", "C", "a", "B"}));
    items.setSorted(true);
    EXPECT_EQ(items.items(), list({"a", "b", "B", "C"}));
    EXPECT_EQ(items.addItem(u8("Ab")), 1);
    items.setItems(items.items() + list({"0"}));
    EXPECT_EQ(items.items(), list({"0", "a", "Ab", "b", "B", "C"}));
    items.setSorted(false);
    EXPECT_EQ(items.addItem(u8("A")), 6);
    EXPECT_EQ(items.items().last(), u8("A"));
}

TEST(CheckedItems, DisplayUsesTheGivenEmptyValue) {
    CheckedItems items;
    items.setItems(list({"a"}));
    EXPECT_EQ(items.displayText(u8("(all)"), false), u8("(all)"));
    EXPECT_EQ(items.displayText(QString(), true), QString());
    EXPECT_EQ(DefaultEmptyValue(), u8("<none>"));
    EXPECT_EQ(DefaultCapSelectAll(), u8("&Select All"));
    EXPECT_EQ(DefaultCapDeSelectAll(), u8("&DeSelect All"));
}

TEST(CheckedItems, DropDownLines) {
    struct Case {
        int items, columns, lines, expected;
    };
    const Case cases[] = {
        {3, 0, 6, 6},    // one column keeps its lines
        {30, 0, 8, 8},   //
        {3, 1, 10, 10},  // 1 is one column too
        {30, 2, 6, 10},  // 30 div 2 + 1 = 16, lowered to 10
        {10, 2, 9, 6},   // 10 div 2 + 1
        {14, 2, 6, 8},   //
        {20, 3, 10, 7},  //
        {0, 3, 8, 6},    // 1, raised to 6
        {3, -1, 7, 7},   //
    };
    for (const Case& c : cases)
        EXPECT_EQ(DropDownLinesFor(c.items, c.columns, c.lines), c.expected)
            << c.items << " items, " << c.columns << " columns, " << c.lines << " lines";
}
