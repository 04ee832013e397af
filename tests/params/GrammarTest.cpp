#include "params/ParamError.h"
#include "params/ParamTypes.h"
#include "params/ParameterScan.h"

#include "PrintQt.h"

#include <gtest/gtest.h>

#include <set>

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

}  // namespace

TEST(ParamTypeTable, HoldsTheTwentyFiveTypesMatchedWithoutAsciiCase) {
    const auto table = ParamTypeTable();
    ASSERT_EQ(table.size(), 25u);
    const char* words[] = {"NUM",       "NList",     "Str",       "Pwd",       "SList",
                           "Text",      "Date",      "Time",      "DT",        "NSqlPickR",
                           "NSqlPickW", "NSqlPickC", "NFixPickR", "NFixPickW", "NFixPickC",
                           "SSqlPickR", "SSqlPickW", "SSqlPickC", "SFixPickR", "SFixPickW",
                           "SFixPickC", "VSqlPickR", "VSqlPickC", "VFixPickR", "VFixPickC"};
    int picks = 0;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const ParamTypeInfo& info = table[i];
        EXPECT_EQ(info.word.toString(), u8(words[i]));
        EXPECT_EQ(static_cast<std::size_t>(info.type), i);
        EXPECT_EQ(&ParamTypeInfoOf(info.type), &info);
        for (const QString& spelling :
             {info.word.toString(), info.word.toString().toLower(), AsciiUpper(u8(words[i]))})
            EXPECT_EQ(ParamTypeFromText(spelling), info.type) << spelling.toStdString();
        picks += info.isPick() ? 1 : 0;
        // Pick types take exactly three parts, plain ones up to two.
        EXPECT_EQ(info.maxParts(), info.isPick() ? 3 : 2);
        // V types have no W form; the numeric check follows the value kind.
        if (info.valueKind == ValueKind::V) {
            EXPECT_NE(info.selection, Selection::W);
        }
        EXPECT_EQ(info.numericCheck != NumericCheck::None, info.valueKind == ValueKind::N);
        EXPECT_EQ(info.selection == Selection::C, info.editor == EditorKind::MultiChoice);
    }
    EXPECT_EQ(picks, 16);
    EXPECT_EQ(ParamTypeInfoOf(ParamType::NList).numericCheck, NumericCheck::EachLine);
    EXPECT_EQ(ParamTypeInfoOf(ParamType::NSqlPickC).numericCheck, NumericCheck::EachChoice);
    EXPECT_EQ(ParamTypeInfoOf(ParamType::SFixPickW).source, ListSource::Fix);
    EXPECT_EQ(ParamTypeInfoOf(ParamType::VSqlPickR).source, ListSource::Sql);

    // Only ASCII letters fold: U+017F LATIN SMALL LETTER LONG S upper-cases to S in Unicode.
    for (const char* word : {"\xC5\xBFtr", "Str ", " Str", "", "String", "S tr", "?Str"})
        EXPECT_FALSE(ParamTypeFromText(u8(word)).has_value()) << word;
}

TEST(ScanParameters, FindsDistinctTokensInOrderOfFirstAppearance) {
    struct Case {
        const char* statement;
        std::vector<std::pair<const char*, const char*>> records;  // TypeText, NameText
    };
    const Case cases[] = {
        {"select 1 from t", {}},
        // question marks without any "_" later open nothing and raise nothing
        {"select 1 where a = ? or b = ?", {}},
        {"select 1 where a = ?", {}},
        // an "_" later but no closing "?"
        {"select * from t where a > ? and name like 'a_b'", {}},
        {"?Str_x?", {{"Str", "x"}}},
        {"?Str_x? and ?Str_x?", {{"Str", "x"}}},
        {"?Str_x? and ?STR_x?", {{"Str", "x"}, {"STR", "x"}}},
        {"?str_x? ?STR_x? ?Str_x? ?str_x?", {{"str", "x"}, {"STR", "x"}, {"Str", "x"}}},
        {"?Str_x? ?Str_X?", {{"Str", "x"}, {"Str", "X"}}},
        {"?Str_?", {{"Str", ""}}},
        // tokens inside literals and comments count: SQL syntax is ignored
        {"select '?Str_x?' -- ?NUM_y?\n/* ?Date_z? */",
         {{"Str", "x"}, {"NUM", "y"}, {"Date", "z"}}},
        // a closing "?" never opens the next token, but the one after it may
        {"?Str_x??NUM_y?", {{"Str", "x"}, {"NUM", "y"}}},
        {"?Str_x?NUM_y?", {{"Str", "x"}}},
        {"a?NUM_n?b?SList_\"Codes\"?c", {{"NUM", "n"}, {"SList", "\"Codes\""}}},
        // the name runs to the first "?" whatever stands between: braces, quotes, "|",
        // underscores, line breaks
        {"?Str_{'OQ'}|{'=','<>'}?", {{"Str", "{'OQ'}|{'=','<>'}"}}},
        {"?Str_a_b?", {{"Str", "a_b"}}},
        {"?Text_first\nsecond?", {{"Text", "first\nsecond"}}},
        {"?SSqlPickR_\"Account No:\"||\"{select AccountNo from Mtn_Account}\"?",
         {{"SSqlPickR", "\"Account No:\"||\"{select AccountNo from Mtn_Account}\""}}},
        {"?NUM_\"Budget Year\"? ?NUM_Budget Year?",
         {{"NUM", "\"Budget Year\""}, {"NUM", "Budget Year"}}},
    };
    for (const Case& c : cases) {
        const ParameterList found = ScanParameters(u8(c.statement));
        ASSERT_EQ(found.size(), static_cast<int>(c.records.size())) << c.statement;
        for (int i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].TypeText, u8(c.records[static_cast<std::size_t>(i)].first))
                << c.statement;
            EXPECT_EQ(found[i].NameText, u8(c.records[static_cast<std::size_t>(i)].second))
                << c.statement;
            EXPECT_EQ(found[i].Kind, ParamTypeFromText(found[i].TypeText)) << c.statement;
        }
    }
}

