#include "params/PrepareStatement.h"
#include "params/Substitution.h"
#include "share/AppState.h"

#include "PrintQt.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

using namespace vnk::params;
using vnk::appState;
using vnk::resetAppState;

namespace {

QString u8(const char* text) {
    return QString::fromUtf8(text);
}

// Editor text with markers: "^" is the caret, "[" and "]" bound the selection. Without a
// caret marker the caret stands at the end of the selection.
EditorState editor(const char* marked) {
    EditorState e;
    qsizetype caret = -1, selStart = -1, selEnd = -1;
    for (const QChar c : u8(marked)) {
        if (c == u'^')
            caret = e.text.size();
        else if (c == u'[')
            selStart = e.text.size();
        else if (c == u']')
            selEnd = e.text.size();
        else
            e.text += c;
    }
    if (selStart >= 0) {
        e.selectionStart = selStart;
        e.selectionLength = selEnd - selStart;
    }
    e.caretPosition = caret >= 0 ? caret : (selEnd >= 0 ? selEnd : 0);
    return e;
}

// Answers the prompt the way a confirmed or cancelled dialog would.
struct ScriptedPrompt : ParameterPrompt {
    std::function<bool(ParameterList&)> answer = [](ParameterList&) { return true; };
    int calls = 0;
    QStringList seenTokens;

    bool ask(ParameterList& parameters) override {
        ++calls;
        for (const QueryParameter& p : parameters)
            seenTokens.append(p.tokenText());
        return answer(parameters);
    }
};

// Fills the EnteredText of the records in list order.
std::function<bool(ParameterList&)> texts(std::vector<const char*> values) {
    return [values](ParameterList& list) {
        for (int i = 0; i < list.size(); ++i)
            list[i].EnteredText = u8(values.at(static_cast<std::size_t>(i)));
        return true;
    };
}

class PrepareStatementTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppState();
        appParameterList().clear();
        // leftovers of an earlier run that every preparation must not keep
        appState().ExecutedSql = u8("select 'stale'");
        appState().CancelFlag = true;
    }
    void TearDown() override {
        resetAppState();
        appParameterList().clear();
    }
};

}  // namespace

TEST_F(PrepareStatementTest, TakesSelectionOrTheBlockAroundTheCaret) {
    struct Case {
        const char* editor;
        const char* statement;  // nullptr: nothing to run
    };
    const Case cases[] = {
        {"select 1^", "select 1"},
        {"^select 1\nfrom t", "select 1\nfrom t"},
        {"a1\na2\n\nb1^\nb2", "b1\nb2"},
        {"a1\na2\n\nb1\nb2^", "b1\nb2"},
        {"a1\na^2\n\nb1\nb2", "a1\na2"},
        {"a\n\nb^\n\nc", "b"},
        // the caret on a blank line under a block runs that block
        {"a1\na2\n^\nb1", "a1\na2"},
        {"a1\na2\n   \t^\nb1", "a1\na2"},
        // ... on the second of two blank lines, or on a blank first line, nothing runs
        {"a1\n\n^\nb1", nullptr},
        {"^\nselect 1", nullptr},
        {"  ^  \nselect 1", nullptr},
        {"^", nullptr},
        {"", nullptr},
        // the line after a final line break is no line of its own: it counts as blank
        {"select 1\n^", "select 1"},
        {"select 1\n\n^", nullptr},
        // blank lines hold codes 0 to 32 only
        {"a1\n \t\r\nb1^", "b1"},
        {"\n  \nselect 1^\nfrom t\n\nnext", "select 1\nfrom t"},
        {"a1\n  x\nb1^", "a1\n  x\nb1"},
        // a selection wins over the block, whatever it spans
        {"select [a]^ from t", "a"},
        {"[a1\n\nb1]", "a1\n\nb1"},
        {"a1\n\n[b1\nb2]\n\nc1", "b1\nb2"},
        {"[a1]\n^\nb1", "a1"},
        // the blank-line test comes first, even with a selection
        {"[a1\n\n]^\nb1", nullptr},
        {"^[\nselect 1]", nullptr},
    };
    for (const Case& c : cases) {
        const std::optional<QString> got = ExtractStatement(editor(c.editor), false);
        if (c.statement)
            EXPECT_EQ(got.value_or(u8("<nothing>")), u8(c.statement)) << c.editor;
        else
            EXPECT_FALSE(got.has_value()) << c.editor << " gave " << got->toStdString();
    }

    // A batch run takes the whole text, wherever the caret stands.
    for (const char* text : {"a1\n\n^\nb1", "^", "[a]\n\nb^"}) {
        const EditorState e = editor(text);
        EXPECT_EQ(ExtractStatement(e, true), e.text) << text;
    }
    // Positions outside the text are held inside it.
    EditorState wild = editor("select 1");
    wild.caretPosition = 999;
    wild.selectionStart = 4;
    wild.selectionLength = 999;
    EXPECT_EQ(ExtractStatement(wild, false), u8("ct 1"));
}

