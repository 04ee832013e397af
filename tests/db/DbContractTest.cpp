// The database contract, once for every backend: native SQLite, ODBC through the SQLite
// ODBC driver, PostgreSQL through psqlODBC.

#include "Backends.h"

#include "db/ConnectionString.h"
#include "db/OdbcDriver.h"

#include <QStringList>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <map>
#include <vector>

using namespace vnk;
using namespace vnk::test;
using db::FieldKind;

namespace {

const QStringList kColumns = {
    QStringLiteral("id"),    QStringLiteral("big"),   QStringLiteral("small"),
    QStringLiteral("amount"), QStringLiteral("ratio"), QStringLiteral("code"),
    QStringLiteral("label"), QStringLiteral("city"),  QStringLiteral("notes"),
    QStringLiteral("day"),   QStringLiteral("clock"), QStringLiteral("stamp"),
    QStringLiteral("flag"),  QStringLiteral("raw")};

// Where the drivers legitimately differ: the SQLite ODBC driver reports CHAR(n) as VARCHAR,
// TEXT as LONGVARCHAR and BLOB as BINARY (and DECIMAL as VARCHAR, which its type name
// makes a decimal again); psqlODBC (Unicode) reports the wide text types, TEXT as
// WLONGVARCHAR and bytea as LONGVARBINARY.
std::vector<FieldKind> expectedKinds(Backend b) {
    using K = FieldKind;
    switch (b) {
    case Backend::Sqlite:
        return {K::LargeInt, K::LargeInt, K::SmallInt, K::Decimal,  K::Float,
                K::FixedChar, K::String,  K::WideString, K::String, K::Date,
                K::Time,     K::DateTime, K::Boolean,  K::Blob};
    case Backend::OdbcSqlite:
        return {K::Integer, K::LargeInt, K::SmallInt, K::Decimal, K::Float,
                K::String,  K::String,   K::String,   K::Memo,    K::Date,
                K::Time,    K::DateTime, K::Boolean,  K::Bytes};
    case Backend::Postgres:
        return {K::Integer,       K::LargeInt,   K::SmallInt,   K::Decimal,  K::Float,
                K::FixedWideChar, K::WideString, K::WideString, K::WideMemo, K::Date,
                K::Time,          K::DateTime,   K::Boolean,    K::Blob};
    }
    return {};
}

QStringList expectedRow(int id) {
    const QString n = QStringLiteral("<null>");
    switch (id) {
    case 1:
        return {QStringLiteral("1"), QStringLiteral("3000000000"), QStringLiteral("7"),
                QStringLiteral("12.34"), QStringLiteral("1.5"), QStringLiteral("ab"),
                QStringLiteral("plain"), wideText(), longText(),
                QStringLiteral("2024-02-29 00:00:00.000"), QStringLiteral("1899-12-30 13:45:30.000"),
                QStringLiteral("2024-02-29 00:00:00.000"), QStringLiteral("true"),
                QStringLiteral("00ff10")};
    case 2:
        return {QStringLiteral("2"), QStringLiteral("-5"), QStringLiteral("-3"),
                QStringLiteral("-0.5"), QStringLiteral("-2.25"), QStringLiteral("xyz"),
                QStringLiteral("b"), QString::fromUtf8("ü"), QStringLiteral("short"),
                QStringLiteral("1899-12-30 00:00:00.000"), QStringLiteral("1899-12-30 00:00:00.000"),
                QStringLiteral("2023-12-31 23:59:59.000"), QStringLiteral("false"),
                QStringLiteral("01")};
    case 3:
        return {QStringLiteral("3"), n, n, n, n, n, n, n, n, n, n, n, n, n};
    default:
        return {QStringLiteral("10"), QStringLiteral("9"), QStringLiteral("1"),
                QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("z"),
                QString::fromUtf8("Ä"), QString::fromUtf8("ä"), QString(),
                QStringLiteral("2000-01-01 00:00:00.000"), QStringLiteral("1899-12-30 23:59:59.000"),
                QStringLiteral("2000-01-01 12:00:00.000"), QStringLiteral("true"), QString()};
    }
}

std::vector<std::int64_t> ids(const db::ResultSet& rs) {
    std::vector<std::int64_t> out;
    const int col = rs.fieldIndex(QStringLiteral("id"));
    for (std::int64_t r = 0; r < rs.recordCount(); ++r)
        out.push_back(rs.int64At(r, col));
    return out;
}

// ids in the current order, leaving out rows where the column is null
std::vector<std::int64_t> idsWithValue(const db::ResultSet& rs, const QString& column) {
    std::vector<std::int64_t> out;
    const int col = rs.fieldIndex(column);
    const int id = rs.fieldIndex(QStringLiteral("id"));
    for (std::int64_t r = 0; r < rs.recordCount(); ++r)
        if (!rs.isNull(r, col))
            out.push_back(rs.int64At(r, id));
    return out;
}

}  // namespace

