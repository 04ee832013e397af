// What the ODBC provider does beyond the common contract: driver manager errors,
// credentials in the connection string, long values and many rows through the block
// fetch, psqlODBC's type reporting.

#include "Backends.h"

#include "db/ConnectionString.h"
#include "db/OdbcDriver.h"

#include <QCryptographicHash>
#include <QStringList>

using namespace vnk;
using namespace vnk::test;
using db::FieldKind;

namespace {

std::unique_ptr<db::ResultSet> fetch(db::Driver& d, const QString& sql) {
    auto rows = d.execute(sql);
    if (!rows)
        throw db::DbError(db::kNoResultSetMessage);
    return db::ResultSet::fetchAll(*rows);
}

QString text(const db::ResultSet& rs, std::int64_t row, int col) {
    return cellText(rs, row, col);
}

std::unique_ptr<db::Driver> openPg() {
    return db::openOdbcDriver(postgresConnectionString(), std::nullopt);
}

#define REQUIRE_PG()                                                                         \
    do {                                                                                     \
        if (postgresConnectionString().isEmpty())                                            \
            GTEST_SKIP() << "\n*** VARNOCK_TEST_PG is empty: PostgreSQL is NOT tested. ***"; \
    } while (0)

}  // namespace

TEST(OdbcConnect, UnknownDataSourceGivesTheDriverManagerText) {
    try {
        db::openOdbcDriver(QStringLiteral("DSN=vnk_no_such_dsn"), std::nullopt);
        FAIL() << "opened";
    } catch (const db::DbError& e) {
        EXPECT_TRUE(e.message().startsWith(u"[unixODBC][Driver Manager]Data source name not found"))
            << e.message().toStdString();
        EXPECT_EQ(e.sqlState(), QStringLiteral("IM002"));
        ASSERT_FALSE(e.records().empty());
        EXPECT_EQ(e.records().front().text, e.message());
        EXPECT_FALSE(db::isLoginFailure(e.sqlState(), e.message()));
    }
    // the placeholder used for an empty connection string fails the same way
    EXPECT_THROW(db::openOdbcDriver(QStringLiteral("-"), std::nullopt), db::DbError);
}

TEST(OdbcConnect, CredentialsReplaceUserAndPasswordBracedWhenNeeded) {
    struct Case {
        const char* in;
        const char* user;
        const char* password;
        const char* out;
    } cases[] = {
        {"DSN=x", "u", "p", "DSN=x;UID=u;PWD=p"},
        {"DSN=x;", "u", "p", "DSN=x;UID=u;PWD=p"},
        {"DSN=x;UID=old;PWD=old;Port=5", "u", "p", "DSN=x;Port=5;UID=u;PWD=p"},
        {"Driver={A B};uid=old;Password=old", "u", "p", "Driver={A B};UID=u;PWD=p"},
        {"DSN=x", "me", "a;b", "DSN=x;UID=me;PWD={a;b}"},
        {"DSN=x", "me", "a}b{", "DSN=x;UID=me;PWD={a}}b{}"},
        {"DSN=x", "me", " pad", "DSN=x;UID=me;PWD={ pad}"},
        {"", "me", "", "UID=me;PWD="},
    };
    for (const Case& c : cases) {
        const QString got = db::odbcConnectionString(
            QString::fromUtf8(c.in),
            db::Credentials{QString::fromUtf8(c.user), QString::fromUtf8(c.password)});
        EXPECT_EQ(got.toStdString(), c.out) << c.in;
    }
    EXPECT_EQ(db::odbcConnectionString(QStringLiteral("DSN=x;PWD=keep"), std::nullopt),
              QStringLiteral("DSN=x;PWD=keep"));
}

