#pragma once

// The database backends the contract runs against, each with the same small table of
// every kind of column, created in its own DDL.

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/ResultSet.h"
#include "TestSupport.h"

#include <QDate>
#include <QStringList>
#include <QString>
#include <QTemporaryDir>
#include <QTime>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <memory>
#include <string>

namespace vnk::test {

enum class Backend { Sqlite, OdbcSqlite, Postgres, MariaDb };

inline const char* backendName(Backend b) {
    switch (b) {
    case Backend::Sqlite: return "Sqlite";
    case Backend::OdbcSqlite: return "OdbcSqlite";
    case Backend::Postgres: return "Postgres";
    case Backend::MariaDb: return "MariaDb";
    }
    return "?";
}

struct BackendName {
    std::string operator()(const ::testing::TestParamInfo<Backend>& info) const {
        return backendName(info.param);
    }
};

// A text of about 6000 characters, non-ASCII and outside the BMP too: longer than any
// bound buffer, so it must be read whole in pieces.
inline QString longText() {
    QString s;
    for (int i = 0; s.size() < 6000; ++i)
        s += QStringLiteral("Grüße %1 東京 😀 ").arg(i);
    return s;
}

inline const QString& wideText() {
    static const QString s = QString::fromUtf8("Zürich – 東京");
    return s;
}

// Values of one cell as a neutral text, so that backends holding a value in different
// storage forms (a decimal as text in one driver, as a number in another) compare alike.
inline QString cellText(const db::ResultSet& rs, std::int64_t row, int col) {
    using db::Storage;
    if (rs.isNull(row, col))
        return QStringLiteral("<null>");
    const db::FieldKind kind = rs.field(col).kind;
    switch (db::storageOf(kind)) {
    case Storage::Int64:
        return QString::number(rs.int64At(row, col));
    case Storage::Double:
        return QString::number(rs.doubleAt(row, col), 'g', 15);
    case Storage::Boolean:
        return rs.boolAt(row, col) ? QStringLiteral("true") : QStringLiteral("false");
    case Storage::Bytes:
        return QString::fromLatin1(rs.bytesAt(row, col).toHex());
    case Storage::DateTime: {
        const std::int64_t ms = rs.dateTimeAt(row, col);
        std::int64_t days = ms / db::kMsPerDay;
        std::int64_t rest = ms % db::kMsPerDay;
        if (rest < 0) {
            rest += db::kMsPerDay;
            --days;
        }
        return QDate(1899, 12, 30).addDays(days).toString(QStringLiteral("yyyy-MM-dd")) + u' ' +
               QTime::fromMSecsSinceStartOfDay(static_cast<int>(rest)).toString(QStringLiteral("hh:mm:ss.zzz"));
    }
    case Storage::Text: {
        const std::string_view t = rs.textAt(row, col);
        QString s = QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
        if (kind == db::FieldKind::FixedChar || kind == db::FieldKind::FixedWideChar) {
            while (s.endsWith(u' '))
                s.chop(1);  // CHAR(n) comes blank-padded from some drivers
        }
        return s;
    }
    }
    return {};
}

// One backend with the table "vnk_kinds_<pid>" (unique, so that test processes can run
// side by side on one server) holding four rows.
class BackendTest : public ::testing::TestWithParam<Backend> {
protected:
    Backend backend() const { return GetParam(); }

    void SetUp() override {
        table_ = QStringLiteral("vnk_kinds_%1").arg(::getpid());
        ASSERT_TRUE(dir_.isValid());
        const QString file = dir_.filePath(QStringLiteral("contract.db"));
        switch (backend()) {
        case Backend::Sqlite: {
            // the native provider opens existing files only
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open_v2(file.toUtf8().constData(), &db,
                                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
                      SQLITE_OK);
            sqlite3_close(db);
            connString_ = QStringLiteral("Provider=SQLite;Data Source=") + file;
            break;
        }
        case Backend::OdbcSqlite:
            connString_ = QStringLiteral("Driver=SQLite3;Database=") + file;
            break;
        case Backend::Postgres:
            connString_ = postgresConnectionString();
            if (connString_.isEmpty())
                GTEST_SKIP() << "\n*** VARNOCK_TEST_PG is empty: the PostgreSQL backend is NOT "
                                "tested. Run scripts/test.sh, or start a server with "
                                "scripts/pg-test-server.sh start DIR and export its line. ***";
            break;
        case Backend::MariaDb:
            connString_ = mariadbConnectionString();
            if (connString_.isEmpty())
                GTEST_SKIP() << "\n*** VARNOCK_TEST_MARIADB is empty: the MariaDB backend is NOT "
                                "tested. Run scripts/test.sh, or start a server with "
                                "scripts/mariadb-test-server.sh start DIR and export its line. ***";
            break;
        }
        conn_.setConnectionString(connString_);
        conn_.setWorkFolder(dir_.path());
        ASSERT_NO_THROW(conn_.open());
        createTable();
    }

