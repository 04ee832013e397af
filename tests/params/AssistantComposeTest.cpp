#include "params/AssistantCompose.h"
#include "params/ParameterScan.h"

#include "PrintQt.h"

#include <gtest/gtest.h>

using namespace vnk::params;

namespace {

QString u8(const char* text) {
    return QString::fromUtf8(text);
}

AssistantEntries entries(const char* type, const char* name1, bool r1, const char* name2, bool r2,
                         const char* list = "") {
    return {u8(type), u8(name1), r1, u8(name2), r2, u8(list)};
}

TEST(AssistantComposeTest, Tokens) {
    struct Case {
        AssistantEntries in;
        const char* token;
    };
    const std::vector<Case> cases = {
        {entries("Str", "Account No", false, "", false), R"(?Str_"Account No"|?)"},
        {entries("SSqlPickR", "Account No:", false, "", false, "select AccountNo from Mtn_Account"),
         R"(?SSqlPickR_"Account No:"||"{select AccountNo from Mtn_Account}"?)"},
        {entries("Str", "OQ\nOR\nOP", true, "=\n>\nlike", true),
         R"(?Str_"{'OQ','OR','OP'}"|"{'=','>','like'}"?)"},
        {entries("NFixPickR", "OQ Year", false, "", false, "2008\n2009\n2010"),
         R"(?NFixPickR_"OQ Year"||"{'2008','2009','2010'}"?)"},
        {entries("SFixPickC", "x", false, "", false, " \n\t"), R"(?SFixPickC_"x"||"{}"?)"},
        {entries("Date", "", false, "", false), "?Date_|?"},
        {entries("Date", " \n ", true, "\t", false), "?Date_|?"},
        // Blank lines are skipped, the others kept as typed; CR LF line ends are one break.
        {entries("NUM", "\n a \r\n\r\nb\n", true, "", false), R"(?NUM_"{' a ','b'}"|?)"},
        {entries("Str", "O'Neil", true, "say \"hi\"", true),
         R"(?Str_"{'O''Neil'}"|"{'say ""hi""'}"?)"},
        // Unreturned text goes whole, line breaks included.
        {entries("Text", "two\nlines", false, "", false), "?Text_\"two\nlines\"|?"},
        {entries("VSqlPickC", "Cols", false, "", false, "select name\nfrom t"),
         "?VSqlPickC_\"Cols\"||\"{select name\nfrom t}\"?"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ComposeParameterToken(c.in), u8(c.token)) << c.token;
}

TEST(AssistantComposeTest, NoTypeChosenComposesNothing) {
    EXPECT_EQ(ComposeParameterToken(entries("", "a", false, "b", false, "c")), QString());
    EXPECT_EQ(ComposeParameterToken(entries(" ", "a", false, "", false)), QString());
}

// What the assistant writes, the dialog reads back as typed.
TEST(AssistantComposeTest, TokensReadBackAsComposed) {
    const QString token = ComposeParameterToken(
        entries("SFixPickR", "Say \"when\"", false, "=\n<>", true, "O'Neil\nx,y\n\"q\""));
    const ParameterList list = ScanParameters(u8("select ") + token);
    ASSERT_EQ(list.size(), 1);
    const QueryParameter& p = list[0];
    EXPECT_EQ(p.Kind, ParamType::SFixPickR);
    EXPECT_EQ(CheckNameParts(p), std::nullopt);
    EXPECT_EQ(p.FieldMode, PartMode::Shown);
    EXPECT_EQ(p.FieldText, u8("Say \"when\""));
    EXPECT_EQ(p.OperatorMode, PartMode::Choice);
    EXPECT_EQ(p.OperatorChoices, QStringList({u8("="), u8("<>")}));
    EXPECT_EQ(SplitListItems(p.ListText), QStringList({u8("O'Neil"), u8("x,y"), u8("\"q\"")}));

    // A select holding double-quoted names keeps them.
    const QString sql = u8("select \"Name\" from \"Artist\" order by 1");
    const ParameterList sqlList = ScanParameters(
        ComposeParameterToken(entries("SSqlPickC", "Artist", false, "", false, "select \"Name\" from \"Artist\" order by 1")));
    ASSERT_EQ(sqlList.size(), 1);
    EXPECT_EQ(CheckNameParts(sqlList[0]), std::nullopt);
    EXPECT_EQ(sqlList[0].ListText, sql);

    // The fixed list offers the values without their quotes.
    const ParameterList years = ScanParameters(
        ComposeParameterToken(entries("NFixPickR", "OQ Year", false, "", false, "2008\n2009\n2010")));
    ASSERT_EQ(years.size(), 1);
    EXPECT_EQ(years[0].Parts.size(), 3);
    EXPECT_EQ(years[0].Parts.at(1), QString());
    EXPECT_EQ(SplitListItems(years[0].ListText),
              QStringList({u8("2008"), u8("2009"), u8("2010")}));
}

TEST(AssistantComposeTest, ListSectionFollowsTheTypeWord) {
    const QStringList words = AssistantTypeWords();
    ASSERT_EQ(words.size(), 25);
    EXPECT_EQ(words.front(), u8("NUM"));
    EXPECT_EQ(words.at(9), u8("NSqlPickR"));
    EXPECT_EQ(words.back(), u8("VFixPickC"));
    int shown = 0;
    for (const QString& w : words) {
        shown += AssistantShowsList(w) ? 1 : 0;
        if (AssistantShowsList(w)) {
            EXPECT_EQ(AssistantListCaption(w), w.contains(u8("Fix")) ? u8("FixPick") : u8("SqlPick"));
        }
    }
    EXPECT_EQ(shown, 16);
    EXPECT_FALSE(AssistantShowsList(u8("sfixpickc")));  // case significant
}

}  // namespace
