#include "Connection.h"

#include "ConnectionString.h"
#include "OdbcDriver.h"
#include "SqliteDriver.h"

#include <QDir>
#include <QRegularExpression>
#include <algorithm>

namespace vnk::db {

namespace {

const QString& notOpenMessage() {
    static const QString text =
        QStringLiteral("Operation is not allowed when the object is closed.");
    return text;
}

bool isLoginDiagnostic(const DbError& e) {
    if (isLoginFailure(e.sqlState(), e.message()))
        return true;
    return std::any_of(e.records().begin(), e.records().end(), [](const Diagnostic& d) {
        return isLoginFailure(d.sqlState, d.text);
    });
}

}  // namespace

bool isLoginFailure(const QString& sqlState, const QString& text) {
    if (sqlState == u"28000" || sqlState == u"28P01")
        return true;
    static const char16_t* const kTexts[] = {
        u"password authentication failed",       // PostgreSQL
        u"fe_sendauth: no password supplied",    // libpq without a password
        u"Access denied for user",               // MySQL, MariaDB
        u"Login failed for user",                // SQL Server
        u"Invalid authorization",                // the standard text of SQLSTATE 28000
        u"invalid username/password",            // Oracle
        u"authentication failed for user",
    };
    for (const char16_t* t : kTexts) {
        if (text.contains(QStringView(t), Qt::CaseInsensitive))
            return true;
    }
    // PostgreSQL: FATAL:  role "x" does not exist (a wrong user name)
    static const QRegularExpression role(QStringLiteral("\\brole \"[^\"]*\" does not exist"));
    return role.match(text).hasMatch();
}

QString loginUserName(const QString& connectionString) {
    const ConnectionString cs(connectionString);
    if (auto v = cs.value(QStringLiteral("User ID")))
        return *v;
    return cs.value(QStringLiteral("UID")).value_or(QString());
}

std::unique_ptr<Driver> openDriver(const QString& connectionString,
                                   const std::optional<Credentials>& credentials,
                                   const QString& workFolder) {
    const ConnectionString cs(connectionString);
    const QString provider = cs.value(QStringLiteral("Provider")).value_or(QString()).trimmed();

    if (provider.compare(u"SQLite", Qt::CaseInsensitive) == 0 ||
        provider.compare(u"SQLite3", Qt::CaseInsensitive) == 0) {
        const QString source = cs.value(QStringLiteral("Data Source")).value_or(QString());
        if (source.trimmed().isEmpty())
            throw DbError(QStringLiteral("The connection string names no database file "
                                         "(Data Source=)."));
        const QDir base(workFolder.isEmpty() ? QDir::currentPath() : workFolder);
        return std::make_unique<SqliteDriver>(QDir::cleanPath(base.absoluteFilePath(source)));
    }

    if (!provider.isEmpty() && provider.compare(u"MSDASQL", Qt::CaseInsensitive) != 0)
        throw DbError(QStringLiteral("The provider \"%1\" cannot be found. "
                                     "It may not be properly installed.")
                          .arg(provider));

    const QString odbc = cs.contains(QStringLiteral("Provider"))
                             ? cs.without({QStringLiteral("Provider")})
                             : connectionString;
    try {
        return openOdbcDriver(odbc, credentials);
    } catch (const DbError& e) {
        // Callers retry with a login prompt on the mark, whatever the driver said.
        if (e.isLoginFailure() || !isLoginDiagnostic(e))
            throw;
        const QString user = credentials ? credentials->user : loginUserName(connectionString);
        throw DbError::loginFailure(user, e);
    }
}

// ---- Connection

Connection::Connection(bool sharesLiteralRule) : sharesLiteralRule_(sharesLiteralRule) {}
Connection::~Connection() = default;

void Connection::open(const std::optional<Credentials>& credentials) {
    close();
    driver_ = openDriver(connString_, credentials, workFolder_);
    if (sharesLiteralRule_)
        setConnectionLiteralRule(driver_->stringLiteralRule());
}

void Connection::close() {
    driver_.reset();
    if (sharesLiteralRule_)
        setConnectionLiteralRule(StringLiteralRule::Standard);
}

std::unique_ptr<ResultSet> Connection::openSchema(SchemaKind kind, const QStringList& restrictions) {
    if (!driver_)
        throw DbError(notOpenMessage());
    return driver_->schema(kind, restrictions);
}

void Connection::beginTransaction() {
    if (!driver_)
        throw DbError(notOpenMessage());
    driver_->beginTransaction();
}

void Connection::commit() {
    if (!driver_)
        throw DbError(notOpenMessage());
    driver_->commit();
}

void Connection::rollback() {
    if (!driver_)
        throw DbError(notOpenMessage());
    driver_->rollback();
}

std::unique_ptr<RowSource> Connection::execute(const QString& sql) {
    if (!driver_)
        throw DbError(notOpenMessage());
    return driver_->execute(sql);
}

// ---- Query

void Query::open() {
    dropResult();
    std::unique_ptr<RowSource> rows = conn_.execute(sql_);
    if (!rows)
        throw DbError(kNoResultSetMessage);
    result_ = ResultSet::fetchAll(*rows);
}

void Query::close() {
    dropResult();
}

void Query::dropResult() {
    if (!result_)
        return;
    // A listener may remove itself while being told.
    const auto listeners = dropListeners_;
    for (const auto& [id, listener] : listeners)
        listener();
    result_.reset();
}

int Query::addResultDropListener(std::function<void()> listener) {
    const int id = nextListenerId_++;
    dropListeners_.emplace_back(id, std::move(listener));
    return id;
}

void Query::removeResultDropListener(int id) {
    std::erase_if(dropListeners_, [id](const auto& l) { return l.first == id; });
}

}  // namespace vnk::db