using DbContract = BackendTest;

TEST_P(DbContract, FieldNamesAndKinds) {
    const db::ResultSet& rs = openAll();
    ASSERT_EQ(rs.fieldCount(), kColumns.size());
    const std::vector<FieldKind> kinds = expectedKinds(backend());
    for (int c = 0; c < rs.fieldCount(); ++c) {
        EXPECT_EQ(rs.field(c).name, kColumns[c]);
        EXPECT_STREQ(db::kindName(rs.field(c).kind), db::kindName(kinds[static_cast<std::size_t>(c)]))
            << "column " << kColumns[c].toStdString();
        EXPECT_EQ(rs.fieldIndex(kColumns[c].toUpper()), c) << "names match without regard to case";
    }
    EXPECT_EQ(rs.fieldIndex(QStringLiteral("nosuchcolumn")), -1);
}

TEST_P(DbContract, ValuesOfEveryKindAndNulls) {
    const db::ResultSet& rs = openAll();
    ASSERT_EQ(rs.recordCount(), 4);
    const int idsInOrder[] = {1, 2, 3, 10};
    for (int r = 0; r < 4; ++r) {
        const QStringList want = expectedRow(idsInOrder[r]);
        for (int c = 0; c < rs.fieldCount(); ++c) {
            const QString got = cellText(rs, r, c);
            if (c == 8 && r == 0) {
                // the long text: compare whole, report briefly
                EXPECT_EQ(got.size(), want[c].size()) << "long text length";
                EXPECT_TRUE(got == want[c]) << "long text differs";
                continue;
            }
            EXPECT_EQ(got.toStdString(), want[c].toStdString())
                << "row " << r << " column " << kColumns[c].toStdString();
        }
    }
    // row 3: every column but id is null, and its value is a null variant
    for (int c = 1; c < rs.fieldCount(); ++c) {
        EXPECT_TRUE(rs.isNull(2, c)) << kColumns[c].toStdString();
        EXPECT_FALSE(rs.value(2, c).isValid()) << kColumns[c].toStdString();
    }
    // empty text and empty binary are values, not nulls
    EXPECT_FALSE(rs.isNull(3, 8));
    EXPECT_FALSE(rs.isNull(3, 13));
}

TEST_P(DbContract, RecordCountNumberAndNavigation) {
    db::ResultSet& rs = openAll();
    EXPECT_EQ(rs.recordCount(), 4);
    EXPECT_EQ(rs.recNo(), 1);
    EXPECT_EQ(rs.value(0).toLongLong(), 1);
    rs.next();
    EXPECT_EQ(rs.recNo(), 2);
    EXPECT_EQ(rs.value(0).toLongLong(), 2);
    rs.last();
    EXPECT_EQ(rs.recNo(), 4);
    EXPECT_EQ(rs.value(0).toLongLong(), 10);
    rs.next();
    EXPECT_TRUE(rs.eof());
    rs.first();
    EXPECT_EQ(rs.recNo(), 1);
    rs.moveTo(3);
    EXPECT_EQ(rs.value(0).toLongLong(), 3);
    const auto mark = rs.bookmark();
    rs.first();
    rs.gotoBookmark(mark);
    EXPECT_EQ(rs.recNo(), 3);

    db::ResultSet& none = open(QStringLiteral("SELECT * FROM %1 WHERE id < 0").arg(table_));
    EXPECT_EQ(none.recordCount(), 0);
    EXPECT_EQ(none.recNo(), 0);
    EXPECT_EQ(none.fieldCount(), kColumns.size()) << "an empty result still has its fields";
    EXPECT_TRUE(none.eof());
}

