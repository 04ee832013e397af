// "&Execute" from the main window against real databases: the confirmation, statement
// picking, parameters, the status bar, the executed-SQL panel and the held result.

#include "MainWindowHarness.h"
#include "db/DataModule.h"
#include "params/PrepareStatement.h"

#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <ostream>

// Readable failure output for texts.
static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace vnk::test {
namespace {

// Answers the parameter prompt with fixed texts, one per record in list order.
class FillingPrompt : public params::ParameterPrompt {
public:
    explicit FillingPrompt(QStringList values) : values_(std::move(values)) {}
    bool ask(params::ParameterList& parameters) override {
        ++asks;
        for (int i = 0; i < parameters.size(); ++i)
            parameters[i].EnteredText = values_.value(i);
        return true;
    }
    int asks = 0;

private:
    QStringList values_;
};

enum class Backend { Sqlite, Postgres };

std::string backendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Sqlite ? "Sqlite" : "Postgres";
}

// Statements both databases run as written.
const QString kRows250 = QStringLiteral(
    "with recursive n(id) as (select 1 union all select id + 1 from n where id < 250)\n"
    "select id, 'Name ' || id as name from n");
const QString kError = QStringLiteral("selec id frm nowhere");

const QString kErrorHead = QStringLiteral("\n\n[ Query executed with error: ]\n[ ");

class ExecuteTest : public MainWindowTest, public ::testing::WithParamInterface<Backend> {
public:
    void SetUp() override {
        MainWindowTest::SetUp();
        QString conn;
        if (GetParam() == Backend::Postgres) {
            conn = postgresConnectionString();
            if (conn.isEmpty())
                GTEST_SKIP() << "no PostgreSQL test server (VARNOCK_TEST_PG is empty)";
        } else {
            const QString file = env.path() + QStringLiteral("/exec.sqlite");
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.close();
            conn = QStringLiteral("Provider=SQLite;Data Source=") + file;
        }
        option(opt::LastConnection, QStringLiteral("Exec.txt"));
        option(opt::LastConnString, conn);
        start();
        ASSERT_TRUE(db::dm1().ADOConn1.isOpen());
        ASSERT_TRUE(prompter.asked.empty());
    }
    void TearDown() override {
        window.reset();
        db::dm1().ADOQry1.close();
        db::dm1().ADOConn1.close();
        MainWindowTest::TearDown();
    }

    QPlainTextEdit* editor() const { return window->editor(); }
    QString panel() const { return window->executedSqlPanel()->toPlainText(); }
    QString status(int n) const { return window->statusText(n); }
    const db::ResultSet* result() const { return db::dm1().ADOQry1.result(); }
    int gridRows() const { return window->resultGrid()->model()->rowCount(); }
    QString cell(int row, int col) const {
        const QAbstractItemModel* m = window->resultGrid()->model();
        return m->data(m->index(row, col)).toString();
    }

    // Types the text with the caret at its end and presses "&Execute", answering Yes.
    void run(const QString& text, ui::Answer answer = ui::Answer::Yes) {
        editor()->setPlainText(text);
        QTextCursor c = editor()->textCursor();
        c.movePosition(QTextCursor::End);
        editor()->setTextCursor(c);
        press(answer);
    }
    void press(ui::Answer answer = ui::Answer::Yes) {
        prompter.confirmAnswers.push_back(answer);
        child<QToolButton>("tbExecToScreen")->click();
        EXPECT_TRUE(prompter.confirmAnswers.empty()) << "not asked to confirm";
    }
};

TEST_P(ExecuteTest, BlankEditorAsksAndRunsNothing) {
    window->setStatusText(4, QStringLiteral("before"));
    editor()->setPlainText(QStringLiteral("  \n\t\n \r\n"));
    child<QToolButton>("tbExecToScreen")->click();
    EXPECT_TRUE(prompter.asked.empty());
    EXPECT_EQ(status(4), QStringLiteral("before"));
    EXPECT_FALSE(db::dm1().ADOQry1.active());
}

TEST_P(ExecuteTest, RowsThenNoLeavesEverythingAsItWas) {
    run(kRows250);
    ASSERT_EQ(prompter.count(QStringLiteral("confirm")), 1);
    EXPECT_EQ(prompter.asked.front().text, QStringLiteral("Confirm to execute?"));
    EXPECT_TRUE(prompter.messages().isEmpty()) << prompter.messages().join(u'|').toStdString();
    EXPECT_EQ(status(1), QStringLiteral("Row 1 of 250"));
    EXPECT_EQ(status(4), QStringLiteral("Query executed successfully"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$"))
                    .match(status(3))
                    .hasMatch())
        << status(3).toStdString();
    EXPECT_EQ(panel(), kRows250);
    EXPECT_EQ(appState().ExecutedSql, kRows250);
    EXPECT_EQ(appState().ResultRowCount, 250);
    ASSERT_NE(result(), nullptr);
    EXPECT_EQ(result()->recordCount(), 250);
    EXPECT_EQ(result()->fieldCount(), 2);
    EXPECT_EQ(gridRows(), 250);
    EXPECT_EQ(cell(249, 1), QStringLiteral("Name 250"));

    // The grid's row counter writes panel 1.
    QTest::keyClick(window->resultGrid(), Qt::Key_Down);
    EXPECT_EQ(status(1), QStringLiteral("Row 2 of 250"));

    const db::ResultSet* held = result();
    const QString time = status(3);
    run(QStringLiteral("select 1 as one"), ui::Answer::No);
    EXPECT_EQ(panel(), kRows250);
    EXPECT_EQ(status(1), QStringLiteral("Row 2 of 250"));
    EXPECT_EQ(status(3), time);
    EXPECT_EQ(gridRows(), 250);
    EXPECT_EQ(status(4), QStringLiteral("Query executed successfully"));
    EXPECT_EQ(result(), held);
    EXPECT_TRUE(appState().ExecutedSql.isEmpty());
}

TEST_P(ExecuteTest, StatementsWithoutRowsSucceedSilently) {
    run(QStringLiteral("create temporary table exec_log (id integer)"));
    EXPECT_EQ(status(1), QStringLiteral("No row returned"));
    EXPECT_EQ(status(4), QStringLiteral("Query executed successfully"));
    run(QStringLiteral("insert into exec_log values (7)"));
    EXPECT_EQ(status(1), QStringLiteral("No row returned"));
    EXPECT_EQ(gridRows(), 0);
    EXPECT_EQ(status(4), QStringLiteral("Query executed successfully"));
    EXPECT_FALSE(db::dm1().ADOQry1.active());
    EXPECT_EQ(panel(), QStringLiteral("insert into exec_log values (7)"));
    EXPECT_TRUE(prompter.messages().isEmpty()) << prompter.messages().join(u'|').toStdString();

    // An empty result set is a result too.
    run(QStringLiteral("select id from exec_log where id < 0"));
    EXPECT_EQ(status(1), QStringLiteral("No row returned"));
    EXPECT_EQ(status(4), QStringLiteral("Query executed successfully"));
    ASSERT_NE(result(), nullptr);
    EXPECT_EQ(appState().ResultRowCount, 0);

    run(QStringLiteral("select id from exec_log"));
    EXPECT_EQ(status(1), QStringLiteral("Row 1 of 1"));
    EXPECT_EQ(cell(0, 0), QStringLiteral("7"));
    EXPECT_TRUE(prompter.messages().isEmpty());
}

TEST_P(ExecuteTest, SyntaxErrorIsReportedOnceAndAppendedToThePanel) {
    run(kRows250);
    ASSERT_TRUE(db::dm1().ADOQry1.active());

    run(kError);
    const QStringList messages = prompter.messages();
    ASSERT_EQ(messages.size(), 1);
    const QString m = messages.front();
    EXPECT_TRUE(m.contains(QStringLiteral("syntax error"), Qt::CaseInsensitive)) << m.toStdString();
    EXPECT_EQ(status(1), QStringLiteral("No row returned"));
    EXPECT_EQ(status(3), QString());  // the open failed before any time was taken
    EXPECT_EQ(status(4), QStringLiteral("Query executed with error"));
    EXPECT_FALSE(db::dm1().ADOQry1.active());
    EXPECT_EQ(gridRows(), 0);
    EXPECT_EQ(window->resultGrid()->result(), nullptr);
    QString provider = m;
    provider.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(panel(), kError + kErrorHead + provider + QStringLiteral(" ]"));
    // Each CR LF of the panel is one paragraph break.
    EXPECT_EQ(window->executedSqlPanel()->document()->blockCount(), 4 + provider.count(u'\n'));

    // The next run starts the panel again, before any new error is appended.
    run(QStringLiteral("select 1 as one"));
    EXPECT_EQ(panel(), QStringLiteral("select 1 as one"));
    EXPECT_EQ(status(4), QStringLiteral("Query executed successfully"));
    run(QStringLiteral("select 1 as one\nfrm"));
    EXPECT_TRUE(panel().startsWith(QStringLiteral("select 1 as one\nfrm") + kErrorHead));
    EXPECT_EQ(panel().count(QStringLiteral("[ Query executed with error: ]")), 1);
    EXPECT_EQ(prompter.messages().size(), 2);
}

TEST_P(ExecuteTest, SelectionOrBlockAroundTheCaret) {
    const QString text = QStringLiteral("select 1 as a, 5 as c\n\nselect 2 as b\nunion all select 3");
    editor()->setPlainText(text);
    QTextCursor c = editor()->textCursor();
    c.setPosition(int(text.indexOf(u'2')));
    editor()->setTextCursor(c);
    press();
    EXPECT_EQ(panel(), QStringLiteral("select 2 as b\nunion all select 3"));
    EXPECT_EQ(status(1), QStringLiteral("Row 1 of 2"));

    // A selection wins over the block around the caret.
    c.setPosition(0);
    c.setPosition(13, QTextCursor::KeepAnchor);
    editor()->setTextCursor(c);
    press();
    EXPECT_EQ(panel(), QStringLiteral("select 1 as a"));
    EXPECT_EQ(status(1), QStringLiteral("Row 1 of 1"));
    ASSERT_NE(result(), nullptr);
    EXPECT_EQ(result()->fieldCount(), 1);
    EXPECT_EQ(editor()->toPlainText(), text);  // the editor itself never changes
    EXPECT_EQ(editor()->textCursor().selectedText(), QStringLiteral("select 1 as a"));
}

TEST_P(ExecuteTest, ParametersAreAskedAndSubstituted) {
    const QString text = QStringLiteral("select ?Str_x? as v, ?str_X? as w");

    // Without a prompt installed nothing runs and nothing is said.
    window->setParameterPrompt(nullptr);
    run(text);
    EXPECT_EQ(panel(), text);
    EXPECT_TRUE(appState().ExecutedSql.isEmpty());
    EXPECT_TRUE(status(4).isEmpty());
    EXPECT_FALSE(db::dm1().ADOQry1.active());
    EXPECT_TRUE(prompter.messages().isEmpty());

    FillingPrompt answers({QStringLiteral("O'Brien"), QStringLiteral("unused")});
    window->setParameterPrompt(&answers);
    run(text);
    EXPECT_EQ(answers.asks, 1);
    const QString sent = QStringLiteral("select 'O''Brien' as v, 'O''Brien' as w");
    EXPECT_EQ(panel(), sent);
    EXPECT_EQ(appState().ExecutedSql, sent);
    EXPECT_EQ(status(1), QStringLiteral("Row 1 of 1"));
    ASSERT_NE(result(), nullptr);
    EXPECT_EQ(cell(0, 0), QStringLiteral("O'Brien"));
    EXPECT_EQ(cell(0, 1), QStringLiteral("O'Brien"));

    // An unknown type word: its message in a message box, nothing run.
    run(QStringLiteral("select ?Foo_x? as v"));
    ASSERT_EQ(prompter.messages().size(), 1);
    EXPECT_TRUE(prompter.messages().front().startsWith(QStringLiteral("Invalid parameter type")))
        << prompter.messages().front().toStdString();
    EXPECT_EQ(answers.asks, 1);
    EXPECT_TRUE(appState().ExecutedSql.isEmpty());
    window->setParameterPrompt(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Databases, ExecuteTest,
                         ::testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace vnk::test
