#pragma once

#include "Connection.h"

#include <QString>
#include <memory>
#include <optional>

namespace vnk::db {

// Opens an ODBC connection: the string goes to SQLDriverConnect unchanged, except that
// credentials (the login prompt's answer) replace or add UID/PWD. Login failures raise
// a DbError marked isLoginFailure() whose text begins "Login failed for user".
std::unique_ptr<Driver> openOdbcDriver(const QString& odbcConnectionString,
                                       const std::optional<Credentials>&);

// The string handed to SQLDriverConnect: credentials replace UID/PWD (and their
// synonyms), braced when they hold ';', '{', '}' or outer blanks.
QString odbcConnectionString(const QString& connectionString,
                             const std::optional<Credentials>& credentials);

// A driver's message without the statement psqlODBC appends to it when it reads through a
// cursor of its own (';fetch 10000 in "SQL_CUR0x..."'). Every ODBC error goes through it.
QString withoutDriverStatement(const QString& text);

}  // namespace vnk::db
