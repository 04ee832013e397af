#include "ConnectFixture.h"
#include "app/ui/TQueryExport.h"
#include "db/ConnectionFile.h"
#include "db/DbError.h"
#include "db/ui/Connecting.h"
#include "db/ui/TIBSelectDb.h"
#include "share/ErrorReport.h"
#include "share/Settings.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <atomic>
#include <chrono>
#include <thread>

using namespace vnk;
using vnk::ui::Answer;
using vnk::ui::LoginReply;

namespace {

QByteArray udlBytes(const QString& connString) {
    // As the Windows data-link editor writes it: UTF-16LE with byte-order mark, CR LF.
    const QString text = QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB "
                                        "initstring\r\n") +
                         connString + QStringLiteral("\r\n");
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

QString lastConnection() {
    return ReadSetting(key::Options, QStringLiteral("LastConnection"));
}
QString lastConnString() {
    return ReadSetting(key::Options, QStringLiteral("LastConnString"));
}

}  // namespace

TEST(RunWithEvents, DisablesWhileRunningKeepsEventsFlowingAndRethrows) {
    QWidget w;
    std::atomic<bool> sawDisabled{false};
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        sawDisabled = sawDisabled || !w.isEnabled();
    });
    ticker.start(5);

    ui::runWithEvents(&w, [] { std::this_thread::sleep_for(std::chrono::milliseconds(150)); });
    EXPECT_TRUE(w.isEnabled());
    EXPECT_TRUE(sawDisabled.load());
    EXPECT_GT(ticks, 3);  // the window loop ran while the call blocked

    try {
        ui::runWithEvents(&w, [] { throw db::DbError(QStringLiteral("provider said no")); });
        ADD_FAILURE() << "no exception";
    } catch (const db::DbError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("provider said no"));
    }
    EXPECT_TRUE(w.isEnabled());

    // A widget disabled by its owner stays disabled.
    w.setEnabled(false);
    ui::runWithEvents(&w, [] {});
    EXPECT_FALSE(w.isEnabled());
    ui::runWithEvents(nullptr, [] {});
}

class DialogConnect : public test::ConnectFixture {
protected:
    std::unique_ptr<ui::TQueryExport> main;
    ui::TIBSelectDb* dialog = nullptr;