TEST(OdbcConnect, BracedPasswordReachesPostgres) {
    REQUIRE_PG();
    auto admin = openPg();
    const QString role = QStringLiteral("vnk_brace_%1").arg(::getpid());
    const QString password = QStringLiteral("a;b}c{d=e");
    admin->execute(QStringLiteral("DROP ROLE IF EXISTS %1").arg(role));
    admin->execute(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2'").arg(role, password));
    struct Drop {
        db::Driver& d;
        QString role;
        ~Drop() {
            try {
                d.execute(QStringLiteral("DROP ROLE IF EXISTS %1").arg(role));
            } catch (const db::DbError&) {
            }
        }
    } drop{*admin, role};

    const QString base = db::ConnectionString(postgresConnectionString())
                             .without({QStringLiteral("UID"), QStringLiteral("PWD")});
    auto d = db::openOdbcDriver(base, db::Credentials{role, password});
    auto rs = fetch(*d, QStringLiteral("SELECT current_user"));
    EXPECT_EQ(text(*rs, 0, 0), role);
    d.reset();

    try {
        db::openOdbcDriver(base, db::Credentials{role, QStringLiteral("a;b}c")});
        FAIL() << "a wrong password opened";
    } catch (const db::DbError& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Login failed for user '%1'. ").arg(role)))
            << e.message().toStdString();
    }
}

// ---- values through both ODBC drivers

class OdbcValues : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (GetParam() == Backend::Postgres) {
            REQUIRE_PG();
            driver_ = openPg();
        } else {
            ASSERT_TRUE(dir_.isValid());
            driver_ = db::openOdbcDriver(
                QStringLiteral("Driver=SQLite3;Database=") + dir_.filePath(QStringLiteral("v.db")),
                std::nullopt);
        }
    }
    bool pg() const { return GetParam() == Backend::Postgres; }

    QTemporaryDir dir_;
    std::unique_ptr<db::Driver> driver_;
};

TEST_P(OdbcValues, UnicodeStatementNamesAndValuesRoundTrip) {
    const QString value = QString::fromUtf8("Zürich – 東京 😀");
    auto rs = fetch(*driver_, QStringLiteral("SELECT '%1' AS \"Spalte ü\"").arg(value));
    ASSERT_EQ(rs->recordCount(), 1);
    EXPECT_EQ(rs->field(0).name, QString::fromUtf8("Spalte ü"));
    EXPECT_EQ(text(*rs, 0, 0), value);
}

TEST_P(OdbcValues, LongTextAndBinaryComeWhole) {
    // far beyond any bound buffer; the emoji are surrogate pairs that may straddle pieces
    const QString piece = QString::fromUtf8("Zürich – 東京 😀 ");
    QString want;
    for (int i = 0; i < 20000; ++i)
        want += piece;
    if (!pg()) {
        driver_->execute(QStringLiteral("CREATE TABLE lt (t TEXT, v BLOB)"));
        driver_->execute(QStringLiteral("INSERT INTO lt SELECT replace(hex(zeroblob(20000)), '00', '%1'), "
                                        "randomblob(1200000)")
                             .arg(piece));
    }
    const QString sql = pg()
        ? QStringLiteral("SELECT repeat('%1', 20000), decode(repeat('00ff7f', 400000), 'hex'), "
                         "md5(decode(repeat('00ff7f', 400000), 'hex'))")
              .arg(piece)
        : QStringLiteral("SELECT t, v, hex(v) FROM lt");
    auto rs = fetch(*driver_, sql);
    ASSERT_EQ(rs->recordCount(), 1);
    const QString got = text(*rs, 0, 0);
    EXPECT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want);
    const QByteArray bytes = rs->bytesAt(0, 1);
    EXPECT_EQ(bytes.size(), 1200000);
    if (pg()) {
        EXPECT_EQ(QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex()),
                  text(*rs, 0, 2));
    } else {
        EXPECT_EQ(QString::fromLatin1(bytes.toHex().toUpper()), text(*rs, 0, 2));
    }
}

