#include "OdbcCatalog.h"

#include "OdbcHandles.h"

#include <vector>

namespace vnk::db {

namespace {

odbc::Environment odbc3Environment() {
    odbc::Environment env(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    env.check(SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION,
                            reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(SQL_OV_ODBC3)), 0),
              "SQLSetEnvAttr");
    return env;
}

// Both listings walk the driver manager's entries with FIRST, then NEXT, until NO_DATA.
template <class Fetch>
QStringList listNames(Fetch fetch) {
    const odbc::Environment env = odbc3Environment();
    QStringList names;
    std::vector<SQLWCHAR> name(1024), description(4096);
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLSMALLINT nameLength = 0, descriptionLength = 0;
        const SQLRETURN rc = fetch(static_cast<SQLHENV>(env.get()), direction, name.data(),
                                   static_cast<SQLSMALLINT>(name.size()), &nameLength,
                                   description.data(),
                                   static_cast<SQLSMALLINT>(description.size()),
                                   &descriptionLength);
        if (env.check(rc, "SQLDataSources/SQLDrivers") == SQL_NO_DATA)
            break;
        names << QString::fromUtf16(reinterpret_cast<const char16_t*>(name.data()));
        direction = SQL_FETCH_NEXT;
    }
    return names;
}

}  // namespace

QStringList odbcDataSources() {
    return listNames(&SQLDataSourcesW);
}

QStringList odbcDrivers() {
    return listNames(&SQLDriversW);
}

}  // namespace vnk::db