    void SetUp() override {
        test::ConnectFixture::SetUp();
        main = std::make_unique<ui::TQueryExport>();
        dialog = main->connectionDialog();
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override {
        main.reset();
        test::ConnectFixture::TearDown();
    }
    // Selects the entry through the dialog's own selection rule.
    void select(const QString& name) {
        dialog->nameBox()->setText(name);
        dialog->fnRefresh();
        ASSERT_EQ(dialog->fileList()->selectedItems().size(), 1);
        ASSERT_EQ(dialog->fileList()->selectedItems().first()->text(), name);
    }
    QString connStringLabel() const {
        auto* l = main->findChild<QLabel*>(QStringLiteral("lblConnString"));
        return l ? l->text() : QStringLiteral("<no label>");
    }
};

TEST_F(DialogConnect, DataLinkFileConnectsAndIsRemembered) {
    const QString conn = makeSqliteDatabase();
    writeConFile(QStringLiteral("Demo.udl"), udlBytes(conn));
    main->setConnStringLabel(QStringLiteral("Connection String:   old"));
    select(QStringLiteral("Demo.udl"));

    EXPECT_EQ(dialog->fnDBConnect(), 1);
    EXPECT_TRUE(db::dm1().ADOConn1.isOpen());
    EXPECT_EQ(appState().ConnName, QStringLiteral("Demo.udl"));
    EXPECT_EQ(appState().ConnString, conn);
    EXPECT_EQ(lastConnection(), QStringLiteral("Demo.udl"));
    EXPECT_EQ(lastConnString(), conn);
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Varnock -  [Demo.udl] -  [<NoName>....]"));
    EXPECT_EQ(connStringLabel(), QString());
    EXPECT_TRUE(dialog->isEnabled());
    EXPECT_FALSE(db::dm1().ADOConn1.loginPrompt());
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(DialogConnect, TextFileLinesAreJoined) {
    makeSqliteDatabase();
    writeConFile(QStringLiteral("Split.txt"), "Provider=SQLite;Data So\r\nurce=test.sqlite\r\n");
    select(QStringLiteral("Split.txt"));
    EXPECT_EQ(dialog->fnDBConnect(), 1);
    EXPECT_EQ(appState().ConnString, QStringLiteral("Provider=SQLite;Data Source=test.sqlite"));
}

TEST_F(DialogConnect, EmptyFileTriesDashAndShowsTheProviderError) {
    writeConFile(QStringLiteral("Empty.txt"), QByteArray());
    WriteSetting(key::Options, QStringLiteral("LastConnection"), QStringLiteral("Before.txt"));
    appState().ConnName = QStringLiteral("Before.txt");
    select(QStringLiteral("Empty.txt"));

    EXPECT_EQ(dialog->fnDBConnect(), 0);
    EXPECT_EQ(db::dm1().ADOConn1.connectionString(), QStringLiteral("-"));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_FALSE(prompts.messages().first().isEmpty());
    EXPECT_NE(prompts.messages().first(), QStringLiteral("Connection failed!"));
    EXPECT_EQ(appState().ConnName, QString());
    EXPECT_EQ(appState().ConnString, QString());
    EXPECT_EQ(lastConnection(), QStringLiteral("Before.txt"));
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Varnock -  [] -  [<NoName>....]"));
    EXPECT_FALSE(db::dm1().ADOConn1.isOpen());
    EXPECT_TRUE(dialog->isEnabled());
}

TEST_F(DialogConnect, UnwritableSettingsFailTheAttemptAndCloseTheConnection) {
    writeConFile(QStringLiteral("Demo.txt"), makeSqliteDatabase().toUtf8());
    select(QStringLiteral("Demo.txt"));
    ASSERT_TRUE(QDir().mkpath(env.settingsFile()));  // fails for root too

    EXPECT_EQ(dialog->fnDBConnect(), 0);
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("Error creating system registry entry")});
    EXPECT_FALSE(db::dm1().ADOConn1.isOpen());
    EXPECT_EQ(appState().ConnName, QString());
    EXPECT_EQ(appState().ConnString, QString());
}