TEST_F(PrepareStatementTest, StatementWithoutTokensIsReadyWithoutPrompt) {
    ScriptedPrompt prompt;
    const PrepareResult r = PrepareStatement(editor("select 1\n\nselect 2^"), false, &prompt);
    EXPECT_EQ(r.outcome, PrepareOutcome::Ready);
    EXPECT_TRUE(r.ready());
    EXPECT_TRUE(r.message.isEmpty());
    EXPECT_EQ(r.panelText, u8("select 2"));
    EXPECT_EQ(appState().ExecutedSql, u8("select 2"));
    EXPECT_FALSE(appState().CancelFlag);
    EXPECT_EQ(prompt.calls, 0);
    EXPECT_TRUE(appParameterList().isEmpty());
}

TEST_F(PrepareStatementTest, AsksOnceAndSubstitutesTheAnswers) {
    ScriptedPrompt prompt;
    prompt.answer = [](ParameterList& list) {
        EXPECT_EQ(list.size(), 4);
        list[0].OperatorText = u8("like");
        list[0].EnteredText = u8("abc");
        list[1].EnteredChoices = {u8("b"), u8("a")};
        list[2].EnteredDate = QDate(2015, 8, 21);
        list[2].EnteredTime = QTime(13, 5, 9);
        list[3].EnteredDate = QDate(1999, 1, 1);  // asked, but never written
        list[3].EnteredTime = QTime(1, 1, 1);
        return true;
    };
    const char* text = "select 0\n\n"
                       "select * from Mtn_AccountBudget where "
                       "?Str_\"{'Account No'}\"|\"{'=', '>', '>=', '<=', '<', 'like'}\"?\n"
                       "  and Kind in ?SFixPickC_Kind||{a,b}?^\n"
                       "  and Stamp > ?DT_Since? and Stamp2 > ?dt_Since?";
    const PrepareResult r = PrepareStatement(editor(text), false, &prompt);
    ASSERT_EQ(r.outcome, PrepareOutcome::Ready) << r.message.toStdString();
    const QString expected = u8("select * from Mtn_AccountBudget where Account No like 'abc'\n"
                                "  and Kind in ('b','a')\n"
                                "  and Stamp > '2015-08-21 13:05:09' and Stamp2 > "
                                "'2015-08-21 13:05:09'");
    EXPECT_EQ(appState().ExecutedSql, expected);
    EXPECT_EQ(r.panelText, expected);
    EXPECT_FALSE(appState().CancelFlag);
    EXPECT_EQ(prompt.calls, 1);
    // ?DT_Since? and ?dt_Since? are two rows; the first one's value went to both.
    EXPECT_EQ(prompt.seenTokens.size(), 4);
    EXPECT_EQ(prompt.seenTokens.at(3), u8("?dt_Since?"));
    // The list stays for the rest of this preparation's readers.
    EXPECT_EQ(appParameterList().size(), 4);
}

TEST_F(PrepareStatementTest, ValuesAreNeverSearchedForTokens) {
    ScriptedPrompt prompt;
    prompt.answer = texts({"?Str_b?", "'); drop table t; --"});
    const PrepareResult r =
        PrepareStatement(editor("update t set a = ?Str_a?, b = ?Str_b?^"), false, &prompt);
    ASSERT_TRUE(r.ready());
    EXPECT_EQ(appState().ExecutedSql,
              u8("update t set a = '?Str_b?', b = '''); drop table t; --'"));
}

TEST_F(PrepareStatementTest, CancelledPromptRunsNothing) {
    ScriptedPrompt prompt;
    prompt.answer = [](ParameterList& list) {
        list[0].EnteredText = u8("typed, then cancelled");
        return false;
    };
    const PrepareResult r = PrepareStatement(editor("select ?Str_x?^"), false, &prompt);
    EXPECT_EQ(r.outcome, PrepareOutcome::Cancelled);
    EXPECT_TRUE(r.message.isEmpty());
    EXPECT_TRUE(appState().CancelFlag);
    EXPECT_TRUE(appState().ExecutedSql.isEmpty());
    // the panel keeps the extracted statement with its tokens
    EXPECT_EQ(r.panelText, u8("select ?Str_x?"));

    // Without a prompt there is nobody to confirm.
    const PrepareResult none = PrepareStatement(editor("select ?Str_x?^"), false, nullptr);
    EXPECT_EQ(none.outcome, PrepareOutcome::Cancelled);
    EXPECT_TRUE(appState().CancelFlag);

    // The next confirmed preparation clears the flag again.
    prompt.answer = texts({"v"});
    EXPECT_TRUE(PrepareStatement(editor("select ?Str_x?^"), false, &prompt).ready());
    EXPECT_FALSE(appState().CancelFlag);
}