TEST_P(OdbcValues, ManyRowsAcrossBlocksWithMixedLengths) {
    // enough rows for several blocks; every 7th text is longer than its bound buffer, so
    // some values are re-read inside a block and the rest must stay in step
    if (!pg()) {
        driver_->execute(QStringLiteral("CREATE TABLE g (i INTEGER, t TEXT, b BIGINT)"));
        driver_->execute(QStringLiteral(
            "INSERT INTO g WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
            "SELECT i, substr(replace(hex(zeroblob(3000)), '00', 'xx'), 1, "
            "CASE WHEN i % 7 = 0 THEN 3000 ELSE i % 50 END), "
            "CASE WHEN i % 11 = 0 THEN NULL ELSE i * 3000000000 END FROM n"));
    }
    const QString sql = pg()
        ? QStringLiteral("SELECT i, repeat('x', CASE WHEN i % 7 = 0 THEN 3000 ELSE i % 50 END)::text, "
                         "CASE WHEN i % 11 = 0 THEN NULL ELSE i * 3000000000 END "
                         "FROM generate_series(1, 20000) AS g(i) ORDER BY i")
        : QStringLiteral("SELECT i, t, b FROM g ORDER BY i");
    auto rows = driver_->execute(sql);
    ASSERT_TRUE(rows);
    std::int64_t n = 0;
    while (rows->next()) {
        ++n;
        ASSERT_EQ(rows->int64At(0), n);
        const std::size_t len = n % 7 == 0 ? 3000 : static_cast<std::size_t>(n % 50);
        ASSERT_EQ(rows->textAt(1).size(), len) << "row " << n;
        ASSERT_EQ(rows->isNull(2), n % 11 == 0) << "row " << n;
        if (n % 11 != 0) {
            ASSERT_EQ(rows->int64At(2), n * 3000000000LL);
        }
    }
    EXPECT_EQ(n, 20000);
    EXPECT_FALSE(rows->next()) << "stays at the end";
}

TEST_P(OdbcValues, RowsOutliveTheDriverThatMadeThem) {
    if (!pg()) {
        driver_->execute(QStringLiteral("CREATE TABLE n (i INTEGER)"));
        driver_->execute(QStringLiteral("INSERT INTO n VALUES (1), (2)"));
    }
    auto rows = driver_->execute(pg() ? QStringLiteral("SELECT 1 UNION ALL SELECT 2")
                                      : QStringLiteral("SELECT i FROM n"));
    ASSERT_TRUE(rows);
    driver_.reset();
    std::int64_t sum = 0;
    while (rows->next())
        sum += rows->int64At(0);
    EXPECT_EQ(sum, 3);
}

INSTANTIATE_TEST_SUITE_P(Drivers, OdbcValues, ::testing::Values(Backend::OdbcSqlite, Backend::Postgres),
                         BackendName());

// ---- psqlODBC specifics

TEST(OdbcPostgres, TypesPsqlOdbcReportsItsOwnWay) {
    REQUIRE_PG();
    auto d = openPg();
    auto rs = fetch(*d, QStringLiteral(
        "SELECT 12.34::money AS m, true AS b, 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'::uuid AS g, "
        "repeat('v', 1000)::varchar AS v, 'c'::char(20) AS c, '12:34:56.789'::time AS t, "
        "'2020-01-02 03:04:05.678'::timestamp AS ts, 32767::int2 AS s, 1.5::real AS r, "
        "123456.789::numeric(12,3) AS n, 'x'::\"char\" AS qc, 'w'::char(2000) AS cw"));
    ASSERT_EQ(rs->recordCount(), 1);
    struct Want {
        const char* name;
        FieldKind kind;
        const char* text;
    };
    const Want want[] = {
        {"m", FieldKind::Currency, "12.34"},
        {"b", FieldKind::Boolean, "true"},
        {"g", FieldKind::Guid, nullptr},
        {"v", FieldKind::WideString, nullptr},
        {"c", FieldKind::FixedWideChar, "c"},
        {"t", FieldKind::Time, "1899-12-30 12:34:56.789"},
        {"ts", FieldKind::DateTime, "2020-01-02 03:04:05.678"},
        {"s", FieldKind::SmallInt, nullptr},
        {"r", FieldKind::Float, "1.5"},
        {"n", FieldKind::Decimal, "123456.789"},
        {"qc", FieldKind::FixedWideChar, "x"},
        // longer than psqlODBC's MaxVarcharSize (255): reported as long text
        {"cw", FieldKind::WideMemo, nullptr},
    };
    for (int c = 0; c < rs->fieldCount(); ++c) {
        const Want& w = want[c];
        EXPECT_EQ(rs->field(c).name, QLatin1String(w.name));
        EXPECT_STREQ(db::kindName(rs->field(c).kind), db::kindName(w.kind)) << w.name;
        if (w.text) {
            EXPECT_EQ(text(*rs, 0, c).toStdString(), w.text) << w.name;
        }
    }
    EXPECT_EQ(text(*rs, 0, 2).toLower(), QStringLiteral("a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11"));
    EXPECT_EQ(text(*rs, 0, 3), QString(1000, u'v')) << "an unbounded varchar is not cut at 255";
    EXPECT_EQ(rs->textAt(0, 11).size(), 2000u) << "char(2000) comes padded and whole";
    EXPECT_EQ(rs->field(9).precision, 12);
    EXPECT_EQ(rs->field(9).scale, 3);
}