TEST(ScanParameters, UnknownTypeWordEndsTheScanWithItsMessage) {
    struct Case {
        const char* statement;
        const char* message;
    };
    const Case cases[] = {
        {"?Foo_x?", "Invalid parameter type \"Foo\"."},
        // the quoted "?" opens a token reaching to the next "?"
        {"where a = '?' and b = ?Str_x?", "Invalid parameter type \"' and b = ?Str\"."},
        {"where a = ? and b = ?Str_x?", "Invalid parameter type \" and b = ?Str\"."},
        {"??Str_x?", "Invalid parameter type \"?Str\"."},
        {"?_x?", "Invalid parameter type \"\"."},
        {"?Str x_y?", "Invalid parameter type \"Str x\"."},
        // an unknown type after valid tokens still refuses the whole statement
        {"?Str_a? ?NUM_b? ?Bad_c?", "Invalid parameter type \"Bad\"."},
        {"?Bad_c? ?Worse_d?", "Invalid parameter type \"Bad\"."},
    };
    for (const Case& c : cases) {
        try {
            ScanParameters(u8(c.statement));
            ADD_FAILURE() << "no error for " << c.statement;
        } catch (const ParamError& e) {
            EXPECT_EQ(e.reason(), ParamError::Reason::InvalidType) << c.statement;
            EXPECT_EQ(e.message(), u8(c.message)) << c.statement;
        }
    }
}

TEST(ScanParameters, RefusesTheThreeHundredFirstDistinctToken) {
    auto statement = [](int distinct, int repeats) {
        QString s = u8("select ");
        for (int r = 0; r < repeats; ++r)
            for (int i = 0; i < distinct; ++i)
                s += QStringLiteral("?NUM_p%1?,").arg(i);
        return s;
    };
    // 300 distinct tokens, each written three times, fill the list exactly.
    const ParameterList full = ScanParameters(statement(300, 3));
    ASSERT_EQ(full.size(), ParameterList::MaxCount);
    EXPECT_EQ(full[0].NameText, u8("p0"));
    EXPECT_EQ(full[299].NameText, u8("p299"));

    // Case variants are distinct records and count towards the limit.
    const QString variants = statement(299, 1) + u8("?num_p0? ?Num_p0?");
    try {
        ScanParameters(variants);
        ADD_FAILURE() << "301 records accepted";
    } catch (const ParamError& e) {
        EXPECT_EQ(e.reason(), ParamError::Reason::TooManyParameters);
        EXPECT_EQ(e.message(), TooManyParametersMessage());
        EXPECT_EQ(e.message(), u8("Too many parameters in the statement: at most 300 different "
                                  "parameters are allowed."));
    }
    // An unknown type is reported before the limit, wherever it stands.
    try {
        ScanParameters(statement(301, 1) + u8("?Nope_x?"));
        ADD_FAILURE() << "no error";
    } catch (const ParamError& e) {
        EXPECT_EQ(e.reason(), ParamError::Reason::InvalidType);
    }
    // The list itself never grows beyond the limit.
    ParameterList direct = full;
    EXPECT_THROW(direct.append(QueryParameter{}), ParamError);
    EXPECT_EQ(direct.size(), ParameterList::MaxCount);
}

