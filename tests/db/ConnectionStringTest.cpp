#include "SqliteFiles.h"
#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "db/DbError.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vnk::db;

namespace {

struct ValueCase {
    const char* text;
    const char* key;
    const char* expected;  // nullptr: absent
};

TEST(ConnectionString, ValuesOfEveryQuotingFormAndKeysWithoutCase) {
    const ValueCase cases[] = {
        {"Provider=SQLite;Data Source=a.db", "provider", "SQLite"},
        {"Provider=SQLite;Data Source=a.db", "DATA SOURCE", "a.db"},
        {"  Data Source =  my file.db  ;x=1", "data source", "my file.db"},
        {"PWD='se;cr''et';UID=u", "PWD", "se;cr'et"},
        {"PWD=\"a;\"\"b\"\"\";UID=u", "pwd", "a;\"b\""},
        {"Driver={SQLite3 ODBC Driver};Database=x", "Driver", "SQLite3 ODBC Driver"},
        {"PWD={a}}b;c};UID=u", "PWD", "a}b;c"},
        {"PWD={a}}b;c};UID=u", "UID", "u"},
        {"Password=a=b", "Password", "a=b"},
        {"A=1;;B=2;", "B", "2"},
        {"A=1;A=2", "A", "1"},
        {"A=", "A", ""},
        {"A=1", "B", nullptr},
        {"", "A", nullptr},
        {"-", "A", nullptr},
    };
    for (const ValueCase& c : cases) {
        const ConnectionString cs(QString::fromUtf8(c.text));
        const auto v = cs.value(QString::fromUtf8(c.key));
        if (!c.expected) {
            EXPECT_FALSE(v.has_value()) << c.text << " / " << c.key;
            EXPECT_FALSE(cs.contains(QString::fromUtf8(c.key)));
        } else {
            ASSERT_TRUE(v.has_value()) << c.text << " / " << c.key;
            EXPECT_EQ(*v, QString::fromUtf8(c.expected)) << c.text << " / " << c.key;
        }
    }
}

TEST(ConnectionString, WithoutLeavesTheRestOfTheTextUntouched) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"Provider=MSDASQL;DSN=Sales;UID=me", "DSN=Sales;UID=me"},
        {"DSN=Sales; provider = MSDASQL ;UID=me", "DSN=Sales;UID=me"},
        {"DSN=Sales;Provider=MSDASQL", "DSN=Sales"},
        {"DSN=Sales;Provider=MSDASQL;", "DSN=Sales;"},
        {"Driver={A;B};Provider=MSDASQL;PWD='x;y'", "Driver={A;B};PWD='x;y'"},
        {"Provider=MSDASQL", ""},
        {"DSN=Sales", "DSN=Sales"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConnectionString(QString::fromUtf8(c.text)).without({QStringLiteral("Provider")}),
                  QString::fromUtf8(c.expected))
            << c.text;
}

TEST(ConnectionString, LoginUserNameFromUserIdThenUid) {
    EXPECT_EQ(loginUserName(QStringLiteral("DSN=x;User ID=alice;UID=bob")), u"alice");
    EXPECT_EQ(loginUserName(QStringLiteral("DSN=x;uid=bob")), u"bob");
    EXPECT_EQ(loginUserName(QStringLiteral("DSN=x;USER ID='a;b'")), u"a;b");
    EXPECT_EQ(loginUserName(QStringLiteral("DSN=x")), QString());
}

TEST(ConnectionString, LoginFailuresAreToldFromOtherConnectErrors) {
    const struct {
        const char* state;
        const char* text;
        bool login;
    } cases[] = {
        {"28000", "[MariaDB] Access denied for user 'x'@'localhost' (using password: YES)", true},
        {"28P01", "anything", true},
        {"08001", "FATAL:  password authentication failed for user \"x\"", true},
        {"08001", "fe_sendauth: no password supplied", true},
        {"08001", "FATAL:  role \"nobody\" does not exist", true},
        {"HY000", "Access denied for user 'x'", true},
        {"08001", "could not connect to server: Connection refused", false},
        {"08001", "FATAL:  database \"nope\" does not exist", false},
        {"IM002", "Data source name not found and no default driver specified", false},
        {"", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isLoginFailure(QString::fromUtf8(c.state), QString::fromUtf8(c.text)), c.login)
            << c.state << " " << c.text;
}

TEST(ConnectionString, ProviderChoosesTheDriver) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("db.sqlite"));
    vnk::test::createSqliteFile(file, "CREATE TABLE t(a)");

    for (const char* provider : {"SQLite", "sqlite3", " SQLite "}) {
        const QString cs = QStringLiteral("Provider=%1;Data Source=db.sqlite").arg(QString::fromUtf8(provider));
        EXPECT_NE(openDriver(cs, std::nullopt, dir.path()), nullptr) << provider;
    }

    try {
        openDriver(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb"), std::nullopt,
                   dir.path());
        FAIL() << "an unknown provider opened";
    } catch (const DbError& e) {
        EXPECT_EQ(e.message(), u"The provider \"Microsoft.Jet.OLEDB.4.0\" cannot be found. "
                               u"It may not be properly installed.");
    }

    // No provider, or MSDASQL: ODBC, whose driver manager answers for an unknown DSN.
    for (const char* cs : {"DSN=varnock_no_such_dsn", "Provider=MSDASQL;DSN=varnock_no_such_dsn"}) {
        try {
            openDriver(QString::fromUtf8(cs), std::nullopt, dir.path());
            FAIL() << cs;
        } catch (const DbError& e) {
            EXPECT_FALSE(e.message().contains(u"provider")) << qPrintable(e.message());
            EXPECT_FALSE(e.message().startsWith(u"Login failed for user"));
        }
    }

    EXPECT_THROW(openDriver(QStringLiteral("Provider=SQLite"), std::nullopt, dir.path()), DbError);
    EXPECT_THROW(openDriver(QStringLiteral("Provider=SQLite;Data Source= "), std::nullopt, dir.path()),
                 DbError);
}

}  // namespace