TEST_F(DialogConnect, NothingSelectedOnlyRebuildsTheTitle) {
    appState().ConnName = QStringLiteral("Kept.udl");
    appState().ConnString = QStringLiteral("kept");
    dialog->nameBox()->clear();
    dialog->fnRefresh();
    EXPECT_EQ(dialog->fnDBConnect(), 0);
    EXPECT_EQ(appState().ConnName, QStringLiteral("Kept.udl"));
    EXPECT_EQ(appState().ConnString, QStringLiteral("kept"));
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Varnock -  [Kept.udl] -  [<NoName>....]"));
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(DialogConnect, MissingFileGoesToTheErrorReport) {
    writeConFile(QStringLiteral("Gone.txt"), "x");
    select(QStringLiteral("Gone.txt"));
    QFile::remove(conFiles() + QStringLiteral("Gone.txt"));
    EXPECT_THROW(dialog->fnDBConnect(), db::DbError);
    EXPECT_EQ(appState().ConnName, QString());
    EXPECT_FALSE(db::dm1().ADOConn1.loginPrompt());
}

TEST_F(DialogConnect, LoginRetryAsksUntilTheRightPassword) {
    if (test::postgresConnectionString().isEmpty())
        GTEST_SKIP() << "no PostgreSQL test server (VARNOCK_TEST_PG)";
    const QString wrong = postgresWithPassword(QStringLiteral("wrong"));
    writeConFile(QStringLiteral("Pg.txt"), wrong.toUtf8() + "\r\n");
    select(QStringLiteral("Pg.txt"));
    prompts.loginAnswers.push_back(LoginReply{postgresUser(), QStringLiteral("still-wrong")});
    prompts.loginAnswers.push_back(LoginReply{postgresUser(), postgresPassword()});

    EXPECT_EQ(dialog->fnDBConnect(), 1);
    ASSERT_EQ(prompts.count(QStringLiteral("login")), 2);
    for (const auto& a : prompts.asked) {
        EXPECT_EQ(a.kind, QStringLiteral("login"));
        EXPECT_EQ(a.text, postgresUser());  // pre-filled from UID=
        EXPECT_EQ(a.extra, QStringLiteral("ADOConn1"));
    }
    EXPECT_TRUE(db::dm1().ADOConn1.isOpen());
    EXPECT_FALSE(db::dm1().ADOConn1.loginPrompt());
    EXPECT_EQ(appState().ConnName, QStringLiteral("Pg.txt"));
    EXPECT_EQ(lastConnString(), wrong);  // the file's string, not the typed password
}

TEST_F(DialogConnect, LoginCancelEndsTheAttemptWithTheCancelMessage) {
    if (test::postgresConnectionString().isEmpty())
        GTEST_SKIP() << "no PostgreSQL test server (VARNOCK_TEST_PG)";
    writeConFile(QStringLiteral("Pg.txt"), postgresWithPassword(QStringLiteral("wrong")).toUtf8());
    select(QStringLiteral("Pg.txt"));
    prompts.loginAnswers.push_back(std::nullopt);

    EXPECT_EQ(dialog->fnDBConnect(), 0);
    EXPECT_EQ(prompts.count(QStringLiteral("login")), 1);
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("Login cancelled by the user.")});
    EXPECT_FALSE(db::dm1().ADOConn1.isOpen());
    EXPECT_FALSE(db::dm1().ADOConn1.loginPrompt());
    EXPECT_EQ(appState().ConnName, QString());
    EXPECT_EQ(lastConnection(), QString());
}

TEST_F(DialogConnect, ConnectButtonClosesTheDialogOnSuccess) {
    writeConFile(QStringLiteral("Demo.txt"), makeSqliteDatabase().toUtf8() + "\r\n");
    dialog->nameBox()->setText(QStringLiteral("demo"));
    int result = -1;
    QTimer::singleShot(0, dialog, [&] {
        ASSERT_EQ(dialog->fileList()->selectedItems().size(), 1);
        dialog->findChild<QPushButton*>(QStringLiteral("bnConnect"))->click();
    });
    result = dialog->exec();
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(appState().ConnName, QStringLiteral("Demo.txt"));
}

// ---------------------------------------------------------------- ReconnectLast

class StartupConnect : public test::ConnectFixture {
protected:
    std::unique_ptr<ui::TQueryExport> main;
    void SetUp() override {
        test::ConnectFixture::SetUp();
        main = std::make_unique<ui::TQueryExport>();
    }
    void TearDown() override {
        main.reset();
        test::ConnectFixture::TearDown();
    }
    void store(const QString& name, const QString& conn) {
        WriteSetting(key::Options, QStringLiteral("LastConnection"), name);
        WriteSetting(key::Options, QStringLiteral("LastConnString"), conn);
    }
};

TEST_F(StartupConnect, StoredConnectionOpensSilently) {
    const QString conn = makeSqliteDatabase();
    store(QStringLiteral("Demo.txt"), conn);
    ui::ReconnectLast(*main);
    EXPECT_TRUE(db::dm1().ADOConn1.isOpen());
    EXPECT_EQ(appState().ConnName, QStringLiteral("Demo.txt"));
    EXPECT_EQ(appState().ConnString, conn);
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Varnock -  [Demo.txt] -  [<NoName>]"));
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(lastConnection(), QStringLiteral("Demo.txt"));
}