TEST(SplitNameParts, FollowsTheBarAndDoubleQuoteRule) {
    struct Case {
        const char* text;
        QStringList parts;
    };
    const Case cases[] = {
        {"", {}},
        {" \t\r\n ", {}},
        {"x", list({"x"})},
        {"\"Budget Year\"", list({"Budget Year"})},
        {"Budget Year", list({"Budget", "Year"})},
        {"\"Account No\"|", list({"Account No", ""})},
        {"\"Account No\"| ", list({"Account No", ""})},
        {"\"Account No:\"||\"{select AccountNo from Mtn_Account}\"",
         list({"Account No:", "", "{select AccountNo from Mtn_Account}"})},
        {"\"Account No\"||{select AccountNo from Mtn_Account}",
         list({"Account No", "", "{select", "AccountNo", "from", "Mtn_Account}"})},
        {"\"a\"|\"b\"|\"c\"", list({"a", "b", "c"})},
        {"\"Account No\"x", list({"Account No", "x"})},
        {"\"a\"\"b\"", list({"a\"b"})},
        {"\"\"\"\"", list({"\""})},
        {"\"\"", list({""})},
        {"\"unclosed part", list({"unclosed part"})},
        {"  a  |  b  ", list({"a", "b"})},
        {"|a", list({"", "a"})},
        {"a||b", list({"a", "", "b"})},
        {"a\tb\nc", list({"a", "b", "c"})},
        {"{'OQ'}|{'=','<>'}", list({"{'OQ'}", "{'=','<>'}"})},
        {"{'OQ'}|{'=', '<>'}", list({"{'OQ'}", "{'=',", "'<>'}"})},
        {"\"{'Account No'}\"|\"{'=', '>', '>=', '<=', '<', 'like'}\"",
         list({"{'Account No'}", "{'=', '>', '>=', '<=', '<', 'like'}"})},
        {"'single quotes' do not group", list({"'single", "quotes'", "do", "not", "group"})},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitNameParts(u8(c.text)), c.parts) << c.text;

    // A NUL character is a blank, not an endless empty part.
    EXPECT_EQ(SplitNameParts(QStringView(u"a\0b|c", 5).toString()), list({"a", "b", "c"}));
}

TEST(SplitListItems, FollowsTheCommaAndSingleQuoteRule) {
    struct Case {
        const char* text;
        QStringList items;
    };
    const Case cases[] = {
        {"", {}},
        {"   ", {}},
        {"OQ, PR, PO", list({"OQ", "PR", "PO"})},
        {"Open PO, Completed PO", list({"Open", "PO", "Completed", "PO"})},
        {"'Open PO', 'Completed PO'", list({"Open PO", "Completed PO"})},
        {"'=', '>', '>=', '<=', '<', 'like'", list({"=", ">", ">=", "<=", "<", "like"})},
        {"2008,2009,2010,2011,2012", list({"2008", "2009", "2010", "2011", "2012"})},
        {"'O''Q'", list({"O'Q"})},
        {"'a,b'", list({"a,b"})},
        {"a,,b", list({"a", "", "b"})},
        {"a,", list({"a", ""})},
        {"\"double\" quotes", list({"\"double\"", "quotes"})},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitListItems(u8(c.text)), c.items) << c.text;
}

