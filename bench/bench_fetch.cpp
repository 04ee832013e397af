// Fetch speed and held size of a large SQLite result: a bare sqlite3_step loop reading
// every column against Query::open into the held result, and the held bytes against the
// same rows written as CSV. Run by hand; prints the figures.
#include "db/Connection.h"
#include "db/DbError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>
#include <string>
#include <ctime>
#include <sys/resource.h>

using namespace vnk::db;

namespace {

constexpr int kRows = 1000000;

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// CPU time of this thread: steadier than wall time on a machine shared with other work.
long minorFaults() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return u.ru_minflt;
}

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void checkRc(sqlite3* db, int rc) {
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

int existingRows(const QByteArray& path) {
    sqlite3* db = nullptr;
    int n = -1;
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM bench", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return n;
}

void generate(const QByteArray& path) {
    QFile::remove(QString::fromUtf8(path));
    sqlite3* db = nullptr;
    checkRc(db, sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                nullptr));
    checkRc(db, sqlite3_exec(db,
                             "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                             "CREATE TABLE bench(id INTEGER PRIMARY KEY, big BIGINT, "
                             "name VARCHAR(40), wide NVARCHAR(60), amount DECIMAL(12,2), "
                             "ratio REAL, stamp DATETIME, day DATE); BEGIN",
                             nullptr, nullptr, nullptr));
    sqlite3_stmt* st = nullptr;
    checkRc(db, sqlite3_prepare_v2(db, "INSERT INTO bench VALUES(?,?,?,?,?,?,?,?)", -1, &st,
                                   nullptr));
    static const char* const kWide[] = {"Müller-Lüdenscheidt", "Ångström Æther", "Žluťoučký kůň",
                                        "Καλημέρα κόσμε", "Добрый день", "東京都千代田区"};
    std::uint64_t x = 88172645463325252ull;
    auto rnd = [&x] {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        return x;
    };
    char buf[128];
    for (int i = 1; i <= kRows; ++i) {
        sqlite3_bind_int64(st, 1, i);
        sqlite3_bind_int64(st, 2, 3000000000LL + static_cast<long long>(rnd() % 1000000000000ULL));
        std::snprintf(buf, sizeof buf, "Customer %d %c%c", i, 'A' + static_cast<int>(rnd() % 26),
                      'a' + static_cast<int>(rnd() % 26));
        sqlite3_bind_text(st, 3, buf, -1, SQLITE_TRANSIENT);
        std::snprintf(buf, sizeof buf, "%s %d", kWide[rnd() % 6], i % 977);
        sqlite3_bind_text(st, 4, buf, -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(st, 5, static_cast<double>(rnd() % 10000000) / 100.0);
        sqlite3_bind_double(st, 6, static_cast<double>(rnd() % 1000000007) / 1000000007.0);
        const int y = 1990 + static_cast<int>(rnd() % 35), mo = 1 + static_cast<int>(rnd() % 12),
                  d = 1 + static_cast<int>(rnd() % 28);
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d,
                      static_cast<int>(rnd() % 24), static_cast<int>(rnd() % 60),
                      static_cast<int>(rnd() % 60));
        sqlite3_bind_text(st, 7, buf, -1, SQLITE_TRANSIENT);
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, mo, d);
        sqlite3_bind_text(st, 8, buf, -1, SQLITE_TRANSIENT);
        checkRc(db, sqlite3_step(st));
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    checkRc(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr));
    sqlite3_close(db);
}

