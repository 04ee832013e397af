#include "DbError.h"

namespace vnk::db {

DbError::DbError(const QString& message, QString sqlState, int nativeCode,
                 std::vector<Diagnostic> records)
    : Error(message), sqlState_(std::move(sqlState)), nativeCode_(nativeCode),
      records_(std::move(records)) {}

DbError DbError::loginFailure(const QString& user, const DbError& cause) {
    DbError e(QStringLiteral("Login failed for user '%1'. ").arg(user) + cause.message(),
              cause.sqlState(), cause.nativeCode(), cause.records());
    e.loginFailure_ = true;
    return e;
}

}  // namespace vnk::db