TEST(OdbcPostgres, SerializableAutocommitConnection) {
    REQUIRE_PG();
    auto d = openPg();
    auto rs = fetch(*d, QStringLiteral("SHOW transaction_isolation"));
    EXPECT_EQ(text(*rs, 0, 0), QStringLiteral("serializable"));
}

TEST(OdbcPostgres, BatchGivesTheRowsOfItsSelect) {
    REQUIRE_PG();
    auto d = openPg();
    auto rs = fetch(*d, QStringLiteral("CREATE TEMP TABLE vnk_batch (a int); "
                                       "INSERT INTO vnk_batch VALUES (4), (5); "
                                       "SELECT sum(a) FROM vnk_batch"));
    ASSERT_EQ(rs->recordCount(), 1);
    EXPECT_EQ(text(*rs, 0, 0), QStringLiteral("9"));
}

TEST(OdbcPostgres, ChinookSampleIsLoaded) {
    REQUIRE_PG();
    const QString cs = db::ConnectionString(postgresConnectionString())
                           .without({QStringLiteral("Database")}) + QStringLiteral(";Database=chinook");
    std::unique_ptr<db::Driver> d;
    try {
        d = db::openOdbcDriver(cs, std::nullopt);
    } catch (const db::DbError& e) {
        GTEST_SKIP() << "no chinook database on the test server: " << e.message().toStdString();
    }
    auto rs = fetch(*d, QStringLiteral("SELECT count(*), sum(unit_price * quantity) FROM invoice_line"));
    EXPECT_EQ(text(*rs, 0, 0), QStringLiteral("2240"));
    EXPECT_NEAR(rs->doubleAt(0, 1), 2328.60, 0.001);
}

// psqlODBC reading through its own cursor names that cursor's statement after the server's
// message; the window's run (the data module's query) reports the server's message only.
TEST(OdbcPostgres, ErrorsWhileReadingInPortionsCarryTheServersMessageOnly) {
    REQUIRE_PG();
    db::Connection conn;
    conn.setConnectionString(postgresConnectionString() + QStringLiteral(";UseDeclareFetch=1;Fetch=100"));
    conn.open();
    for (const QString& sql :
         {QStringLiteral("select x, 1 / (x - 250) from generate_series(1, 400) x"),
          QStringLiteral("select 1 / 0")}) {
        SCOPED_TRACE(sql.toStdString());
        db::Query query(conn);
        query.setSql(sql);
        try {
            query.open();
            ADD_FAILURE() << "no error";
        } catch (const db::DbError& e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("ERROR: division by zero")))
                << e.message().toStdString();
            EXPECT_FALSE(e.message().contains(QStringLiteral("SQL_CUR"))) << e.message().toStdString();
            for (const db::Diagnostic& d : e.records())
                EXPECT_FALSE(d.text.contains(QStringLiteral("SQL_CUR"))) << d.text.toStdString();
        }
        EXPECT_FALSE(query.active());
    }
}

TEST(OdbcMessages, DriversOwnCursorStatementsAreLeftOut) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"ERROR: canceling statement due to user request;fetch 10000 in \"SQL_CUR0x55d0c8a3f2b0\"",
         "ERROR: canceling statement due to user request"},
        {"server closed the connection unexpectedly;\nfetch 100 in \"SQL_CUR0x7f\";\nThe connection has been lost",
         "server closed the connection unexpectedly;\nThe connection has been lost"},
        {"ERROR: division by zero;\nError while fetching the next result",
         "ERROR: division by zero;\nError while fetching the next result"},
        // The user's own words are kept.
        {"ERROR: cursor \"c\" does not exist;\nfetch 10 in c", "ERROR: cursor \"c\" does not exist;\nfetch 10 in c"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(db::withoutDriverStatement(QString::fromUtf8(c.text)).toStdString(), c.expected);
}
