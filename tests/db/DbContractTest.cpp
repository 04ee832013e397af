// The database contract, once for every backend: native SQLite, ODBC through the SQLite
// ODBC driver, PostgreSQL through psqlODBC, MariaDB through its ODBC driver.

#include "Backends.h"

#include "db/ConnectionString.h"
#include "db/OdbcDriver.h"

#include <QStringList>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <clocale>
#include <limits>
#include <map>
#include <string>
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
    case Backend::MariaDb:
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
    // MariaDB has no schemas: its databases (catalogs) stand in for them.
    const QString schema =
        pg() ? QStringLiteral("public")
             : mariadb() ? db::ConnectionString(connString_).value(QStringLiteral("Database")).value_or(QString())
                         : QStringLiteral("main");

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
        if (mariadb()) {
            EXPECT_EQ(e.sqlState(), QStringLiteral("42000")) << e.message().toStdString();
        }
    }
    try {
        open(QStringLiteral("SELECT * FROM vnk_no_such_table"));
        FAIL() << "no error";
    } catch (const db::DbError& e) {
        EXPECT_TRUE(e.message().contains(u"vnk_no_such_table")) << e.message().toStdString();
    }
    // A message quoting non-ASCII text ends where its text ends.
    try {
        open(QStringLiteral("SELECT FROM 'ÄÖÜ東京'"));
        FAIL() << "no error";
    } catch (const db::DbError& e) {
        EXPECT_FALSE(e.message().contains(QChar(0))) << e.message().toStdString();
        EXPECT_FALSE(e.message().trimmed().isEmpty());
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

namespace {

struct IntegerCase {
    const char* type;
    FieldKind kind;
    const char* max;
    const char* min;
    const char* mid;
    std::int64_t maxBits, minBits, midBits;  // int64At: an unsigned value's bit pattern
};

constexpr std::int64_t kI64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kI64Max = std::numeric_limits<std::int64_t>::max();

// Each integer type the backend has, at both limits and one value between them.
std::vector<IntegerCase> integerCases(Backend b) {
    using K = FieldKind;
    const IntegerCase tiny{"TINYINT", K::SmallInt, "127", "-128", "-1", 127, -128, -1};
    const IntegerCase small{"SMALLINT", K::SmallInt, "32767", "-32768", "-1", 32767, -32768, -1};
    const IntegerCase mid{"MEDIUMINT", K::Integer, "8388607", "-8388608", "-1", 8388607, -8388608, -1};
    const IntegerCase integer{"INT", K::Integer, "2147483647", "-2147483648", "-1", 2147483647,
                              -2147483647 - 1, -1};
    const IntegerCase big{"BIGINT", K::LargeInt, "9223372036854775807",
                          "(-9223372036854775807 - 1)", "-1", kI64Max, kI64Min, -1};
    switch (b) {
    case Backend::Sqlite:
    case Backend::OdbcSqlite:
        return {tiny, small, integer, big};
    case Backend::Postgres:
        return {small, {"INTEGER", K::Integer, "2147483647", "-2147483648", "-1", 2147483647,
                        -2147483647 - 1, -1},
                big};
    case Backend::MariaDb:
        return {tiny,
                {"TINYINT UNSIGNED", K::SmallInt, "255", "0", "128", 255, 0, 128},
                small,
                {"SMALLINT UNSIGNED", K::Word, "65535", "0", "32768", 65535, 0, 32768},
                mid,
                {"MEDIUMINT UNSIGNED", K::LargeInt, "16777215", "0", "8388608", 16777215, 0, 8388608},
                integer,
                {"INT UNSIGNED", K::LargeInt, "4294967295", "0", "2147483648", 4294967295LL, 0,
                 2147483648LL},
                big,
                {"BIGINT UNSIGNED", K::LargeUInt, "18446744073709551615", "0",
                 "9223372036854775808", -1, 0, kI64Min}};
    }
    return {};
}

// Sets the C library's numeric locale for a while: drivers that turn a number's text
// into a double with the C library follow it.
class NumericLocale {
public:
    explicit NumericLocale(const char* name) : old_(std::setlocale(LC_NUMERIC, nullptr)) {
        ok_ = std::setlocale(LC_NUMERIC, name) != nullptr;
    }
    ~NumericLocale() { std::setlocale(LC_NUMERIC, old_.c_str()); }
    bool ok() const { return ok_; }

private:
    std::string old_;
    bool ok_ = false;
};

}  // namespace

// Every integer width, signed and unsigned, at its limits; sorted as numbers of their
// own kind (an unsigned 64-bit value above 2^63 is no negative number).
TEST_P(DbContract, IntegersAtTheirLimits) {
    const std::vector<IntegerCase> cases = integerCases(backend());
    const QString t = extraTable(QStringLiteral("ints"));
    QStringList cols, maxs, mins, mids;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        cols << QStringLiteral("c%1 %2").arg(i).arg(QLatin1String(cases[i].type));
        maxs << QLatin1String(cases[i].max);
        mins << QLatin1String(cases[i].min);
        mids << QLatin1String(cases[i].mid);
    }
    exec(QStringLiteral("CREATE TABLE %1 (id INTEGER NOT NULL PRIMARY KEY, %2)").arg(t, cols.join(u", ")));
    exec(QStringLiteral("INSERT INTO %1 VALUES (1, %2)").arg(t, maxs.join(u", ")));
    exec(QStringLiteral("INSERT INTO %1 VALUES (2, %2)").arg(t, mins.join(u", ")));
    exec(QStringLiteral("INSERT INTO %1 VALUES (3, %2)").arg(t, mids.join(u", ")));

    db::ResultSet& rs = open(QStringLiteral("SELECT * FROM %1 ORDER BY id").arg(t));
    ASSERT_EQ(rs.recordCount(), 3);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const IntegerCase& k = cases[i];
        const int c = static_cast<int>(i) + 1;
        SCOPED_TRACE(k.type);
        EXPECT_STREQ(db::kindName(rs.field(c).kind), db::kindName(k.kind));
        EXPECT_EQ(rs.int64At(0, c), k.maxBits);
        EXPECT_EQ(rs.int64At(1, c), k.minBits);
        EXPECT_EQ(rs.int64At(2, c), k.midBits);
        rs.setSort(QStringLiteral("c%1 ASC").arg(i));
        EXPECT_EQ(ids(rs), (std::vector<std::int64_t>{2, 3, 1}));
        rs.setSort(QStringLiteral("c%1 DESC").arg(i));
        EXPECT_EQ(ids(rs), (std::vector<std::int64_t>{1, 3, 2}));
        rs.setSort(QString());
    }
}

