#pragma once

#include "DbError.h"
#include "ResultSet.h"
#include "share/AppState.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vnk::db {

struct Credentials {
    QString user;
    QString password;
};

enum class SchemaKind { Schemata, Tables, Columns };

// One provider's open connection (SQLite native or ODBC).
class Driver {
public:
    virtual ~Driver() = default;
    // Runs a statement; a statement that yields no row set returns nullptr.
    virtual std::unique_ptr<RowSource> execute(const QString& sql) = 0;
    // Schema rowsets with the columns CATALOG_NAME, SCHEMA_NAME (schemata);
    // TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE (tables);
    // TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, ORDINAL_POSITION, DATA_TYPE (columns).
    // restrictions: catalog, schema, table (empty entries mean any).
    virtual std::unique_ptr<ResultSet> schema(SchemaKind kind, const QStringList& restrictions) = 0;
    virtual void beginTransaction() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    // How the server reads a quoted string literal, as asked once when the connection opened.
    virtual StringLiteralRule stringLiteralRule() const { return StringLiteralRule::Standard; }
    // The database product behind the connection as the provider names it ("PostgreSQL",
    // "MariaDB", ...); empty when the provider does not say.
    virtual QString dbmsName() const { return {}; }
};

// Opens the provider chosen by the connection string's Provider= pair:
// SQLite/SQLite3 native, none or MSDASQL through ODBC, anything else an error.
// Blocking; safe to call from a worker thread. Login failures raise a DbError marked
// isLoginFailure() whose text begins "Login failed for user".
std::unique_ptr<Driver> openDriver(const QString& connectionString,
                                   const std::optional<Credentials>& credentials,
                                   const QString& workFolder);

// True when a provider's failure means wrong or missing credentials.
bool isLoginFailure(const QString& sqlState, const QString& text);

// The user name the login prompt starts with: User ID=, failing that UID=.
QString loginUserName(const QString& connectionString);

// The data module's connection (ADOConn1). Not copyable; one per process in the program.
class Connection {
public:
    // The program's connection (sharesLiteralRule) hands its server's literal rule to the
    // quoting of parameter values (setConnectionLiteralRule) on every open and close; a
    // passing connection, such as a connection test, leaves it alone.
    explicit Connection(bool sharesLiteralRule = false);
    ~Connection();
    void setConnectionString(const QString& text) { connString_ = text; }
    const QString& connectionString() const { return connString_; }
    void setWorkFolder(const QString& folder) { workFolder_ = folder; }

    // Blocking open; raises DbError. With credentials (the login prompt's answer) they
    // go to the provider as UID/PWD.
    void open(const std::optional<Credentials>& credentials = std::nullopt);
    void close();
    bool isOpen() const { return driver_ != nullptr; }
    bool loginPrompt() const { return loginPrompt_; }
    void setLoginPrompt(bool on) { loginPrompt_ = on; }

    std::unique_ptr<ResultSet> openSchema(SchemaKind kind, const QStringList& restrictions = {});
    void beginTransaction();
    void commit();
    void rollback();

    // Runs a statement: nullptr when it has no row set. Raises DbError when not open.
    std::unique_ptr<RowSource> execute(const QString& sql);
    Driver* driver() { return driver_.get(); }
    // The open server's literal rule; Standard while closed.
    StringLiteralRule stringLiteralRule() const {
        return driver_ ? driver_->stringLiteralRule() : StringLiteralRule::Standard;
    }
    QString dbmsName() const { return driver_ ? driver_->dbmsName() : QString(); }

    // Connection (ADOConn1) name shown by the login prompt.
    static QString name() { return QStringLiteral("ADOConn1"); }

private:
    QString connString_;
    QString workFolder_;
    bool loginPrompt_ = false;
    bool sharesLiteralRule_ = false;
    std::unique_ptr<Driver> driver_;
};

// The data module's query (ADOQry1): the statement text and the held result.
class Query {
public:
    explicit Query(Connection& conn) : conn_(conn) {}
    void setSql(const QString& sql) { sql_ = sql; }
    const QString& sql() const { return sql_; }
    // Runs the statement and holds every row. A statement without a row set raises
    // DbError(kNoResultSetMessage).
    void open();
    void close();
    bool active() const { return result_ != nullptr; }
    ResultSet* result() { return result_.get(); }
    const ResultSet* result() const { return result_.get(); }

    // Told just before the query lets go of a held result (close, or open of the next
    // statement), while result() still answers: a view showing the rows lets go first.
    // Returns an id for removeResultDropListener.
    int addResultDropListener(std::function<void()> listener);
    void removeResultDropListener(int id);

private:
    void dropResult();

    Connection& conn_;
    QString sql_;
    std::unique_ptr<ResultSet> result_;
    std::vector<std::pair<int, std::function<void()>>> dropListeners_;
    int nextListenerId_ = 1;
};

}  // namespace vnk::db