TEST_F(PrepareStatementTest, RefusalsCarryTheirMessage) {
    const QString batchMessage =
        u8("Error - The application is being terminated because the query has a parameter.");
    ASSERT_EQ(BatchParameterMessage(), batchMessage);

    QString many = u8("select ");
    for (int i = 0; i <= ParameterList::MaxCount; ++i)
        many += QStringLiteral("?NUM_n%1? ").arg(i);

    struct Case {
        QString text;
        bool batch;
        PrepareOutcome outcome;
        QString message;
        QString panel;
    };
    const Case cases[] = {
        {u8("a\n\n\n"), false, PrepareOutcome::NothingToRun, {}, {}},
        {u8("where a = '?' and b = ?Str_x?"), false, PrepareOutcome::InvalidType,
         u8("Invalid parameter type \"' and b = ?Str\"."), u8("where a = '?' and b = ?Str_x?")},
        // the type check comes before the batch check
        {u8("select ?Foo_x?"), true, PrepareOutcome::InvalidType,
         u8("Invalid parameter type \"Foo\"."), u8("select ?Foo_x?")},
        {u8("select ?NUM_x?"), true, PrepareOutcome::BatchRefused, batchMessage,
         u8("select ?NUM_x?")},
        {u8("\n\nselect ?Str_x?\n\n"), true, PrepareOutcome::BatchRefused, batchMessage,
         u8("\n\nselect ?Str_x?\n\n")},
        {many, true, PrepareOutcome::BatchRefused, batchMessage, many},
        {many, false, PrepareOutcome::Failed, TooManyParametersMessage(), many},
    };
    for (const Case& c : cases) {
        SetUp();
        ScriptedPrompt prompt;
        EditorState e;
        e.text = c.text;
        e.caretPosition = c.text.size();
        const PrepareResult r = PrepareStatement(e, c.batch, &prompt);
        EXPECT_EQ(r.outcome, c.outcome) << c.text.left(40).toStdString();
        EXPECT_EQ(r.message, c.message) << c.text.left(40).toStdString();
        EXPECT_EQ(r.panelText, c.panel) << c.text.left(40).toStdString();
        EXPECT_FALSE(r.ready());
        EXPECT_EQ(prompt.calls, 0);
        EXPECT_TRUE(appState().ExecutedSql.isEmpty()) << c.text.left(40).toStdString();
    }

    // A batch run without parameters is ready with the whole text.
    EditorState whole;
    whole.text = u8("select 1;\n\nselect 2;");
    const PrepareResult r = PrepareStatement(whole, true, nullptr);
    EXPECT_TRUE(r.ready());
    EXPECT_EQ(appState().ExecutedSql, whole.text);
}

TEST_F(PrepareStatementTest, ErrorsWhileWritingValuesFail) {
    ScriptedPrompt unset;  // confirms without setting the date
    PrepareResult r = PrepareStatement(editor("select ?Date_d?^"), false, &unset);
    EXPECT_EQ(r.outcome, PrepareOutcome::Failed);
    EXPECT_EQ(r.message, u8("No valid date was entered for ?Date_d?."));
    EXPECT_TRUE(appState().ExecutedSql.isEmpty());
    EXPECT_EQ(r.panelText, u8("select ?Date_d?"));

    ScriptedPrompt throwing;
    throwing.answer = [](ParameterList&) -> bool { throw std::runtime_error("list failed"); };
    r = PrepareStatement(editor("select ?Str_x?^"), false, &throwing);
    EXPECT_EQ(r.outcome, PrepareOutcome::Failed);
    EXPECT_EQ(r.message, u8("list failed"));
    EXPECT_TRUE(appState().ExecutedSql.isEmpty());
}

TEST_F(PrepareStatementTest, EveryPreparationStartsFromAnEmptyList) {
    ScriptedPrompt prompt;
    prompt.answer = texts({"1", "2"});
    ASSERT_TRUE(PrepareStatement(editor("select ?NUM_a?, ?NUM_b?^"), false, &prompt).ready());
    EXPECT_EQ(appParameterList().size(), 2);

    const PrepareResult r = PrepareStatement(editor("select 3^"), false, &prompt);
    EXPECT_TRUE(r.ready());
    EXPECT_TRUE(appParameterList().isEmpty());
    EXPECT_EQ(prompt.calls, 1);

    // Nothing to run still empties what the last run left.
    appState().ExecutedSql = u8("select 'stale'");
    ASSERT_TRUE(PrepareStatement(editor("select ?NUM_a?, ?NUM_b?^"), false, &prompt).ready());
    EXPECT_EQ(PrepareStatement(editor("a\n\n^"), false, &prompt).outcome,
              PrepareOutcome::NothingToRun);
    EXPECT_TRUE(appParameterList().isEmpty());
    EXPECT_TRUE(appState().ExecutedSql.isEmpty());
}

TEST(SplitEditorLines, DropsOnlyTheEmptyLineAfterAFinalBreak) {
    const std::pair<const char*, QStringList> cases[] = {
        {"", {}},
        {"\n", {u8("")}},
        {"a", {u8("a")}},
        {"a\n", {u8("a")}},
        {"a\n\n", {u8("a"), u8("")}},
        {"a\n\nb", {u8("a"), u8(""), u8("b")}},
        {" ", {u8(" ")}},
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(SplitEditorLines(u8(text)), lines) << text;
}
