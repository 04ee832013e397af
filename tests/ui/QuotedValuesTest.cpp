// Quoted parameter values reach the database as exactly the text typed, whatever the server
// makes of a backslash in a string literal: each hostile value comes back as one row holding
// it, through "&Execute" of the main window on the program's own connection.

#include "MainWindowHarness.h"
#include "db/DataModule.h"
#include "params/PrepareStatement.h"
#include "params/Substitution.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <ostream>

// Readable failure output for texts and rows.
static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace vnk::test {
namespace {

struct Server {
    const char* name;
    enum { Sqlite, Postgres, Mariadb } kind;
    const char* settings;  // appended to the server's connection string
    StringLiteralRule rule;
    const char* quoted;  // how C:\it's\ is written into the statement
};

void PrintTo(const Server& s, std::ostream* os) {
    *os << s.name;
}

const Server kServers[] = {
    {"Sqlite", Server::Sqlite, "", StringLiteralRule::Standard, R"('C:\it''s\')"},
    {"PostgresStandard", Server::Postgres, "", StringLiteralRule::Standard, R"('C:\it''s\')"},
    // psqlODBC runs ConnSettings right after connecting.
    {"PostgresBackslashEscapes", Server::Postgres,
     ";ConnSettings={SET standard_conforming_strings=off}", StringLiteralRule::EscapeString,
     R"(E'C:\\it''s\\')"},
    {"MariadbDefault", Server::Mariadb, "", StringLiteralRule::BackslashEscapes,
     R"('C:\\it''s\\')"},
    // MariaDB Connector/ODBC runs InitStmt right after connecting.
    {"MariadbNoBackslashEscapes", Server::Mariadb,
     ";InitStmt={SET SESSION sql_mode=CONCAT(@@SESSION.sql_mode, ',NO_BACKSLASH_ESCAPES')}",
     StringLiteralRule::Standard, R"('C:\it''s\')"},
};

// Texts that break out of a literal quoted by doubling single quotes alone, on a server
// where a backslash escapes, and texts that must stay as typed everywhere.
const QString kHostile[] = {
    QStringLiteral("O'Brien"),
    QStringLiteral("C:\\temp\\"),
    QStringLiteral("\\"),
    QStringLiteral("\\' UNION SELECT CHAR(80,87,78) -- "),
    QStringLiteral("\\' UNION SELECT chr(80)||chr(87)||chr(78) -- "),
    QStringLiteral("a\\\\'b''c\\'"),
    QStringLiteral("\\n\\t\\0\\Z\\%\\_\\x41"),
    QStringLiteral("bell\x07 escape\x1b tab\t line\nend"),
    QStringLiteral("?Str_v?"),
    QStringLiteral("\\?Str_v?'"),
    QString::fromUtf8("\xc3\x84\xd0\x96\\"),
    QString(),
};

// Answers the prompt: every Str and SList record with the value, the C pick with the value
// and one other choice.
class HostilePrompt : public params::ParameterPrompt {
public:
    QString value;
    bool ask(params::ParameterList& parameters) override {
        for (int i = 0; i < parameters.size(); ++i) {
            params::QueryParameter& p = parameters[i];
            p.EnteredText = value;
            p.EnteredLines = QStringList{value};
            p.EnteredChoices = QStringList{value, QStringLiteral("other")};
        }
        return true;
    }
};

class QuotedValues : public MainWindowTest, public ::testing::WithParamInterface<Server> {
public:
    void SetUp() override {
        MainWindowTest::SetUp();
        const Server& s = GetParam();
        QString conn;
        if (s.kind == Server::Sqlite) {
            const QString file = env.path() + QStringLiteral("/quoted.sqlite");
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.close();
            conn = QStringLiteral("Provider=SQLite;Data Source=") + file;
        } else {
            conn = s.kind == Server::Postgres ? postgresConnectionString()
                                              : mariadbConnectionString();
            if (conn.isEmpty())
                GTEST_SKIP() << "\n*** no " << s.name << " test server: NOT tested. ***";
            conn += QString::fromUtf8(s.settings);
        }
        option(opt::LastConnection, QStringLiteral("Quoted.txt"));
        option(opt::LastConnString, conn);
        start();
        ASSERT_TRUE(db::dm1().ADOConn1.isOpen()) << prompter.messages().join(u'|').toStdString();
        window->setParameterPrompt(&prompt);
    }
    void TearDown() override {
        if (window)
            window->setParameterPrompt(nullptr);
        window.reset();
        db::dm1().ADOQry1.close();
        db::dm1().ADOConn1.close();
        MainWindowTest::TearDown();
    }

    // Runs the statement through "&Execute" and returns the held rows' first column.
    QStringList run(const QString& text) {
        window->editor()->setPlainText(text);
        QTextCursor c = window->editor()->textCursor();
        c.movePosition(QTextCursor::End);
        window->editor()->setTextCursor(c);
        prompter.confirmAnswers.push_back(ui::Answer::Yes);
        child<QToolButton>("tbExecToScreen")->click();
        QStringList rows;
        if (const db::ResultSet* r = db::dm1().ADOQry1.result()) {
            for (std::int64_t i = 0; i < r->recordCount(); ++i)
                rows.append(r->value(i, 0).toString());
        }
        return rows;
    }

    HostilePrompt prompt;
};

TEST_P(QuotedValues, ServerRuleIsAskedOnOpenAndDroppedOnClose) {
    EXPECT_EQ(connectionLiteralRule(), GetParam().rule);
    EXPECT_EQ(db::dm1().ADOConn1.stringLiteralRule(), GetParam().rule);
    db::dm1().ADOConn1.close();
    EXPECT_EQ(connectionLiteralRule(), StringLiteralRule::Standard);
}

TEST_P(QuotedValues, EachHostileTextComesBackAsOneRowHoldingIt) {
    const QString statements[] = {
        // a text value alone: a value that leaves its literal adds a row or fails
        QStringLiteral("select ?Str_v? as v"),
        // the same as an item of the multiple-choice list and as a line of a text list
        QStringLiteral("select v from (select ?Str_v? as v) t\n"
                       "where v in ?SFixPickC_c||{a}? and v in ?SList_l?"),
    };
    for (const QString& statement : statements) {
        for (const QString& value : kHostile) {
            prompt.value = value;
            const QStringList rows = run(statement);
            const std::string sent = appState().ExecutedSql.toStdString();
            EXPECT_TRUE(prompter.messages().isEmpty())
                << value.toStdString() << " gave: "
                << prompter.messages().join(u'|').toStdString() << "\n"
                << sent;
            prompter.asked.clear();
            EXPECT_EQ(rows.size(), 1) << sent;
            EXPECT_EQ(rows.value(0).toStdString(), value.toStdString()) << sent;
        }
    }
}

// Only a server that reads backslashes as escapes gets them doubled: on the others the
// statement is exactly what it always was, quotes doubled and nothing else touched.
TEST_P(QuotedValues, StatementFollowsTheServersRule) {
    prompt.value = QStringLiteral("C:\\it's\\");
    const QStringList rows = run(QStringLiteral("select ?Str_v? as v"));
    EXPECT_EQ(appState().ExecutedSql.toStdString(),
              "select " + std::string(GetParam().quoted) + " as v");
    EXPECT_EQ(rows, QStringList{prompt.value});
}

INSTANTIATE_TEST_SUITE_P(Servers, QuotedValues, ::testing::ValuesIn(kServers),
                         [](const ::testing::TestParamInfo<Server>& server) {
                             return std::string(server.param.name);
                         });

}  // namespace
}  // namespace vnk::test
