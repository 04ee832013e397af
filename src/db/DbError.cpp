#include "DbError.h"

namespace vnk::db {

DbError::DbError(const QString& message, QString sqlState, int nativeCode,
                 std::vector<Diagnostic> records)
    : std::runtime_error(message.toStdString()), message_(message), sqlState_(std::move(sqlState)),
      nativeCode_(nativeCode), records_(std::move(records)) {}

}  // namespace vnk::db