TEST(ResolveNameParts, GivesFieldOperatorAndListFromTheToken) {
    struct Case {
        const char* token;
        PartMode fieldMode;
        const char* fieldText;
        QStringList fieldChoices;
        PartMode operatorMode;
        const char* operatorText;
        QStringList operatorChoices;
        const char* listText;
    };
    using enum PartMode;
    const Case cases[] = {
        {"?Str_?", Shown, "", {}, Shown, "", {}, ""},
        {"?Str_\"Budget Year\"?", Shown, "Budget Year", {}, Shown, "", {}, ""},
        {"?Str_Account|=?", Shown, "Account", {}, Shown, "=", {}, ""},
        {"?Str_{'OQ'}|{'=','<>'}?", Fixed, "OQ", {}, Choice, "=", list({"=", "<>"}), ""},
        {"?Str_\"{'Account No'}\"|\"{'=', '>', '>=', '<=', '<', 'like'}\"?", Fixed,
         "Account No", {}, Choice, "=", list({"=", ">", ">=", "<=", "<", "like"}), ""},
        {"?NUM_{'BudgetYear'}?", Fixed, "BudgetYear", {}, Shown, "", {}, ""},
        {"?Str_\"  {'a', 'b'}  \"|\"{'is'}\"?", Choice, "a", list({"a", "b"}), Fixed, "is", {},
         ""},
        {"?Str_{}?", Fixed, "", {}, Shown, "", {}, ""},
        // part 3 gives the list source of a pick type, unsplit
        {"?SSqlPickR_\"Account No:\"||\"{select AccountNo from Mtn_Account}\"?", Shown,
         "Account No:", {}, Shown, "", {}, "select AccountNo from Mtn_Account"},
        {"?VFixPickR_Year||{2008,2009,2010,2011,2012}?", Shown, "Year", {}, Shown, "", {},
         "2008,2009,2010,2011,2012"},
        {"?SFixPickC_\"{'Status', 'Flag'}\"|\"{'in'}\"|\"{'Open PO', 'Done'}\"?", Choice,
         "Status", list({"Status", "Flag"}), Fixed, "in", {}, "'Open PO', 'Done'"},
        // a plain type keeps no list source, an unbraced part 3 none either
        {"?Str_a|b|{c}?", Shown, "a", {}, Shown, "b", {}, ""},
        {"?SFixPickR_a|b|c?", Shown, "a", {}, Shown, "b", {}, ""},
    };
    for (const Case& c : cases) {
        const ParameterList found = ScanParameters(u8(c.token));
        ASSERT_EQ(found.size(), 1) << c.token;
        const QueryParameter& p = found[0];
        EXPECT_EQ(p.Parts, SplitNameParts(p.NameText)) << c.token;
        EXPECT_EQ(p.FieldMode, c.fieldMode) << c.token;
        EXPECT_EQ(p.FieldText, u8(c.fieldText)) << c.token;
        EXPECT_EQ(p.FieldChoices, c.fieldChoices) << c.token;
        EXPECT_EQ(p.OperatorMode, c.operatorMode) << c.token;
        EXPECT_EQ(p.OperatorText, u8(c.operatorText)) << c.token;
        EXPECT_EQ(p.OperatorChoices, c.operatorChoices) << c.token;
        EXPECT_EQ(p.ListText, u8(c.listText)) << c.token;
    }
}

TEST(CheckNameParts, GivesTheFirstBrokenRuleAsItsMessage) {
    struct Case {
        const char* token;
        const char* message;  // nullptr: sound
    };
    const Case cases[] = {
        {"?Str_?", nullptr},
        {"?Str_\"Account No\"|?", nullptr},
        {"?Str_{'OQ'}|{'=','<>'}?", nullptr},
        {"?NUM_a|b?", nullptr},
        {"?Str_\"a\"|\"b\"|\"c\"?", "Too many parameters. Please check STR - \"a\"|\"b\"|\"c\"."},
        {"?dt_a|b|c?", "Too many parameters. Please check DT - a|b|c."},
        // a blank after the comma without double quotes makes a third part
        {"?Str_{'OQ'}|{'=', '<>'}?", "Too many parameters. Please check STR - {'OQ'}|{'=', '<>'}."},
        {"?SSqlPickR_\"Account No:\"||\"{select AccountNo from Mtn_Account}\"?", nullptr},
        {"?SSqlPickR_\"Account No\"||{select AccountNo from Mtn_Account}?",
         "Too many parameters. Please check \"Account No\"."},
        {"?SFixPickR_\"{'A', 'B'}\"|=|{x}|y?", "Too many parameters. Please check \"A\"."},
        {"?NSqlPickW_\"Account No\"|=?", "Not enough parameters. Please check \"Account No\"."},
        {"?NSqlPickW_{'Code'}?", "Not enough parameters. Please check \"Code\"."},
        {"?VFixPickC_?", "Not enough parameters. Please check \"\"."},
        {"?sfixpickr_x|=|list?", "Invalid parameter. Please check SFIXPICKR - x|=|list."},
        // braces holding no item at all
        {"?Str_{}?", "Invalid parameter. Please check STR - {}."},
        {"?Str_x|\"{ }\"?", "Invalid parameter. Please check STR - x|\"{ }\"."},
        {"?VFixPickR_\"{}\"||{a}?", "Invalid parameter. Please check VFIXPICKR - \"{}\"||{a}."},
        // an empty list source is a list without items, not a broken name
        {"?SFixPickR_a||{}?", nullptr},
    };
    for (const Case& c : cases) {
        const ParameterList found = ScanParameters(u8(c.token));
        ASSERT_EQ(found.size(), 1) << c.token;
        const std::optional<QString> message = CheckNameParts(found[0]);
        if (c.message)
            EXPECT_EQ(message.value_or(u8("<sound>")), u8(c.message)) << c.token;
        else
            EXPECT_FALSE(message.has_value()) << c.token << ": " << message->toStdString();
    }
}
