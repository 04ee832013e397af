#include "params/ParamError.h"
#include "params/ParameterScan.h"
#include "params/Substitution.h"

#include <QLocale>
#include "PrintQt.h"

#include <gtest/gtest.h>

#include <functional>
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

QueryParameter record(ParamType kind) {
    QueryParameter p;
    p.Kind = kind;
    p.TypeText = ParamTypeWord(kind);
    p.NameText = u8("x");
    ResolveNameParts(p);
    return p;
}

// Keeps the default locale for one test.
struct LocaleGuard {
    QLocale saved;
    ~LocaleGuard() { QLocale::setDefault(saved); }
};

}  // namespace

TEST(QuoteSql, DoublesEverySingleQuote) {
    const std::pair<const char*, const char*> cases[] = {
        {"O'Brien", "'O''Brien'"}, {"", "''"},        {"'", "''''"},
        {"''", "''''''"},          {"a'b'c", "'a''b''c'"}, {"plain \"text\"", "'plain \"text\"'"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(QuoteSql(u8(in)), u8(out)) << in;
}

// Where the server reads a backslash as an escape, a backslash is doubled as well, so
// neither a backslash before a quote nor one at the end can close the literal early.
TEST(QuoteSql, DoublesBackslashesWhereTheServerEscapesWithThem) {
    using enum vnk::StringLiteralRule;
    struct Case {
        const char* in;
        const char* standard;
        const char* escapes;
        const char* escapeString;
    } cases[] = {
        {R"(O'Brien)", R"('O''Brien')", R"('O''Brien')", R"(E'O''Brien')"},
        {"", "''", "''", "E''"},
        {R"(C:\temp\)", R"('C:\temp\')", R"('C:\\temp\\')", R"(E'C:\\temp\\')"},
        {R"(\' or 1=1 -- )", R"('\'' or 1=1 -- ')", R"('\\'' or 1=1 -- ')",
         R"(E'\\'' or 1=1 -- ')"},
        {R"(\\'')", R"('\\''''')", R"('\\\\''''')", R"(E'\\\\''''')"},
        {"a\tb\"\\0", "'a\tb\"\\0'", "'a\tb\"\\\\0'", "E'a\tb\"\\\\0'"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QuoteSql(u8(c.in), Standard), u8(c.standard)) << c.in;
        EXPECT_EQ(QuoteSql(u8(c.in), BackslashEscapes), u8(c.escapes)) << c.in;
        EXPECT_EQ(QuoteSql(u8(c.in), EscapeString), u8(c.escapeString)) << c.in;
    }
}

// Every quoted value, the checked list's too, follows the rule of the open connection;
// N and V values stay as entered.
TEST(FormatValue, QuotesByTheConnectionsRule) {
    struct RuleGuard {
        ~RuleGuard() { vnk::setConnectionLiteralRule(vnk::StringLiteralRule::Standard); }
    } guard;
    using enum ParamType;
    vnk::setConnectionLiteralRule(vnk::StringLiteralRule::BackslashEscapes);
    QueryParameter str = record(Str);
    str.EnteredText = u8(R"(x\)");
    EXPECT_EQ(FormatValue(str), u8(R"('x\\')"));
    QueryParameter pick = record(SSqlPickW);
    pick.EnteredText = u8(R"(x\)");
    EXPECT_EQ(FormatValue(pick), u8(R"('x\\')"));
    QueryParameter checks = record(SFixPickC);
    checks.EnteredChoices = list({R"(a\)", "b'"});
    EXPECT_EQ(FormatValue(checks), u8(R"(('a\\','b'''))"));
    QueryParameter lines = record(SList);
    lines.EnteredLines = list({R"(\)"});
    EXPECT_EQ(FormatValue(lines), u8(R"(('\\'))"));
    QueryParameter verbatim = record(VFixPickR);
    verbatim.EnteredText = u8(R"(a\')");
    EXPECT_EQ(FormatValue(verbatim), u8(R"(a\')"));

    vnk::setConnectionLiteralRule(vnk::StringLiteralRule::EscapeString);
    EXPECT_EQ(FormatValue(str), u8(R"(E'x\\')"));
    vnk::setConnectionLiteralRule(vnk::StringLiteralRule::Standard);
    EXPECT_EQ(FormatValue(str), u8(R"('x\')"));
}

TEST(FormatValue, WritesEachTypeInItsForm) {
    using enum ParamType;
    struct Case {
        ParamType kind;
        std::function<void(QueryParameter&)> enter;
        const char* written;
    };
    auto text = [](const char* t) { return [t](QueryParameter& p) { p.EnteredText = u8(t); }; };
    auto lines = [](QStringList l) { return [l](QueryParameter& p) { p.EnteredLines = l; }; };
    auto choices = [](QStringList l) { return [l](QueryParameter& p) { p.EnteredChoices = l; }; };
    auto when = [](QDate d, QTime t) {
        return [d, t](QueryParameter& p) {
            p.EnteredDate = d;
            p.EnteredTime = t;
        };
    };
    const QDate aug21(2015, 8, 21);
    const QTime t130509(13, 5, 9);
    const Case cases[] = {
        {Str, text("O'Brien"), "'O''Brien'"},
        {Str, text(""), "''"},
        {Str, text("  kept as typed  "), "'  kept as typed  '"},
        {Pwd, text("p'w d"), "'p''w d'"},
        {Text, text("first line\nit's second\n"), "'first line\nit''s second\n'"},
        {NUM, text(" \t42 \r\n"), "42"},
        {NUM, text("-3.5"), "-3.5"},
        {Date, when(aug21, {}), "'2015-08-21'"},
        {Date, when(QDate(5, 1, 2), {}), "'0005-01-02'"},
        {Time, when({}, t130509), "'13:05:09'"},
        {Time, when({}, QTime(0, 0, 1)), "'00:00:01'"},
        {Time, when({}, QTime(23, 59, 59, 999)), "'23:59:59'"},
        {DT, when(aug21, t130509), "'2015-08-21 13:05:09'"},
        // N and V single picks: as entered, neither trimmed nor quoted
        {NFixPickR, text(" 7 "), " 7 "},
        {NFixPickW, text("12"), "12"},
        {NSqlPickR, text("3"), "3"},
        {NSqlPickW, text(""), ""},
        {VFixPickR, text("col1, col2"), "col1, col2"},
        {VSqlPickR, text("order by name"), "order by name"},
        {SFixPickR, text("O'Q"), "'O''Q'"},
        {SFixPickW, text(""), "''"},
        {SSqlPickR, text("abc"), "'abc'"},
        {SSqlPickW, text("typed 'x'"), "'typed ''x'''"},
        {NFixPickC, choices(list({"1", "2"})), "(1,2)"},
        {NSqlPickC, choices({}), "()"},
        // in the order ticked; every value its own literal, even holding quotes or commas
        {SFixPickC, choices(list({"b", "a"})), "('b','a')"},
        {SFixPickC, choices({}), "()"},
        {SSqlPickC, choices(list({"O'Brien", "Smith, John"})), "('O''Brien','Smith, John')"},
        {VFixPickC, choices(list({"OQ", "PR"})), "OQ,PR"},
        {VSqlPickC, choices({}), ""},
        {SList, lines(list({"a", "", "b"})), "('a','','b')"},
        {SList, lines({}), "('')"},
        {SList, lines(list({"it's", " padded "})), "('it''s',' padded ')"},
        {NList, lines(list({"1", " \t", "2"})), "(1,2)"},
        {NList, lines(list({" 3 ", "4"})), "(3,4)"},
        {NList, lines({}), "()"},
        {NList, lines(list({"", "  "})), "()"},
    };
    std::set<ParamType> covered;
    for (const Case& c : cases) {
        QueryParameter p = record(c.kind);
        c.enter(p);
        EXPECT_EQ(FormatValue(p), u8(c.written)) << p.TypeText.toStdString();
        covered.insert(c.kind);
    }
    EXPECT_EQ(covered.size(), 25u);
}

TEST(FormatValue, DatesAndTimesIgnoreTheLocale) {
    LocaleGuard guard;
    for (const QLocale& locale : {QLocale(QLocale::Arabic, QLocale::Egypt),
                                  QLocale(QLocale::Finnish, QLocale::Finland),
                                  QLocale(QLocale::English, QLocale::UnitedStates)}) {
        QLocale::setDefault(locale);
        QueryParameter p = record(ParamType::DT);
        p.EnteredDate = QDate(2015, 8, 21);
        p.EnteredTime = QTime(13, 5, 9);
        EXPECT_EQ(FormatValue(p), u8("'2015-08-21 13:05:09'")) << locale.name().toStdString();
    }
}

TEST(FormatValue, MissingDateOrTimeIsAnError) {
    for (ParamType kind : {ParamType::Date, ParamType::Time, ParamType::DT}) {
        QueryParameter p = record(kind);
        if (kind == ParamType::DT)
            p.EnteredDate = QDate(2015, 8, 21);  // time missing
        try {
            FormatValue(p);
            ADD_FAILURE() << p.TypeText.toStdString();
        } catch (const ParamError& e) {
            EXPECT_EQ(e.reason(), ParamError::Reason::InvalidValue);
            EXPECT_TRUE(e.message().contains(p.tokenText())) << e.message().toStdString();
        }
    }
}

TEST(ReplacementText, PutsReturnedPartsBeforeTheValue) {
    struct Case {
        const char* token;
        const char* field;     // chosen field (Choice), nullptr: keep
        const char* op;        // chosen operator (Choice), nullptr: keep
        const char* entered;
        const char* replacement;
    };
    const Case cases[] = {
        {"?Str_\"{'Account No'}\"|\"{'=', '>', '>=', '<=', '<', 'like'}\"?", nullptr, "like",
         "abc", "Account No like 'abc'"},
        {"?Str_{'OQ'}|{'=','<>'}?", nullptr, nullptr, "v", "OQ = 'v'"},
        {"?Str_{'a','b'}|{'<>'}?", "b", nullptr, "v", "b <> 'v'"},
        {"?NUM_{'BudgetYear'}?", nullptr, nullptr, " 2015 ", "BudgetYear 2015"},
        {"?Str_\"Budget Year\"?", nullptr, nullptr, "v", "'v'"},
        {"?Str_Account|{'='}?", nullptr, nullptr, "v", "= 'v'"},
        {"?Str_{'a'}|?", nullptr, nullptr, "v", "a 'v'"},
        {"?Str_Account|=?", nullptr, nullptr, "v", "'v'"},
        {"?Str_?", nullptr, nullptr, "v", "'v'"},
        {"?SSqlPickR_\"Account No:\"||\"{select AccountNo from Mtn_Account}\"?", nullptr, nullptr,
         "A1", "'A1'"},
        {"?VFixPickR_\"{'order by'}\"||{name,id}?", nullptr, nullptr, "name", "order by name"},
    };
    for (const Case& c : cases) {
        ParameterList found = ScanParameters(u8(c.token));
        ASSERT_EQ(found.size(), 1) << c.token;
        QueryParameter& p = found[0];
        if (c.field)
            p.FieldText = u8(c.field);
        if (c.op)
            p.OperatorText = u8(c.op);
        p.EnteredText = u8(c.entered);
        EXPECT_EQ(ReplacementText(p), u8(c.replacement)) << c.token;
    }
}

TEST(SubstituteParameters, ReplacesEveryScannedTokenOnce) {
    struct Case {
        const char* statement;
        std::vector<const char*> values;  // EnteredText of the records, in list order
        const char* result;
    };
    const Case cases[] = {
        {"select 1 where a = ? or b = ?", {}, "select 1 where a = ? or b = ?"},
        {"where a = ?Str_x? or b = ?Str_x?", {"v"}, "where a = 'v' or b = 'v'"},
        // case variants: two records, the first one's value goes everywhere
        {"where a = ?Str_x? or b = ?STR_x? or c = ?str_X?", {"first", "second", "third"},
         "where a = 'first' or b = 'first' or c = 'first'"},
        // tokens in literals and comments are replaced too: the scan ignores SQL syntax
        {"select '?Str_x?' -- ?NUM_n?", {"v", "7"}, "select ''v'' -- 7"},
        {"?NUM_a??NUM_b?", {"1", "2"}, "12"},
        {"in (?NUM_a?,?NUM_b?)\n  and ?Text_t?", {"1", "2", "l1\nl2"}, "in (1,2)\n  and 'l1\nl2'"},
        // a value holding a later token, or its own, is not searched again
        {"a = ?Str_x? and b = ?Str_y?", {"?Str_y?", "B"}, "a = '?Str_y?' and b = 'B'"},
        {"a = ?Str_x? and b = ?NUM_y?", {"?Str_x? ?NUM_y?", "1"},
         "a = '?Str_x? ?NUM_y?' and b = 1"},
        {"a = ?Str_y? and b = ?Str_x?", {"B", "?Str_y?"}, "a = 'B' and b = '?Str_y?'"},
        // an injection attempt stays inside its literal
        {"where name = ?Str_n?", {"x' or '1'='1"}, "where name = 'x'' or ''1''=''1'"},
        {"where a = ?Str_x? and b = ?Str_y?", {"?Str_y?", "') or 1=1 --"},
         "where a = '?Str_y?' and b = ''') or 1=1 --'"},
        // the "?" that closes one token cannot open a token the scan did not see
        {"?Str_b? x ?Str_a?Str_b?", {"B", "A"}, "'B' x 'A'Str_b?"},
    };
    for (const Case& c : cases) {
        ParameterList found = ScanParameters(u8(c.statement));
        ASSERT_EQ(found.size(), static_cast<int>(c.values.size())) << c.statement;
        for (int i = 0; i < found.size(); ++i)
            found[i].EnteredText = u8(c.values[static_cast<std::size_t>(i)]);
        EXPECT_EQ(SubstituteParameters(u8(c.statement), found), u8(c.result)) << c.statement;
    }
}

TEST(SubstituteParameters, FormatsEveryRecordBeforeReplacing) {
    // The second case variant is never written, yet its broken value still fails.
    ParameterList found = ScanParameters(u8("?Date_d? ?DATE_d?"));
    ASSERT_EQ(found.size(), 2);
    found[0].EnteredDate = QDate(2020, 1, 2);
    EXPECT_THROW(SubstituteParameters(u8("?Date_d? ?DATE_d?"), found), ParamError);
    found[1].EnteredDate = QDate(1999, 1, 1);
    EXPECT_EQ(SubstituteParameters(u8("?Date_d? ?DATE_d?"), found),
              u8("'2020-01-02' '2020-01-02'"));
}
