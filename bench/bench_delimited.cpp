// Export of 1,000,000 rows of 8 mixed columns: delimited text streamed from the SQLite
// statement (the batch run) and from a held result (the window), against the sqlite3
// shell's own CSV output of the same query; then xlsx from the held result, against
// python3-xlsxwriter in constant-memory mode (xlsxwriter_reference.py beside this file).
// Run by hand; prints the figures.
//   bench_delimited [rounds] [sqlite3 program] [held|xlsx]   (that export alone, for a profiler)
#include "db/Connection.h"
#include "db/DbError.h"
#include "export/DelimitedWriter.h"
#include "export/ExportErrors.h"
#include "export/Spreadsheet.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace vnk::db;
using namespace vnk::exporting;

namespace {

constexpr int kRows = 1000000;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double cpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// CPU time of every finished child process (the sqlite3 shell).
double childCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    auto sec = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return sec(u.ru_utime) + sec(u.ru_stime);
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

// Integers, a 64-bit column, ASCII and wide texts, a decimal, a float, a date-time, a date.
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
    checkRc(db,
            sqlite3_prepare_v2(db, "INSERT INTO bench VALUES(?,?,?,?,?,?,?,?)", -1, &st, nullptr));
    static const char* const kWide[] = {"Müller-Lüdenscheidt", "Ångström Æther", "Žluťoučký kůň",
                                        "Καλημέρα κόσμε",      "Добрый день",    "東京都千代田区"};
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

struct Best {
    double wall = 1e9, cpu = 1e9;
    void take(double w, double c) {
        wall = std::min(wall, w);
        cpu = std::min(cpu, c);
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const QString shell = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("sqlite3");
    const bool heldOnly = argc > 3 && std::strcmp(argv[3], "held") == 0;
    const bool xlsxOnly = argc > 3 && std::strcmp(argv[3], "xlsx") == 0;
    const QDir tmp = QDir::temp();
    const QString file = tmp.filePath(QStringLiteral("varnock_bench_fetch.sqlite"));
    const QByteArray path = file.toUtf8();
    if (existingRows(path) != kRows) {
        std::printf("generating %d rows into %s ...\n", kRows, path.constData());
        generate(path);
    }
    const QString sql = QStringLiteral("SELECT * FROM bench");
    const QString shellOut = tmp.filePath(QStringLiteral("varnock_bench_sqlite3.csv"));
    const QString streamOut = tmp.filePath(QStringLiteral("varnock_bench_streamed.csv"));
    const QString heldOut = tmp.filePath(QStringLiteral("varnock_bench_held.csv"));

    UserFormats formats; // fixed formats: the figures do not depend on the machine's locale
    formats.shortDate = QStringLiteral("dd/MM/yyyy");
    formats.longTime = QStringLiteral("HH:mm:ss");

    Best shellTime, streamTime, heldTime, xlsxTime;
    const QString xlsxOut = tmp.filePath(QStringLiteral("varnock_bench_held.xlsx"));
    std::int64_t written = 0;
    try {
        Connection conn;
        conn.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + file);
        conn.open();
        Query q(conn);
        q.setSql(sql);
        q.open(); // the held result of an interactive run (not timed here)

        DelimitedOptions opt;
        opt.delimiter = QStringLiteral(",");
        for (int r = 0; r < rounds && heldOnly; ++r) {
            opt.fileName = heldOut;
            const double t0 = now(), c0 = cpuSeconds();
            auto held = q.result()->rows();
            written = writeDelimitedFile(*held, opt, formats);
            heldTime.take(now() - t0, cpuSeconds() - c0);
        }
        for (int r = 0; r < rounds && xlsxOnly; ++r) {
            SpreadsheetOptions sheet;
            sheet.format = 1;
            sheet.fileName = xlsxOut;
            sheet.documentName = QStringLiteral("bench.vnk");
            const double t0 = now(), c0 = cpuSeconds();
            auto held = q.result()->rows();
            exportToSpreadsheet(*held, sheet, formats);
            xlsxTime.take(now() - t0, cpuSeconds() - c0);
        }
        if (xlsxOnly) {
            std::printf("xlsx export         %.3f s wall, %.3f s CPU\n", xlsxTime.wall, xlsxTime.cpu);
            QFile::remove(xlsxOut);
            return 0;
        }
        if (heldOnly) {
            const double mb = static_cast<double>(QFileInfo(heldOut).size()) / 1e6;
            std::printf("held export         %.3f s wall, %.3f s CPU, %.0f MB/s\n", heldTime.wall,
                        heldTime.cpu, mb / heldTime.wall);
            QFile::remove(heldOut);
            return 0;
        }
        for (int r = 0; r < rounds; ++r) {
            // Each timed step starts with the files of the steps before it on disk: their
            // write-back would otherwise compete with it for the processor.
            ::sync();
            // the sqlite3 shell, as a user would run it instead
            QProcess p;
            p.setStandardOutputFile(shellOut);
            double t0 = now();
            const double child0 = childCpuSeconds();
            p.start(shell, {QStringLiteral("-csv"), QStringLiteral("-header"), file, sql});
            p.waitForFinished(-1);
            const double shellWall = now() - t0;
            if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
                std::fprintf(stderr, "%s failed\n", qPrintable(shell));
                return 1;
            }
            shellTime.take(shellWall, childCpuSeconds() - child0);

            // streamed from the statement, as the batch run does
            ::sync();
            opt.fileName = streamOut;
            t0 = now();
            double c0 = cpuSeconds();
            auto rows = conn.execute(sql);
            written = writeDelimitedFile(*rows, opt, formats);
            streamTime.take(now() - t0, cpuSeconds() - c0);

            // from the held result
            ::sync();
            opt.fileName = heldOut;
            t0 = now();
            c0 = cpuSeconds();
            auto held = q.result()->rows();
            writeDelimitedFile(*held, opt, formats);
            heldTime.take(now() - t0, cpuSeconds() - c0);

            // xlsx from the held result
            ::sync();
            SpreadsheetOptions sheet;
            sheet.format = 1;
            sheet.fileName = xlsxOut;
            sheet.documentName = QStringLiteral("bench.vnk");
            t0 = now();
            c0 = cpuSeconds();
            auto heldAgain = q.result()->rows();
            exportToSpreadsheet(*heldAgain, sheet, formats);
            xlsxTime.take(now() - t0, cpuSeconds() - c0);
        }
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    } catch (const ExportError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    if (written != kRows) {
        std::fprintf(stderr, "wrote %lld rows\n", static_cast<long long>(written));
        return 1;
    }
    const double mb = static_cast<double>(QFileInfo(heldOut).size()) / 1e6;
    const double shellMb = static_cast<double>(QFileInfo(shellOut).size()) / 1e6;
    std::printf("rows                %d, 8 columns, best of %d\n", kRows, rounds);
    std::printf("sqlite3 -csv        %.3f s wall, %.3f s CPU (%.1f MB)\n", shellTime.wall,
                shellTime.cpu, shellMb);
    std::printf("streamed export     %.3f s wall, %.3f s CPU (%.1f MB)\n", streamTime.wall,
                streamTime.cpu, mb);
    std::printf("held export         %.3f s wall, %.3f s CPU, %.0f MB/s (target >= 300)\n",
                heldTime.wall, heldTime.cpu, mb / heldTime.wall);
    std::printf("streamed / sqlite3  %.2f wall, %.2f CPU (target <= 1.0)\n",
                streamTime.wall / shellTime.wall, streamTime.cpu / shellTime.cpu);
    std::printf("xlsx export         %.3f s wall, %.3f s CPU (%.1f MB)\n", xlsxTime.wall,
                xlsxTime.cpu, static_cast<double>(QFileInfo(xlsxOut).size()) / 1e6);

    // the reference: python3-xlsxwriter, constant memory, one round
    const QString script = QDir(QStringLiteral(VARNOCK_BENCH_DIR))
                               .filePath(QStringLiteral("xlsxwriter_reference.py"));
    const QString refOut = tmp.filePath(QStringLiteral("varnock_bench_reference.xlsx"));
    QProcess py;
    ::sync();
    const double t0 = now();
    py.start(QStringLiteral("/usr/bin/python3"), {script, file, refOut, sql});
    py.waitForFinished(-1);
    const double pyWall = now() - t0;
    if (py.exitStatus() != QProcess::NormalExit || py.exitCode() != 0) {
        std::printf("xlsxwriter reference failed: %s\n", py.readAllStandardError().constData());
    } else {
        std::printf("xlsxwriter (python) %.3f s wall (%.1f MB)\n", pyWall,
                    static_cast<double>(QFileInfo(refOut).size()) / 1e6);
        std::printf("xlsx / xlsxwriter   %.2f wall (target <= 0.33)\n", xlsxTime.wall / pyWall);
    }
    QFile::remove(shellOut);
    QFile::remove(streamOut);
    QFile::remove(heldOut);
    QFile::remove(xlsxOut);
    QFile::remove(refOut);
    return 0;
}