TEST_P(DbContract, ClientSideSortAscendingAndDescending) {
    db::ResultSet& rs = openAll();
    rs.setSort(QStringLiteral("id DESC"));
    EXPECT_EQ(ids(rs), (std::vector<std::int64_t>{10, 3, 2, 1})) << "numbers sort as numbers";
    rs.setSort(QStringLiteral("big ASC"));
    EXPECT_EQ(idsWithValue(rs, QStringLiteral("big")), (std::vector<std::int64_t>{2, 10, 1}))
        << "a 64-bit value sorts above 32-bit ones";
    rs.setSort(QStringLiteral("ratio DESC"));
    EXPECT_EQ(idsWithValue(rs, QStringLiteral("ratio")), (std::vector<std::int64_t>{1, 10, 2}));
    rs.setSort(QStringLiteral("stamp ASC"));
    EXPECT_EQ(idsWithValue(rs, QStringLiteral("stamp")), (std::vector<std::int64_t>{10, 2, 1}));
    rs.setSort(QString());
    EXPECT_EQ(ids(rs), (std::vector<std::int64_t>{1, 2, 3, 10}));
    EXPECT_THROW(rs.setSort(QStringLiteral("nosuchcolumn ASC")), db::DbError);
}

TEST_P(DbContract, SchemaRowsetsListTheTableAndItsColumns) {
    const QString schema = pg() ? QStringLiteral("public") : QStringLiteral("main");

    auto schemata = conn_.openSchema(db::SchemaKind::Schemata);
    const int nameCol = schemata->fieldIndex(QStringLiteral("SCHEMA_NAME"));
    ASSERT_GE(nameCol, 0);
    ASSERT_GE(schemata->fieldIndex(QStringLiteral("CATALOG_NAME")), 0);
    QStringList names;
    for (std::int64_t r = 0; r < schemata->recordCount(); ++r)
        names << schemata->displayText(r, nameCol);
    EXPECT_TRUE(names.contains(schema)) << names.join(u',').toStdString();

    auto tables = conn_.openSchema(db::SchemaKind::Tables, {QString(), schema});
    const int tName = tables->fieldIndex(QStringLiteral("TABLE_NAME"));
    const int tType = tables->fieldIndex(QStringLiteral("TABLE_TYPE"));
    ASSERT_GE(tName, 0);
    ASSERT_GE(tType, 0);
    ASSERT_GE(tables->fieldIndex(QStringLiteral("TABLE_SCHEMA")), 0);
    ASSERT_GE(tables->fieldIndex(QStringLiteral("TABLE_CATALOG")), 0);
    bool found = false;
    for (std::int64_t r = 0; r < tables->recordCount(); ++r) {
        if (tables->displayText(r, tName) == table_) {
            found = true;
            EXPECT_EQ(tables->displayText(r, tType), QStringLiteral("TABLE"));
        }
    }
    EXPECT_TRUE(found) << "table " << table_.toStdString() << " not in the tables rowset";

    // restricted to the table: exactly its columns, in order (the '_' in the name is
    // a pattern character that must match only itself)
    auto only = conn_.openSchema(db::SchemaKind::Tables, {QString(), schema, table_});
    ASSERT_EQ(only->recordCount(), 1);
    EXPECT_EQ(only->displayText(0, tName), table_);

    auto columns = conn_.openSchema(db::SchemaKind::Columns, {QString(), schema, table_});
    const int cName = columns->fieldIndex(QStringLiteral("COLUMN_NAME"));
    const int cPos = columns->fieldIndex(QStringLiteral("ORDINAL_POSITION"));
    ASSERT_GE(cName, 0);
    ASSERT_GE(cPos, 0);
    for (const char* n : {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "DATA_TYPE"})
        EXPECT_GE(columns->fieldIndex(QLatin1String(n)), 0) << n;
    QStringList got;
    for (std::int64_t r = 0; r < columns->recordCount(); ++r) {
        got << columns->displayText(r, cName);
        EXPECT_EQ(columns->value(r, cPos).toLongLong(), r + 1);
    }
    EXPECT_EQ(got, kColumns);
}

