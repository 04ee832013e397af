#pragma once

#include "share/Error.h"

#include <QString>
#include <vector>

namespace vnk::db {

struct Diagnostic {
    QString sqlState;
    int nativeCode = 0;
    QString text;
};

// One message text, as the provider gave it; ODBC errors also keep every diagnostic record.
class DbError : public Error {
public:
    explicit DbError(const QString& message, QString sqlState = {}, int nativeCode = 0,
                     std::vector<Diagnostic> records = {});
    // The provider refused the credentials (wrong or missing user name or password): the
    // message of `cause` after "Login failed for user '<user>'. ", its diagnostics kept.
    static DbError loginFailure(const QString& user, const DbError& cause);

    const QString& sqlState() const { return sqlState_; }
    int nativeCode() const { return nativeCode_; }
    const std::vector<Diagnostic>& records() const { return records_; }
    // Set only by loginFailure: callers offer the login prompt on this, not on the text.
    bool isLoginFailure() const { return loginFailure_; }

private:
    QString sqlState_;
    int nativeCode_;
    std::vector<Diagnostic> records_;
    bool loginFailure_ = false;
};

// Raised by Query::open for a statement that yields no row set.
inline const QString kNoResultSetMessage =
    QStringLiteral("ADOQry1: CommandText does not return a result set");

}  // namespace vnk::db
