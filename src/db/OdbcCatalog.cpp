#include "OdbcCatalog.h"

#include "DbError.h"

#include <sql.h>
#include <sqlext.h>

#include <vector>

namespace vnk::db {

namespace {

// Owns an ODBC 3 environment handle.
class Environment {
public:
    Environment() {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_)))
            throw DbError(QStringLiteral("Cannot allocate an ODBC environment"));
        try {
            check(SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION,
                                reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(SQL_OV_ODBC3)),
                                0));
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_ENV, env_);
            throw;
        }
    }
    ~Environment() { SQLFreeHandle(SQL_HANDLE_ENV, env_); }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;
    SQLHENV get() const { return env_; }

    // SQL_NO_DATA ends a listing; anything else that did not succeed raises.
    bool check(SQLRETURN rc) const {
        if (rc == SQL_NO_DATA)
            return false;
        if (SQL_SUCCEEDED(rc))
            return true;
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLCHAR text[SQL_MAX_MESSAGE_LENGTH] = {};
        SQLSMALLINT length = 0;
        if (SQL_SUCCEEDED(SQLGetDiagRec(SQL_HANDLE_ENV, env_, 1, state, &native, text,
                                        sizeof text, &length)))
            throw DbError(QString::fromUtf8(reinterpret_cast<const char*>(text)),
                          QString::fromLatin1(reinterpret_cast<const char*>(state)),
                          static_cast<int>(native));
        throw DbError(QStringLiteral("ODBC driver manager error"));
    }

private:
    SQLHENV env_ = SQL_NULL_HENV;
};

QString fromOdbc(const std::vector<SQLCHAR>& buffer) {
    return QString::fromUtf8(reinterpret_cast<const char*>(buffer.data()));
}

}  // namespace

QStringList odbcDataSources() {
    Environment env;
    QStringList names;
    std::vector<SQLCHAR> name(SQL_MAX_DSN_LENGTH + 1), description(1024);
    SQLSMALLINT nameLength = 0, descriptionLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (env.check(SQLDataSources(env.get(), direction, name.data(),
                                    static_cast<SQLSMALLINT>(name.size()), &nameLength,
                                    description.data(),
                                    static_cast<SQLSMALLINT>(description.size()),
                                    &descriptionLength))) {
        names << fromOdbc(name);
        direction = SQL_FETCH_NEXT;
    }
    return names;
}

QStringList odbcDrivers() {
    Environment env;
    QStringList names;
    std::vector<SQLCHAR> name(1024), attributes(4096);
    SQLSMALLINT nameLength = 0, attributesLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (env.check(SQLDrivers(env.get(), direction, name.data(),
                                static_cast<SQLSMALLINT>(name.size()), &nameLength,
                                attributes.data(), static_cast<SQLSMALLINT>(attributes.size()),
                                &attributesLength))) {
        names << fromOdbc(name);
        direction = SQL_FETCH_NEXT;
    }
    return names;
}

}  // namespace vnk::db