TEST_P(DbContract, StatementWithoutRowsRaisesTheNoResultSetText) {
    const QString statements[] = {
        QStringLiteral("UPDATE %1 SET label = 'changed' WHERE id = 2").arg(table_),
        QStringLiteral("UPDATE %1 SET label = 'none' WHERE id = -1").arg(table_),
        QStringLiteral("INSERT INTO %1 (id, label) VALUES (20, 'new')").arg(table_),
        QStringLiteral("CREATE INDEX %1_label ON %1 (label)").arg(table_),
    };
    for (const QString& sql : statements) {
        try {
            open(sql);
            ADD_FAILURE() << "no error for " << sql.toStdString();
        } catch (const db::DbError& e) {
            EXPECT_EQ(e.message(), db::kNoResultSetMessage) << sql.toStdString();
        }
    }
    // ... and the statements did run
    db::ResultSet& rs = open(QStringLiteral("SELECT label FROM %1 WHERE id IN (2, 20) ORDER BY id").arg(table_));
    ASSERT_EQ(rs.recordCount(), 2);
    EXPECT_EQ(cellText(rs, 0, 0), QStringLiteral("changed"));
    EXPECT_EQ(cellText(rs, 1, 0), QStringLiteral("new"));
}

TEST_P(DbContract, SyntaxErrorCarriesTheProviderText) {
    try {
        open(QStringLiteral("SELEC id FROM %1").arg(table_));
        FAIL() << "no error";
    } catch (const db::DbError& e) {
        EXPECT_FALSE(e.message().trimmed().isEmpty());
        EXPECT_NE(e.message(), db::kNoResultSetMessage);
        EXPECT_FALSE(e.message().startsWith(u"Login failed for user"));
        if (backend() != Backend::Sqlite) {
            EXPECT_FALSE(e.sqlState().isEmpty());
            EXPECT_FALSE(e.records().empty());
        }
        if (pg()) {
            EXPECT_EQ(e.sqlState(), QStringLiteral("42601")) << e.message().toStdString();
        }
    }
    try {
        open(QStringLiteral("SELECT * FROM vnk_no_such_table"));
        FAIL() << "no error";
    } catch (const db::DbError& e) {
        EXPECT_TRUE(e.message().contains(u"vnk_no_such_table")) << e.message().toStdString();
    }
    // the connection is still usable afterwards
    EXPECT_EQ(openAll().recordCount(), 4);
}