    void TearDown() override {
        if (conn_.isOpen() && server()) {
            for (const QString& t : extraTables_ + QStringList{table_}) {
                try {
                    exec(QStringLiteral("DROP TABLE IF EXISTS ") + t);
                } catch (const db::DbError&) {
                }
            }
        }
    }

    bool pg() const { return backend() == Backend::Postgres; }
    bool mariadb() const { return backend() == Backend::MariaDb; }
    // A server shared by the test processes of a run: tables must be dropped again.
    bool server() const { return pg() || mariadb(); }

    QString blob(const char* hex) const {
        return pg() ? QStringLiteral("decode('%1', 'hex')").arg(QLatin1String(hex))
                    : QStringLiteral("x'%1'").arg(QLatin1String(hex));
    }

    void createTable() {
        // MariaDB: BOOLEAN would be TINYINT(1), a number; BIT(1) is its Boolean column.
        // TIMESTAMP would follow the session's time zone; DATETIME is the plain one.
        const QString ddl = pg()
            ? QStringLiteral("CREATE TABLE %1 (id INTEGER NOT NULL PRIMARY KEY, big BIGINT, "
                             "small SMALLINT, amount DECIMAL(10,2), ratio DOUBLE PRECISION, "
                             "code CHAR(5), label VARCHAR(40), city VARCHAR(40), notes TEXT, "
                             "day DATE, clock TIME, stamp TIMESTAMP, flag BOOLEAN, raw BYTEA)")
            : mariadb()
            ? QStringLiteral("CREATE TABLE %1 (id INTEGER NOT NULL PRIMARY KEY, big BIGINT, "
                             "small SMALLINT, amount DECIMAL(10,2), ratio DOUBLE, "
                             "code CHAR(5), label VARCHAR(40), city VARCHAR(40), notes TEXT, "
                             "day DATE, clock TIME, stamp DATETIME, flag BIT(1), raw BLOB) "
                             "ENGINE=InnoDB DEFAULT CHARSET=utf8mb4")
            : QStringLiteral("CREATE TABLE %1 (id INTEGER NOT NULL PRIMARY KEY, big BIGINT, "
                             "small SMALLINT, amount DECIMAL(10,2), ratio DOUBLE, "
                             "code CHAR(5), label VARCHAR(40), city NVARCHAR(40), notes TEXT, "
                             "day DATE, clock TIME, stamp TIMESTAMP, flag BOOLEAN, raw BLOB)");
        exec(ddl.arg(table_));
        const QString insert = QStringLiteral("INSERT INTO %1 VALUES ").arg(table_);
        exec(insert + QStringLiteral("(1, 3000000000, 7, 12.34, 1.5, 'ab', 'plain', '%1', '%2', "
                                     "'2024-02-29', '13:45:30', '2024-02-29 00:00:00', TRUE, %3)")
                          .arg(wideText(), longText(), blob("00ff10")));
        exec(insert + QStringLiteral("(2, -5, -3, -0.5, -2.25, 'xyz', 'b', 'ü', 'short', "
                                     "'1899-12-30', '00:00:00', '2023-12-31 23:59:59', FALSE, %1)")
                          .arg(blob("01")));
        exec(insert + QStringLiteral("(3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
                                     "NULL, NULL, NULL, NULL)"));
        exec(insert + QStringLiteral("(10, 9, 1, 0, 0, 'z', 'Ä', 'ä', '', '2000-01-01', "
                                     "'23:59:59', '2000-01-01 12:00:00', TRUE, %1)")
                          .arg(blob("")));
    }

    void exec(const QString& sql) { conn_.execute(sql); }

    // The name of another table for this test, free to be created; dropped at the end.
    QString extraTable(const QString& suffix) {
        const QString name = table_ + u'_' + suffix;
        if (server())
            exec(QStringLiteral("DROP TABLE IF EXISTS ") + name);
        extraTables_ << name;
        return name;
    }

    // Query::open on the data module's query; the held result stays with the query.
    db::ResultSet& open(const QString& sql) {
        query_ = std::make_unique<db::Query>(conn_);
        query_->setSql(sql);
        query_->open();
        return *query_->result();
    }

    db::ResultSet& openAll() {
        return open(QStringLiteral("SELECT * FROM %1 ORDER BY id").arg(table_));
    }

    QTemporaryDir dir_;
    QString connString_;
    QString table_;
    QStringList extraTables_;
    db::Connection conn_;
    std::unique_ptr<db::Query> query_;
};

}  // namespace vnk::test
