// Rows read through a cursor the program declares itself, portion by portion, on the real
// PostgreSQL server through psqlODBC: the same rows as the plain statement, the connection
// back in autocommit whichever way the reading ends.

#include "Backends.h"

#include "db/Connection.h"
#include "db/CursorRows.h"

#include <QCoreApplication>

using namespace vnk;
using namespace vnk::test;

namespace {

#define REQUIRE_PG()                                                                         \
    do {                                                                                     \
        if (postgresConnectionString().isEmpty())                                            \
            GTEST_SKIP() << "\n*** VARNOCK_TEST_PG is empty: PostgreSQL is NOT tested. ***"; \
    } while (0)

std::unique_ptr<db::Connection> openPg(const QString& settings = {}) {
    auto c = std::make_unique<db::Connection>();
    c->setConnectionString(postgresConnectionString() + settings);
    c->open();
    return c;
}

QString scalar(db::Connection& c, const QString& sql) {
    auto rows = c.execute(sql);
    if (!rows || !rows->next())
        return QStringLiteral("<none>");
    return QString::fromUtf8(rows->textAt(0));
}

// Each statement in autocommit is a transaction of its own.
bool autocommit(db::Connection& c) {
    const QString sql = QStringLiteral("select pg_current_xact_id()::text");
    return scalar(c, sql) != scalar(c, sql);
}

std::vector<std::pair<QString, QString>> readAll(db::RowSource& rows) {
    std::vector<std::pair<QString, QString>> out;
    while (rows.next())
        out.emplace_back(QString::fromUtf8(rows.textAt(0)),
                         rows.isNull(1) ? QStringLiteral("<null>") : QString::fromUtf8(rows.textAt(1)));
    return out;
}

}  // namespace

TEST(CursorRows, GiveTheRowsOfThePlainStatementAcrossPortions) {
    REQUIRE_PG();
    // psqlODBC told to read in portions itself, or not: the program's cursor reads the same.
    for (const QString& settings : {QString(), QStringLiteral(";UseDeclareFetch=1;Fetch=3")}) {
        auto c = openPg(settings);
        for (int count : {0, 1, 9, 10, 11, 30, 47}) {
            SCOPED_TRACE((settings + QStringLiteral(" rows %1").arg(count)).toStdString());
            const QString sql =
                QStringLiteral("select x::text as id, case when x % 3 = 0 then null else 'r' || x end as v\n"
                               "from generate_series(1, %1) x order by x -- trailing comment;\n ;  ")
                    .arg(count);
            auto plain = c->execute(sql);
            ASSERT_TRUE(plain);
            const auto expected = readAll(*plain);
            const auto plainFields = plain->fields();
            plain.reset();

            std::unique_ptr<db::CursorRows> rows = db::CursorRows::open(*c, sql, 10);
            ASSERT_TRUE(rows);
            ASSERT_EQ(rows->fields().size(), plainFields.size());
            for (std::size_t i = 0; i < plainFields.size(); ++i) {
                EXPECT_EQ(rows->fields()[i].name, plainFields[i].name);
                EXPECT_EQ(rows->fields()[i].kind, plainFields[i].kind);
            }
            EXPECT_EQ(readAll(*rows), expected);
            EXPECT_EQ(static_cast<int>(expected.size()), count);
            EXPECT_FALSE(rows->next());
            EXPECT_TRUE(autocommit(*c));
        }
    }
}

TEST(CursorRows, DeclarationsTheServerRefusesLeaveTheStatementToRunAsUsual) {
    REQUIRE_PG();
    auto c = openPg();
    const QString table = QStringLiteral("vnk_cursor_%1").arg(QCoreApplication::applicationPid());
    (void)c->execute(QStringLiteral("drop table if exists ") + table);
    (void)c->execute(QStringLiteral("create table ") + table + QStringLiteral(" (n int)"));
    for (const QString& sql :
         {QStringLiteral("with d as (insert into ") + table + QStringLiteral(" values (1)) select 1"),
          QStringLiteral("select 2 as n into temp vnk_into"), QStringLiteral("select * from nosuch_table")}) {
        SCOPED_TRACE(sql.toStdString());
        EXPECT_EQ(db::CursorRows::open(*c, sql, 10), nullptr);
        EXPECT_TRUE(autocommit(*c));
    }
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(*)::text from ") + table), QStringLiteral("0"))
        << "a refused declaration ran something";
    (void)c->execute(QStringLiteral("drop table ") + table);
}

TEST(CursorRows, FailuresAndUnfinishedReadsEndTheTransaction) {
    REQUIRE_PG();
    auto c = openPg();
    const QString failing =
        QStringLiteral("select x::text, 1 / (x - 25) from generate_series(1, 40) x");
    {
        std::unique_ptr<db::CursorRows> rows = db::CursorRows::open(*c, failing, 10);
        ASSERT_TRUE(rows);
        int read = 0;
        try {
            while (rows->next())
                ++read;
            ADD_FAILURE() << "no error";
        } catch (const db::DbError& e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("ERROR: division by zero")))
                << e.message().toStdString();
            EXPECT_FALSE(e.message().contains(QStringLiteral("varnock_rows"))) << e.message().toStdString();
        }
        EXPECT_EQ(read, 20);
        EXPECT_TRUE(autocommit(*c));
    }
    // Failing in the first portion: raised by open.
    EXPECT_THROW(db::CursorRows::open(*c, QStringLiteral("select x / 0 from generate_series(1, 3) x"), 10),
                 db::DbError);
    EXPECT_TRUE(autocommit(*c));

    // Dropped after a few rows: the cursor goes with its transaction, and the next one opens.
    for (int round = 0; round < 2; ++round) {
        std::unique_ptr<db::CursorRows> rows =
            db::CursorRows::open(*c, QStringLiteral("select x::text from generate_series(1, 100) x"), 10);
        ASSERT_TRUE(rows);
        ASSERT_TRUE(rows->next());
        ASSERT_TRUE(rows->next());
        EXPECT_EQ(QString::fromUtf8(rows->textAt(0)), QStringLiteral("2"));
        rows.reset();
        EXPECT_TRUE(autocommit(*c));
    }
}