// Reads every column the way a hand-written client would; returns a checksum.
std::uint64_t bareLoop(const QByteArray& path, std::size_t* csvBytes) {
    sqlite3* db = nullptr;
    checkRc(db, sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr));
    sqlite3_stmt* st = nullptr;
    checkRc(db, sqlite3_prepare_v2(db, "SELECT * FROM bench", -1, &st, nullptr));
    std::uint64_t sum = 0;
    std::size_t csv = 0;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        sum += static_cast<std::uint64_t>(sqlite3_column_int64(st, 0));
        sum += static_cast<std::uint64_t>(sqlite3_column_int64(st, 1));
        for (int c : {2, 3, 6, 7}) {
            const unsigned char* t = sqlite3_column_text(st, c);
            sum += static_cast<std::uint64_t>(sqlite3_column_bytes(st, c)) + (t ? t[0] : 0);
        }
        sum += static_cast<std::uint64_t>(sqlite3_column_double(st, 4));
        sum += static_cast<std::uint64_t>(sqlite3_column_double(st, 5) * 1000);
        if (csvBytes) {
            // The row as a CSV line: every value in SQLite's text form, commas, CR LF.
            for (int c = 0; c < 8; ++c) {
                sqlite3_column_text(st, c);
                csv += static_cast<std::size_t>(sqlite3_column_bytes(st, c)) + 1;
            }
            csv += 1;  // the 8th separator is the CR of CR LF
        }
    }
    checkRc(db, rc);
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (csvBytes)
        *csvBytes = csv;
    return sum;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString file = QDir::temp().filePath(QStringLiteral("varnock_bench_fetch.sqlite"));
    const QByteArray path = file.toUtf8();
    if (existingRows(path) != kRows) {
        std::printf("generating %d rows into %s ...\n", kRows, path.constData());
        generate(path);
    }

    std::size_t csvBytes = 0;
    bareLoop(path, &csvBytes);  // warms the page cache and measures the CSV form

    double bare = 1e9, held = 1e9, bareCpu = 1e9, heldCpu = 1e9, firstCpu = 0;
    std::size_t memory = 0;
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    const bool heldOnly = argc > 2 && std::strcmp(argv[2], "held") == 0;  // for a profiler
    try {
        Connection conn;
        conn.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + file);
        conn.open();
        Query q(conn);
        q.setSql(QStringLiteral("SELECT * FROM bench"));
        for (int r = 0; r < rounds; ++r) {
            auto t0 = std::chrono::steady_clock::now();
            double c0 = cpuSeconds();
            if (!heldOnly) {
                volatile std::uint64_t sink = bareLoop(path, nullptr);
                (void)sink;
            }
            bareCpu = std::min(bareCpu, cpuSeconds() - c0);
            bare = std::min(bare, seconds(std::chrono::steady_clock::now() - t0));

            q.close();
            t0 = std::chrono::steady_clock::now();
            c0 = cpuSeconds();
            const long f0 = minorFaults();
            q.open();
            const double cpu = cpuSeconds() - c0;
            std::printf("  round %d: Query::open %.3f s CPU, %ld page faults\n", r + 1, cpu,
                        minorFaults() - f0);
            heldCpu = std::min(heldCpu, cpu);
            if (r == 0)
                firstCpu = cpu;
            held = std::min(held, seconds(std::chrono::steady_clock::now() - t0));
            if (q.result()->recordCount() != kRows) {
                std::fprintf(stderr, "wrong row count %lld\n",
                             static_cast<long long>(q.result()->recordCount()));
                return 1;
            }
            memory = q.result()->memoryUsage();
        }
        ResultSet& rs = *q.result();
        for (const char* sortText : {"wide ASC", "name DESC", "stamp ASC"}) {
            const auto t0 = std::chrono::steady_clock::now();
            rs.setSort(QString::fromUtf8(sortText));
            std::printf("sort %-10s      %.3f s\n", sortText, seconds(std::chrono::steady_clock::now() - t0));
        }
        std::printf("fields:");
        for (const FieldInfo& f : rs.fields())
            std::printf(" %s:%s", qPrintable(f.name), kindName(f.kind));
        std::printf("\n");
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    std::printf("rows               %d\n", kRows);
    std::printf("bare sqlite3_step  %.3f s wall, %.3f s CPU (best of %d)\n", bare, bareCpu, rounds);
    std::printf("Query::open        %.3f s wall, %.3f s CPU\n", held, heldCpu);
    std::printf("fetch ratio        %.2f wall, %.2f CPU (target <= 1.3)\n", held / bare,
                heldCpu / bareCpu);
    // The first fetch writes into pages the process never had; later ones reuse the pages
    // the closed result held.
    std::printf("first fetch        %.2f CPU ratio (fresh memory)\n", firstCpu / bareCpu);
    std::printf("held bytes         %zu\n", memory);
    std::printf("CSV bytes          %zu\n", csvBytes);
    std::printf("memory ratio       %.2f (target <= 1.5)\n",
                static_cast<double>(memory) / static_cast<double>(csvBytes));
    return 0;
}