// DECIMAL and NUMERIC arrive as doubles on every backend, and a single-precision column as
// the double value of its float; under a numeric locale whose decimal separator is a comma
// as under any other.
TEST_P(DbContract, DecimalsAndSinglePrecisionArriveAsDoubles) {
    const NumericLocale german("de_DE.UTF-8");
    ASSERT_TRUE(german.ok()) << "the de_DE.UTF-8 locale is not installed (Debian locales-all)";
    // SQLite has no single precision: its REAL is a double.
    const bool single = pg() || mariadb();
    const QString t = extraTable(QStringLiteral("nums"));
    exec(QStringLiteral("CREATE TABLE %1 (id INTEGER NOT NULL PRIMARY KEY, d DECIMAL(30,2), "
                        "n NUMERIC(12,3), r %2)")
             .arg(t, mariadb() ? QStringLiteral("FLOAT") : QStringLiteral("REAL")));
    exec(QStringLiteral("INSERT INTO %1 VALUES (1, 12.5, -0.125, 1.1)").arg(t));
    exec(QStringLiteral("INSERT INTO %1 VALUES (2, 12345678901234567890, 123456.789, -2.25)").arg(t));

    db::ResultSet& rs = open(QStringLiteral("SELECT d, n, r FROM %1 ORDER BY id").arg(t));
    ASSERT_EQ(rs.recordCount(), 2);
    EXPECT_STREQ(db::kindName(rs.field(0).kind), "Decimal");
    EXPECT_STREQ(db::kindName(rs.field(1).kind), "Decimal");
    EXPECT_STREQ(db::kindName(rs.field(2).kind), "Float");
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(rs.valueStorage(r, c), db::Storage::Double) << r << "," << c;
    }
    EXPECT_EQ(rs.doubleAt(0, 0), 12.5);
    // 15 significant digits of the double: what every export writes
    EXPECT_EQ(QString::number(rs.doubleAt(1, 0), 'g', 15), QStringLiteral("1.23456789012346e+19"));
    EXPECT_EQ(rs.doubleAt(0, 1), -0.125);
    EXPECT_EQ(rs.doubleAt(1, 1), 123456.789);
    EXPECT_EQ(rs.doubleAt(0, 2), single ? static_cast<double>(1.1f) : 1.1);
    EXPECT_EQ(QString::number(rs.doubleAt(0, 2), 'g', 15),
              single ? QStringLiteral("1.10000002384186") : QStringLiteral("1.1"));
    EXPECT_EQ(rs.doubleAt(1, 2), -2.25);
}

