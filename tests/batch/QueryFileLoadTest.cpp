// Loading a query file without a window, as the unattended run does: the first-argument
// check, reading the document into the shared state, and connecting where nobody can
// answer a login window.

#include "TestSupport.h"
#include "app/load/QueryFileLoad.h"
#include "db/Connection.h"
#include "db/DataModule.h"
#include "queryfile/QueryFile.h"
#include "share/AppState.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace vnk;

namespace {

class QueryFileLoad : public ::testing::Test {
protected:
    test::IsolatedEnvironment env;

    // As in the unattended run: every report goes to the event log.
    void SetUp() override {
        resetAppState();
        appState().IsBatchRun = true;
    }
    void TearDown() override {
        db::Tdm1& dm = db::dm1();
        dm.ADOQry1.close();
        if (dm.ADOConn1.isOpen())
            dm.ADOConn1.close();
        dm.ADOConn1.setLoginPrompt(false);
        resetAppState();
    }

    QString file(const QString& name) const { return env.path() + u'/' + name; }

    QString database(const QString& name = QStringLiteral("sales.sqlite")) const {
        sqlite3* db = nullptr;
        const QByteArray path = file(name).toUtf8();
        EXPECT_EQ(sqlite3_open(path.constData(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db,
                               "create table if not exists Account(Id integer primary key, Name text);",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
        return QStringLiteral("Provider=SQLite;Data Source=") + file(name);
    }
};

TEST_F(QueryFileLoad, FirstArgumentMustBeAnExistingQueryFile) {
    const QString vnk = file(QStringLiteral("q.vnk"));
    const QString sql = file(QStringLiteral("q.sql"));
    queryfile::writeQueryDocument(vnk, QStringLiteral("Sales"), database(), {QStringLiteral("select 1")});
    queryfile::writeQueryDocument(sql, QString(), QString(), {QStringLiteral("select 1")});
    const QString upper = file(QStringLiteral("UPPER.VNK"));
    ASSERT_TRUE(QFile::copy(vnk, upper));

    EXPECT_EQ(app::checkQueryFileArgument(vnk), QString());
    EXPECT_EQ(app::checkQueryFileArgument(upper), QString());
    EXPECT_EQ(app::checkQueryFileArgument(sql),
              QStringLiteral("Error - Query file: \"") + sql + QStringLiteral("\" is not a valid file type."));
    const QString missing = file(QStringLiteral("none.vnk"));
    EXPECT_EQ(app::checkQueryFileArgument(missing),
              QStringLiteral("Error - Query file: \"") + missing + QStringLiteral("\" not found."));
    // A folder is not a file, whatever its name.
    EXPECT_EQ(app::checkQueryFileArgument(env.path()),
              QStringLiteral("Error - Query file: \"") + env.path() + QStringLiteral("\" not found."));
}

TEST_F(QueryFileLoad, LoadWithoutAWindowKeepsTheStatementInTheSavedText) {
    const QString vnk = file(QStringLiteral("batch.vnk"));
    queryfile::writeQueryDocument(vnk, QStringLiteral("Sales"), database(),
                                  {QStringLiteral("select Name"), QStringLiteral("from Account")});
    EXPECT_TRUE(app::loadQueryFile(vnk));
    EXPECT_EQ(appState().SavedText, QStringLiteral("select Name\nfrom Account\n"));
    EXPECT_EQ(appState().ConnName, QStringLiteral("Sales"));
    EXPECT_EQ(appState().CurrentFileName, vnk);
    EXPECT_FALSE(appState().IsModified);
    EXPECT_TRUE(db::dm1().ADOConn1.isOpen());
    EXPECT_TRUE(env.eventLogMessages().isEmpty());
    // A file that cannot be read raises its error to the caller.
    EXPECT_THROW(app::loadQueryFile(file(QStringLiteral("none.vnk"))), queryfile::QueryFileError);
}

TEST_F(QueryFileLoad, AnInvalidQueryFileIsRefusedAndChangesNothing) {
    const QString vnk = file(QStringLiteral("broken.vnk"));
    QFile f(vnk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("only one line\n");
    f.close();
    AppState& st = appState();
    st.ConnName = QStringLiteral("Before");
    st.ConnString = QStringLiteral("Provider=SQLite;Data Source=before.sqlite");
    st.CurrentFileName = QStringLiteral("before.vnk");

    EXPECT_FALSE(app::loadQueryFile(vnk));
    EXPECT_EQ(env.eventLogMessages(), QStringList{QStringLiteral("Invalid query file.")});
    EXPECT_EQ(st.ConnName, QStringLiteral("Before"));
    EXPECT_EQ(st.ConnString, QStringLiteral("Provider=SQLite;Data Source=before.sqlite"));
    EXPECT_EQ(st.CurrentFileName, QStringLiteral("before.vnk"));
    EXPECT_FALSE(db::dm1().ADOConn1.isOpen());
}

TEST_F(QueryFileLoad, ConnectFailuresAreLoggedAndLeaveNoConnection) {
    const QString vnk = file(QStringLiteral("Nightly.vnk"));
    EXPECT_FALSE(app::connectQueryFile(QStringLiteral("x"), QStringLiteral("Provider=Nowhere"), vnk));
    ASSERT_EQ(env.eventLogMessages().size(), 1);
    EXPECT_TRUE(env.eventLogMessages().first().contains(QStringLiteral("Nowhere")));
    EXPECT_EQ(appState().ConnName, QString());
    EXPECT_EQ(appState().CurrentFileName, vnk);

    EXPECT_TRUE(app::connectQueryFile(QStringLiteral("Demo"), database(), vnk));
    EXPECT_TRUE(db::dm1().ADOConn1.isOpen());
    EXPECT_EQ(appState().ConnName, QStringLiteral("Demo"));

    const QString pg = test::postgresConnectionString();
    if (pg.isEmpty())
        return;
    QString wrong = pg;
    wrong.replace(QRegularExpression(QStringLiteral("PWD=[^;]*")), QStringLiteral("PWD=wrong"));
    // Nobody can answer a login window: the refusal is logged as the driver worded it.
    EXPECT_FALSE(app::connectQueryFile(QStringLiteral("Pg"), wrong, vnk));
    ASSERT_EQ(env.eventLogMessages().size(), 2);
    EXPECT_TRUE(env.eventLogMessages().last().startsWith(QStringLiteral("Login failed for user")));
    EXPECT_FALSE(db::dm1().ADOConn1.isOpen());
    EXPECT_EQ(appState().ConnName, QString());
}

}  // namespace
