// Streaming fetch speed through the ODBC provider against psql --csv on the same rows.
// Needs the test server's ODBC string in VARNOCK_TEST_PG (scripts/pg-test-server.sh).
// Usage: bench_odbc_fetch [rows]   (default 1000000). Run by hand; prints the figures.
#include "db/ConnectionString.h"
#include "db/DbError.h"
#include "db/OdbcDriver.h"

#include <QCoreApplication>
#include <QProcess>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/resource.h>

using namespace vnk::db;

namespace {

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// CPU seconds: steadier than wall time on a machine shared with other work.
double cpuSelf() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double cpuChildren() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

const char* kQuery =
    "SELECT id, id * 3000000000 AS big, (id % 1000) / 7.0 AS amount, id * 0.5 AS ratio, "
    "'name ' || id AS label, 'Zürich – 東京 ' || (id % 97) AS city, "
    "TIMESTAMP '2024-01-01' + id * INTERVAL '1 second' AS stamp, id % 2 = 0 AS flag "
    "FROM vnk_bench ORDER BY id";

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString cs = QString::fromUtf8(qgetenv("VARNOCK_TEST_PG"));
    if (cs.isEmpty()) {
        std::fprintf(stderr, "VARNOCK_TEST_PG is empty: start scripts/pg-test-server.sh first\n");
        return 1;
    }
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    try {
        auto d = openOdbcDriver(cs, std::nullopt);
        d->execute(QStringLiteral("DROP TABLE IF EXISTS vnk_bench"));
        d->execute(QStringLiteral("CREATE TABLE vnk_bench AS SELECT g AS id FROM generate_series(1, %1) g")
                       .arg(rows));
        d->execute(QStringLiteral("ANALYZE vnk_bench"));

        // psql --csv to /dev/null: the reference
        const ConnectionString c(cs);
        QProcess psql;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGPASSWORD"), c.value(QStringLiteral("PWD")).value_or(QString()));
        psql.setProcessEnvironment(env);
        psql.setStandardOutputFile(QStringLiteral("/dev/null"));
        const auto p0 = std::chrono::steady_clock::now();
        psql.start(QStringLiteral("psql"),
                   {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("--csv"),
                    QStringLiteral("-h"), c.value(QStringLiteral("Server")).value_or(QString()),
                    QStringLiteral("-p"), c.value(QStringLiteral("Port")).value_or(QString()),
                    QStringLiteral("-U"), c.value(QStringLiteral("UID")).value_or(QString()),
                    QStringLiteral("-d"), c.value(QStringLiteral("Database")).value_or(QString()),
                    QStringLiteral("-c"), QString::fromUtf8(kQuery)});
        psql.waitForFinished(-1);
        const double psqlSeconds = seconds(std::chrono::steady_clock::now() - p0);
        const double psqlCpu = cpuChildren();

        // the provider: every value of every row read in its storage form
        const double c0 = cpuSelf();
        const auto t0 = std::chrono::steady_clock::now();
        auto src = d->execute(QString::fromUtf8(kQuery));
        const auto t1 = std::chrono::steady_clock::now();
        long n = 0;
        std::size_t bytes = 0;
        double sum = 0;
        const auto& fields = src->fields();
        while (src->next()) {
            ++n;
            for (int col = 0; col < static_cast<int>(fields.size()); ++col) {
                if (src->isNull(col))
                    continue;
                switch (storageOf(fields[static_cast<std::size_t>(col)].kind)) {
                case Storage::Int64: sum += static_cast<double>(src->int64At(col)); break;
                case Storage::Double: sum += src->doubleAt(col); break;
                case Storage::Text: bytes += src->textAt(col).size(); break;
                case Storage::Bytes: bytes += static_cast<std::size_t>(src->bytesAt(col).size()); break;
                case Storage::DateTime: sum += static_cast<double>(src->dateTimeAt(col)); break;
                case Storage::Boolean: sum += src->boolAt(col) ? 1 : 0; break;
                }
            }
        }
        const auto t2 = std::chrono::steady_clock::now();
        const double odbcCpu = cpuSelf() - c0;
        d->execute(QStringLiteral("DROP TABLE vnk_bench"));

        const double total = seconds(t2 - t0);
        std::printf("rows %ld, %zu columns\n", n, fields.size());
        std::printf("psql --csv > /dev/null   %8.3f s\n", psqlSeconds);
        std::printf("ODBC execute             %8.3f s\n", seconds(t1 - t0));
        std::printf("ODBC fetch all values    %8.3f s\n", seconds(t2 - t1));
        std::printf("ODBC total               %8.3f s  (%.2fx psql), %.0f rows/s\n", total,
                    total / psqlSeconds, static_cast<double>(n) / total);
        std::printf("client CPU: psql %.3f s, ODBC %.3f s (%.2fx)\n", psqlCpu, odbcCpu,
                    odbcCpu / psqlCpu);
        std::printf("(text bytes %zu, checksum %g)\n", bytes, sum);
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
    return 0;
}