INSTANTIATE_TEST_SUITE_P(Backends, DbContract,
                         ::testing::Values(Backend::Sqlite, Backend::OdbcSqlite, Backend::Postgres,
                                           Backend::MariaDb),
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
    EXPECT_TRUE(e->isLoginFailure());
    EXPECT_EQ(errorText(std::make_exception_ptr(*e)), e->message());

    // the login prompt's answer goes as UID/PWD, replacing the string's own
    const auto viaPrompt = openError(postgresConnectionString(),
                                     db::Credentials{QStringLiteral("varnock"), QStringLiteral("wrong")});
    ASSERT_TRUE(viaPrompt.has_value());
    EXPECT_TRUE(viaPrompt->message().startsWith(u"Login failed for user 'varnock'. "));
    EXPECT_TRUE(viaPrompt->isLoginFailure());
}

TEST_F(PostgresLogin, MissingPasswordIsALoginFailure) {
    const auto e = openError(pgWithout({QStringLiteral("PWD")}));
    ASSERT_TRUE(e.has_value());
    EXPECT_TRUE(e->message().startsWith(u"Login failed for user 'varnock'. ")) << e->message().toStdString();
    EXPECT_TRUE(e->isLoginFailure());
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
    EXPECT_FALSE(e->isLoginFailure());
    EXPECT_FALSE(e->message().isEmpty());
}

// ---- MariaDB logins: the driver says 28000 "Access denied for user"

TEST(MariaDbLogin, WrongPasswordIsMarkedALoginFailureAndARefusedPortIsNot) {
    if (mariadbConnectionString().isEmpty())
        GTEST_SKIP() << "\n*** VARNOCK_TEST_MARIADB is empty: MariaDB logins are NOT tested. ***";
    const db::ConnectionString cs(mariadbConnectionString());
    const auto openError = [](const QString& connString) -> std::optional<db::DbError> {
        db::Connection c;
        c.setConnectionString(connString);
        try {
            c.open();
        } catch (const db::DbError& e) {
            return e;
        }
        return std::nullopt;
    };

    const auto wrong = openError(cs.without({QStringLiteral("PWD")}) +
                                 QStringLiteral(";PWD=not-the-password"));
    ASSERT_TRUE(wrong.has_value());
    EXPECT_TRUE(wrong->isLoginFailure());
    EXPECT_TRUE(wrong->message().startsWith(u"Login failed for user 'varnock'. "))
        << wrong->message().toStdString();
    EXPECT_TRUE(wrong->message().contains(u"Access denied for user")) << wrong->message().toStdString();
    EXPECT_EQ(wrong->sqlState(), QStringLiteral("28000"));

    const auto refused = openError(cs.without({QStringLiteral("Port")}) +
                                   QStringLiteral(";Port=%1").arg(closedPort()));
    ASSERT_TRUE(refused.has_value());
    EXPECT_FALSE(refused->isLoginFailure()) << refused->message().toStdString();
    EXPECT_FALSE(refused->message().startsWith(u"Login failed for user"));
}