TEST_F(StartupConnect, NothingStoredAsksForAConnectionAndShowsTheDialog) {
    store(QString(), QStringLiteral("Provider=SQLite;Data Source=x"));
    bool dialogShown = false;
    test::onModal<ui::TIBSelectDb>([&](ui::TIBSelectDb* d) {
        dialogShown = d == main->connectionDialog();
        d->reject();
    });
    ui::ReconnectLast(*main);
    EXPECT_TRUE(dialogShown);
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("Please choose a database connection.")});
    EXPECT_EQ(appState().ConnString, QStringLiteral("Provider=SQLite;Data Source=x"));
    EXPECT_FALSE(db::dm1().ADOConn1.isOpen());
}

TEST_F(StartupConnect, FailureShowsTheErrorAndLeavesNoName) {
    store(QStringLiteral("Lost.txt"), QStringLiteral("Provider=SQLite;Data Source=missing.sqlite"));
    ui::ReconnectLast(*main);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_FALSE(prompts.messages().first().isEmpty());
    EXPECT_EQ(appState().ConnName, QString());
    EXPECT_FALSE(db::dm1().ADOConn1.isOpen());
    EXPECT_FALSE(QFile::exists(work.path() + QStringLiteral("/missing.sqlite")));
}

TEST_F(StartupConnect, LoginFailureRetriesOnce) {
    if (test::postgresConnectionString().isEmpty())
        GTEST_SKIP() << "no PostgreSQL test server (VARNOCK_TEST_PG)";
    store(QStringLiteral("Pg.txt"), postgresWithPassword(QStringLiteral("wrong")));
    prompts.loginAnswers.push_back(LoginReply{postgresUser(), QStringLiteral("still-wrong")});
    ui::ReconnectLast(*main);
    EXPECT_EQ(prompts.count(QStringLiteral("login")), 1);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages().first().startsWith(QStringLiteral("Login failed for user")));
    EXPECT_FALSE(db::dm1().ADOConn1.loginPrompt());

    prompts.asked.clear();
    prompts.loginAnswers.push_back(LoginReply{postgresUser(), postgresPassword()});
    ui::ReconnectLast(*main);
    EXPECT_EQ(prompts.count(QStringLiteral("login")), 1);
    EXPECT_TRUE(db::dm1().ADOConn1.isOpen());
    EXPECT_EQ(appState().ConnName, QStringLiteral("Pg.txt"));
}

// ---------------------------------------------------------------- ConnectQueryFile

class QueryFileConnect : public test::ConnectFixture {
protected:
    QStringList reported;
    void SetUp() override {
        test::ConnectFixture::SetUp();
        setInteractiveErrorSink([this](const QString& m) { reported << m; });
    }
    void TearDown() override {
        setInteractiveErrorSink(nullptr);
        test::ConnectFixture::TearDown();
    }
};

TEST_F(QueryFileConnect, SuccessNamesConnectionAndDocument) {
    ui::TQueryExport main;
    setInteractiveErrorSink([this](const QString& m) { reported << m; });
    const QString conn = makeSqliteDatabase();
    const QString file = work.path() + QStringLiteral("/Report.vnk");

    EXPECT_TRUE(ui::ConnectQueryFile(main, QStringLiteral("Sales"), conn, file));
    EXPECT_TRUE(db::dm1().ADOConn1.isOpen());
    EXPECT_EQ(appState().ConnName, QStringLiteral("Sales"));
    EXPECT_EQ(appState().CurrentFileName, file);
    EXPECT_EQ(main.findChild<QLabel*>(QStringLiteral("lblConnString"))->text(),
              QStringLiteral("Connection String:   ") + conn);
    EXPECT_EQ(main.statusText(5), file);
    EXPECT_EQ(main.windowTitle(), QStringLiteral("Varnock -  [Sales] -  [Report.vnk]"));
    EXPECT_TRUE(main.isEnabled());
    EXPECT_TRUE(reported.isEmpty());
    EXPECT_EQ(lastConnection(), QString());  // opening a query file never changes it
}