TEST_P(DbContract, RollbackUndoesAndCommitKeeps) {
    const QString count = QStringLiteral("SELECT COUNT(*) FROM %1 WHERE id IN (100, 101)").arg(table_);
    conn_.beginTransaction();
    exec(QStringLiteral("INSERT INTO %1 (id, label) VALUES (100, 'gone')").arg(table_));
    EXPECT_EQ(open(count).int64At(0, 0), 1) << "visible inside the transaction";
    conn_.rollback();
    EXPECT_EQ(open(count).int64At(0, 0), 0) << "rollback undid the insert";

    conn_.beginTransaction();
    exec(QStringLiteral("INSERT INTO %1 (id, label) VALUES (101, 'kept')").arg(table_));
    conn_.commit();
    EXPECT_EQ(open(count).int64At(0, 0), 1);

    // after the transaction the connection is back in autocommit: a second connection
    // sees a plain insert at once
    exec(QStringLiteral("INSERT INTO %1 (id, label) VALUES (102, 'auto')").arg(table_));
    db::Connection other;
    other.setConnectionString(connString_);
    other.setWorkFolder(dir_.path());
    other.open();
    db::Query q(other);
    q.setSql(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE id = 102").arg(table_));
    q.open();
    EXPECT_EQ(q.result()->int64At(0, 0), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, DbContract,
                         ::testing::Values(Backend::Sqlite, Backend::OdbcSqlite, Backend::Postgres),
                         BackendName());

// ---- PostgreSQL logins: real wrong passwords, a real closed port

namespace {

QString pgWithout(const QStringList& keys) {
    return db::ConnectionString(postgresConnectionString()).without(keys);
}

int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);  // bound but never listening, and now closed: connections are refused
    return ntohs(a.sin_port);
}

class PostgresLogin : public ::testing::Test {
protected:
    void SetUp() override {
        if (postgresConnectionString().isEmpty())
            GTEST_SKIP() << "\n*** VARNOCK_TEST_PG is empty: PostgreSQL logins are NOT tested. ***";
    }

    // The error of opening, or an empty error when it opened.
    static std::optional<db::DbError> openError(const QString& cs,
                                                const std::optional<db::Credentials>& cred = {}) {
        db::Connection c;
        c.setConnectionString(cs);
        try {
            c.open(cred);
        } catch (const db::DbError& e) {
            return e;
        }
        return std::nullopt;
    }
};

}  // namespace

TEST_F(PostgresLogin, WrongPasswordIsALoginFailureNamingTheUser) {
    const QString wrong = pgWithout({QStringLiteral("PWD")}) + QStringLiteral(";PWD=not-the-password");
    const auto e = openError(wrong);
    ASSERT_TRUE(e.has_value());
    EXPECT_TRUE(e->message().startsWith(u"Login failed for user 'varnock'. ")) << e->message().toStdString();
    EXPECT_TRUE(e->message().contains(u"password authentication failed")) << e->message().toStdString();

    // the login prompt's answer goes as UID/PWD, replacing the string's own
    const auto viaPrompt = openError(postgresConnectionString(),
                                     db::Credentials{QStringLiteral("varnock"), QStringLiteral("wrong")});
    ASSERT_TRUE(viaPrompt.has_value());
    EXPECT_TRUE(viaPrompt->message().startsWith(u"Login failed for user 'varnock'. "));
}

TEST_F(PostgresLogin, MissingPasswordIsALoginFailure) {
    const auto e = openError(pgWithout({QStringLiteral("PWD")}));
    ASSERT_TRUE(e.has_value());
    EXPECT_TRUE(e->message().startsWith(u"Login failed for user 'varnock'. ")) << e->message().toStdString();
}

TEST_F(PostgresLogin, PromptAnswerOpensAStringWithoutPassword) {
    const QString pwd = db::ConnectionString(postgresConnectionString()).value(QStringLiteral("PWD")).value_or(QString());
    const auto e = openError(pgWithout({QStringLiteral("UID"), QStringLiteral("PWD")}),
                             db::Credentials{QStringLiteral("varnock"), pwd});
    EXPECT_FALSE(e.has_value()) << e->message().toStdString();
}

TEST_F(PostgresLogin, RefusedPortIsNotALoginFailure) {
    const QString cs = pgWithout({QStringLiteral("Port")}) + QStringLiteral(";Port=%1").arg(closedPort());
    const auto e = openError(cs);
    ASSERT_TRUE(e.has_value());
    EXPECT_FALSE(e->message().startsWith(u"Login failed for user")) << e->message().toStdString();
    EXPECT_FALSE(db::isLoginFailure(e->sqlState(), e->message())) << e->message().toStdString();
    EXPECT_FALSE(e->message().isEmpty());
}
