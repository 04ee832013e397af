#pragma once

#include <QString>
#include <stdexcept>
#include <vector>

namespace vnk::db {

struct Diagnostic {
    QString sqlState;
    int nativeCode = 0;
    QString text;
};

// One message text, as the provider gave it; ODBC errors also keep every diagnostic record.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& message, QString sqlState = {}, int nativeCode = 0,
                     std::vector<Diagnostic> records = {});
    QString message() const { return message_; }
    const QString& sqlState() const { return sqlState_; }
    int nativeCode() const { return nativeCode_; }
    const std::vector<Diagnostic>& records() const { return records_; }

private:
    QString message_;
    QString sqlState_;
    int nativeCode_;
    std::vector<Diagnostic> records_;
};

// Raised by Query::open for a statement that yields no row set.
inline const QString kNoResultSetMessage =
    QStringLiteral("ADOQry1: CommandText does not return a result set");

}  // namespace vnk::db
