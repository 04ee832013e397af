#include "params/NumericCheck.h"
#include "params/ParameterScan.h"

#include "PrintQt.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace vnk::params;

namespace {

QString u8(const char* text) {
    return QString::fromUtf8(text);
}

TEST(FloatNumTest, TextsThatAreNumbers) {
    for (const char* t : {"12", "-3.5", "+0.25", "1e5", "2.5E-3", "1.", ".5", ".", "e5", "0",
                          "   7", " -1", "1E+10", "007", "-.e1"})
        EXPECT_TRUE(fnIsStrFloatNum(u8(t))) << t;
}

TEST(FloatNumTest, TextsThatAreNot) {
    for (const char* t : {"", " ", "+", "-", " -", "1e", "1e+", "12abc", "0x10", "$10", "1.2.3",
                          "4,2", "1 000", "12 ", "\t12", "--1", "+-1", "1e5.0", "1,5", "٣"})
        EXPECT_FALSE(fnIsStrFloatNum(u8(t))) << t;
}

QueryParameter record(const char* token) {
    ParameterList list = ScanParameters(u8(token));
    EXPECT_EQ(list.size(), 1);
    return list[0];
}

TEST(NumericCheckTest, FirstFailingRecordIsNamedByItsFieldText) {
    struct Case {
        const char* token;
        std::function<void(QueryParameter&)> enter;
        bool passes;
    };
    const std::vector<Case> cases = {
        {"?NUM_x?", [](QueryParameter& p) { p.EnteredText = u8(" \t42 "); }, true},
        {"?NUM_x?", [](QueryParameter& p) { p.EnteredText = u8("4,2"); }, false},
        {"?NUM_x?", [](QueryParameter& p) { p.EnteredText = u8("1 000"); }, false},
        {"?NUM_x?", [](QueryParameter& p) { p.EnteredText.clear(); }, false},
        {"?NUM_x?", [](QueryParameter& p) { p.EnteredText = u8("-"); }, false},
        {"?NFixPickR_x||{1,2}?", [](QueryParameter& p) { p.EnteredText.clear(); }, false},
        {"?NSqlPickW_x||{select 1}?", [](QueryParameter& p) { p.EnteredText = u8(" 2 "); }, true},
        {"?SFixPickR_x||{a}?", [](QueryParameter& p) { p.EnteredText.clear(); }, true},
        {"?NList_x?", [](QueryParameter& p) { p.EnteredLines = {u8("1"), u8(" "), u8("2")}; }, true},
        {"?NList_x?", [](QueryParameter& p) { p.EnteredLines = {u8("1"), u8("x")}; }, false},
        {"?NList_x?", [](QueryParameter& p) { p.EnteredLines.clear(); }, true},
        {"?NSqlPickC_x||{select 1}?", [](QueryParameter& p) { p.EnteredChoices = {u8("1"), u8("2")}; }, true},
        {"?NSqlPickC_x||{select 1}?", [](QueryParameter& p) { p.EnteredChoices = {u8("abc")}; }, false},
        {"?NFixPickC_x||{1}?", [](QueryParameter& p) { p.EnteredChoices.clear(); }, true},
        // A chosen value is one number or nothing: "1 2" would be written (1 2).
        {"?NFixPickC_x||{1}?", [](QueryParameter& p) { p.EnteredChoices = {u8("1 2")}; }, false},
        {"?Str_x?", [](QueryParameter& p) { p.EnteredText = u8("abc"); }, true},
        {"?VFixPickC_x||{a}?", [](QueryParameter& p) { p.EnteredChoices = {u8("a b")}; }, true},
    };
    for (const Case& c : cases) {
        ParameterList list;
        QueryParameter p = record(c.token);
        c.enter(p);
        list.append(p);
        const std::optional<QString> message = CheckNumericValues(list);
        EXPECT_EQ(!message.has_value(), c.passes) << c.token;
        if (message) {
            EXPECT_EQ(*message, u8("\"x\" is a numeric parameter. Only numbers are allowed."));
        }
    }
}

TEST(NumericCheckTest, MessageQuotesTheShownOrChosenField) {
    ParameterList list = ScanParameters(
        u8("?Str_a? ?NUM_{'BudgetYear'}? ?NUM_\"Budget Year\"? ?NFixPickR_{'P','Q'}||{1}? ?NUM_?"));
    for (QueryParameter& p : list)
        p.EnteredText = u8("x");
    EXPECT_EQ(CheckNumericValues(list),
              u8("\"BudgetYear\" is a numeric parameter. Only numbers are allowed."));
    list[1].EnteredText = u8("1");
    EXPECT_EQ(CheckNumericValues(list),
              u8("\"Budget Year\" is a numeric parameter. Only numbers are allowed."));
    list[2].EnteredText = u8("1");
    list[3].FieldText = u8("Q");  // the value chosen in the field drop-down
    EXPECT_EQ(CheckNumericValues(list),
              u8("\"Q\" is a numeric parameter. Only numbers are allowed."));
    list[3].EnteredText = u8("1");
    // A record without parts has an empty field text.
    EXPECT_EQ(CheckNumericValues(list), u8("\"\" is a numeric parameter. Only numbers are allowed."));
    list[4].EnteredText = u8("1");
    EXPECT_EQ(CheckNumericValues(list), std::nullopt);
}

}  // namespace
