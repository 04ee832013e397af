#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace vnk::test {

// A private settings folder and event-log file for one test: XDG_CONFIG_HOME and
// VARNOCK_EVENT_LOG point into a fresh temporary folder until the object goes away.
class IsolatedEnvironment {
public:
    IsolatedEnvironment();
    ~IsolatedEnvironment();
    QString path() const { return dir_.path(); }
    QString settingsFile() const;
    QString eventLogFile() const;
    // Every entry of the event log file, one message per entry.
    QStringList eventLogMessages() const;

private:
    QTemporaryDir dir_;
    QByteArray oldConfig_, oldLog_;
    bool hadConfig_, hadLog_;
};

// Connection string of the test PostgreSQL server through psqlODBC, from
// VARNOCK_TEST_PG (empty when no server was started for this run).
QString postgresConnectionString();

// Connection string of the test MariaDB server through its ODBC driver, from
// VARNOCK_TEST_MARIADB (empty when no server was started for this run).
QString mariadbConnectionString();

// Path of the demo database built with the program.
QString demoDatabasePath();

}  // namespace vnk::test
