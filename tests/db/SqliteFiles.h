#pragma once

// Small SQLite database files for the native provider's tests, written with SQLite itself.

#include <QString>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace vnk::test {

// Creates the file and runs the script in it.
inline void createSqliteFile(const QString& path, const char* script) {
    sqlite3* db = nullptr;
    const QByteArray p = path.toUtf8();
    ASSERT_EQ(sqlite3_open_v2(p.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                              nullptr),
              SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, script, nullptr, nullptr, &error);
    const std::string text = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << text;
}

inline QString sqliteConnectionString(const QString& path) {
    return QStringLiteral("Provider=SQLite;Data Source=") + path;
}

}  // namespace vnk::test
