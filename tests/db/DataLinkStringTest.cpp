#include "db/ConnectionString.h"
#include "db/DataLink.h"

#include <gtest/gtest.h>

using namespace vnk;
using namespace Qt::StringLiterals;
using db::DataLink;
using Kind = DataLink::Kind;

namespace {

DataLink make(Kind kind, QString database, QString dsn, QString driver, QString attributes,
              QString user, QString password) {
    DataLink l;
    l.kind = kind;
    l.database = std::move(database);
    l.dsn = std::move(dsn);
    l.driver = std::move(driver);
    l.attributes = std::move(attributes);
    l.user = std::move(user);
    l.password = std::move(password);
    return l;
}

}  // namespace

TEST(DataLink, ParsesTheFieldsAndBuildsTheSameString) {
    const struct {
        const char* text;
        DataLink fields;
    } cases[] = {
        {"Provider=SQLite;Data Source=build/demo.sqlite",
         make(Kind::SQLite, u"build/demo.sqlite"_s, {}, {}, {}, {}, {})},
        {"DSN=Sales;UID=ann;PWD=pw", make(Kind::OdbcDsn, {}, u"Sales"_s, {}, {}, u"ann"_s, u"pw"_s)},
        {"Driver={PostgreSQL Unicode};Server=h;Port=5432;Database=d;UID=u;PWD=p",
         make(Kind::OdbcDriver, {}, {}, u"PostgreSQL Unicode"_s, u"Server=h;Port=5432;Database=d"_s,
              u"u"_s, u"p"_s)},
        {"Driver={SQLite3};Database=/tmp/a.db",
         make(Kind::OdbcDriver, {}, {}, u"SQLite3"_s, u"Database=/tmp/a.db"_s, {}, {})},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromLatin1(c.text);
        EXPECT_EQ(DataLink::parse(text), c.fields) << c.text;
        EXPECT_EQ(c.fields.connectionString(), text) << c.text;
    }
}

TEST(DataLink, ReadsOtherSpellingsAndKeepsWhatItDoesNotKnow) {
    // User ID / Password and MSDASQL are read; the written form uses UID/PWD and no provider.
    const DataLink a = DataLink::parse(
        u"Provider=MSDASQL;DSN=Pg;User ID=ann;Password=pw;Persist Security Info=False"_s);
    EXPECT_EQ(a, make(Kind::OdbcDsn, {}, u"Pg"_s, {}, u"Persist Security Info=False"_s,
                      u"ann"_s, u"pw"_s));
    EXPECT_EQ(a.connectionString(), u"DSN=Pg;Persist Security Info=False;UID=ann;PWD=pw"_s);

    // Another provider stays, so the file still names it.
    const DataLink b = DataLink::parse(u"Provider=SQLOLEDB;Data Source=srv"_s);
    EXPECT_TRUE(b.attributes.contains(u"Provider=SQLOLEDB"_s));
    EXPECT_TRUE(b.connectionString().contains(u"Provider=SQLOLEDB"_s));

    // SQLite keeps extra pairs too; an empty text gives the SQLite defaults.
    EXPECT_EQ(DataLink::parse(u"Provider=sqlite3;Data Source=a.db;Mode=ro"_s).attributes,
              u"Mode=ro"_s);
    EXPECT_EQ(DataLink::parse(u"  "_s), DataLink{});
}

TEST(DataLink, ValuesThatNeedItAreQuotedAndReadBack) {
    for (const char* raw : {"a;b", "{x}", " lead", "trail ", "\"q", "plain", "x}}y", ""}) {
        const QString v = QString::fromLatin1(raw);
        DataLink l = make(Kind::OdbcDsn, {}, u"d"_s, {}, {}, u"u"_s, v);
        const QString text = l.connectionString();
        if (v.isEmpty()) {
            EXPECT_FALSE(text.contains(u"PWD"_s));
            continue;
        }
        EXPECT_EQ(db::ConnectionString(text).value(u"PWD"_s).value_or(u"<none>"_s), v) << raw;
        EXPECT_EQ(DataLink::parse(text).password, v) << raw;
    }
    EXPECT_EQ(db::quoteConnectionValue(u"plain"_s), u"plain"_s);
    EXPECT_EQ(db::quoteConnectionValue(u"a;b}"_s), u"{a;b}}}"_s);

    DataLink sqlite;
    sqlite.database = u"dir;with/semi.db"_s;
    EXPECT_EQ(DataLink::parse(sqlite.connectionString()).database, sqlite.database);
}
