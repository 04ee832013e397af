#pragma once

#include <QStringList>

namespace vnk::db {

// Names of the ODBC data sources (user and system) the driver manager knows, in its order.
// Raises DbError when the driver manager cannot be reached.
QStringList odbcDataSources();

// Descriptions of the installed ODBC drivers, as used in Driver={...}.
QStringList odbcDrivers();

}  // namespace vnk::db
