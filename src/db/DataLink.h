#pragma once

#include <QString>

namespace vnk::db {

// The fields of a connection string as the data-link dialog edits them.
struct DataLink {
    enum class Kind { SQLite, OdbcDsn, OdbcDriver };
    Kind kind = Kind::SQLite;
    QString database;    // SQLite: Data Source
    QString dsn;         // ODBC: DSN
    QString driver;      // ODBC: Driver, without braces
    QString attributes;  // further pairs, as typed ("Server=x;Port=5432"); kept verbatim
    QString user;        // UID (User ID when read)
    QString password;    // PWD (Password when read)

    // Splits a connection string into the fields; pairs the fields do not name go to
    // attributes unchanged (a provider other than SQLite or MSDASQL among them).
    static DataLink parse(const QString& connectionString);
    // SQLite: "Provider=SQLite;Data Source=<file>"; ODBC: "DSN=<name>" or
    // "Driver={<driver>}", then the attributes, then UID and PWD when given.
    QString connectionString() const;
    bool operator==(const DataLink&) const = default;
};

// A value as a connection string holds it: quoted in braces when it would otherwise be
// read differently (";", braces, quotes, blanks at either end).
QString quoteConnectionValue(const QString& value);

}  // namespace vnk::db
