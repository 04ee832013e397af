#pragma once

#include "Connection.h"

#include <QString>
#include <memory>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace vnk::db {

namespace sqlite {

// Owners of the two SQLite handles: move-only, closing without ever throwing. A connection
// closed while a statement lives is kept by SQLite until that statement is finalised.
struct CloseDb {
    void operator()(sqlite3* db) const noexcept;
};
struct FinalizeStmt {
    void operator()(sqlite3_stmt* stmt) const noexcept;
};
using Db = std::unique_ptr<sqlite3, CloseDb>;
using Stmt = std::unique_ptr<sqlite3_stmt, FinalizeStmt>;

}  // namespace sqlite

// Field kind, size, precision and scale for a declared column type ("VARCHAR(40)",
// "DECIMAL(12,2)", "INTEGER"); kind Unknown when the declared type does not decide and
// the values must.
FieldInfo fieldFromDeclaredType(std::string_view declaredType);

// The native SQLite provider. Opens an existing database file only (never creates one).
class SqliteDriver final : public Driver {
public:
    explicit SqliteDriver(const QString& databaseFile);
    ~SqliteDriver() override;

    // Runs every statement of the text in turn; the last one gives the rows.
    std::unique_ptr<RowSource> execute(const QString& sql) override;
    std::unique_ptr<ResultSet> schema(SchemaKind kind, const QStringList& restrictions) override;
    void beginTransaction() override;
    void commit() override;
    void rollback() override;

    sqlite3* handle() const { return db_.get(); }
    const QString& databaseFile() const { return file_; }

private:
    void exec(const char* sql);

    QString file_;
    sqlite::Db db_;
};

}  // namespace vnk::db