TEST_F(QueryFileConnect, FailureReportsAndKeepsTheFilesString) {
    ui::TQueryExport main;
    setInteractiveErrorSink([this](const QString& m) { reported << m; });
    const QString conn = QStringLiteral("Provider=SQLite;Data Source=missing.sqlite");
    const QString file = work.path() + QStringLiteral("/Report.vnk");
    appState().ConnName = QStringLiteral("Before");

    EXPECT_FALSE(ui::ConnectQueryFile(main, QStringLiteral("Sales"), conn, file));
    ASSERT_EQ(reported.size(), 1);
    EXPECT_FALSE(db::dm1().ADOConn1.isOpen());
    EXPECT_EQ(appState().ConnName, QString());
    EXPECT_EQ(appState().ConnString, conn);
    EXPECT_EQ(appState().CurrentFileName, file);
    EXPECT_EQ(main.statusText(5), file);
    EXPECT_EQ(main.windowTitle(), QStringLiteral("Varnock -  [] -  [Report.vnk]"));
    EXPECT_TRUE(main.isEnabled());
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(QueryFileConnect, BatchRunLogsTheErrorAndNeverPrompts) {
    appState().IsBatchRun = true;
    const QString file = work.path() + QStringLiteral("/Nightly.vnk");
    EXPECT_FALSE(ui::ConnectQueryFile(nullptr, QStringLiteral("x"),
                                      QStringLiteral("Provider=Nowhere"), file));
    ASSERT_EQ(env.eventLogMessages().size(), 1);
    EXPECT_TRUE(env.eventLogMessages().first().contains(QStringLiteral("Nowhere")));
    EXPECT_TRUE(reported.isEmpty());

    const QString conn = makeSqliteDatabase();
    EXPECT_TRUE(ui::ConnectQueryFile(nullptr, QStringLiteral("Demo"), conn, file));
    EXPECT_TRUE(db::dm1().ADOConn1.isOpen());
    EXPECT_EQ(appState().ConnName, QStringLiteral("Demo"));

    if (test::postgresConnectionString().isEmpty())
        return;
    EXPECT_FALSE(ui::ConnectQueryFile(nullptr, QStringLiteral("Pg"),
                                      postgresWithPassword(QStringLiteral("wrong")), file));
    EXPECT_EQ(prompts.count(QStringLiteral("login")), 0);
    ASSERT_EQ(env.eventLogMessages().size(), 2);
    EXPECT_TRUE(env.eventLogMessages().last().startsWith(QStringLiteral("Login failed for user")));
    EXPECT_FALSE(db::dm1().ADOConn1.isOpen());
}

TEST_F(QueryFileConnect, InteractiveLoginRetryOnce) {
    if (test::postgresConnectionString().isEmpty())
        GTEST_SKIP() << "no PostgreSQL test server (VARNOCK_TEST_PG)";
    ui::TQueryExport main;
    setInteractiveErrorSink([this](const QString& m) { reported << m; });
    const QString file = work.path() + QStringLiteral("/Report.vnk");
    prompts.loginAnswers.push_back(LoginReply{postgresUser(), postgresPassword()});
    EXPECT_TRUE(ui::ConnectQueryFile(main, QStringLiteral("Pg"),
                                     postgresWithPassword(QStringLiteral("wrong")), file));
    EXPECT_EQ(prompts.count(QStringLiteral("login")), 1);
    EXPECT_TRUE(db::dm1().ADOConn1.isOpen());
    EXPECT_EQ(appState().ConnName, QStringLiteral("Pg"));
    EXPECT_FALSE(db::dm1().ADOConn1.loginPrompt());

    prompts.loginAnswers.push_back(std::nullopt);
    EXPECT_FALSE(ui::ConnectQueryFile(main, QStringLiteral("Pg"),
                                      postgresWithPassword(QStringLiteral("wrong")), file));
    EXPECT_EQ(reported, QStringList{QStringLiteral("Login cancelled by the user.")});
    EXPECT_FALSE(db::dm1().ADOConn1.isOpen());
}
