#include "OdbcDriver.h"

#include "ConnectionString.h"
#include "OdbcHandles.h"
#include "OdbcRows.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <optional>

namespace vnk::db {

// psqlODBC adds to a server's message the statement it sent itself to read a portion
// through its own cursor (';fetch 10000 in "SQL_CUR0x..."'): the driver's doings, not the
// database's message, and meaningless to whoever reads the message.
QString withoutDriverStatement(const QString& text) {
    static const QRegularExpression fetch(
        QStringLiteral("\\s*;?\\s*fetch\\s+\\d+\\s+in\\s+\"SQL_CUR[^\"]*\""),
        QRegularExpression::CaseInsensitiveOption);
    QString out = text;
    out.remove(fetch);
    return out;
}

namespace odbc {

std::vector<Diagnostic> diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, bool narrow) {
    std::vector<Diagnostic> out;
    if (handle == SQL_NULL_HANDLE)
        return out;
    std::vector<SQLWCHAR> text(1024);
    std::vector<SQLCHAR> bytes(2048);
    for (SQLSMALLINT i = 1; i < 256; ++i) {
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        if (narrow) {
            SQLCHAR state[6] = {};
            SQLRETURN rc = SQLGetDiagRec(handleType, handle, i, state, &native, bytes.data(),
                                         static_cast<SQLSMALLINT>(bytes.size()), &len);
            if (rc == SQL_SUCCESS_WITH_INFO && len >= static_cast<SQLSMALLINT>(bytes.size())) {
                bytes.resize(static_cast<std::size_t>(len) + 1);
                rc = SQLGetDiagRec(handleType, handle, i, state, &native, bytes.data(),
                                   static_cast<SQLSMALLINT>(bytes.size()), &len);
            }
            if (!SQL_SUCCEEDED(rc))
                break;
            const qsizetype n = std::clamp<qsizetype>(len, 0, bytes.size() - 1);
            out.push_back({QString::fromLatin1(reinterpret_cast<const char*>(state), 5),
                           static_cast<int>(native),
                           QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()), n)});
            continue;
        }
        SQLWCHAR state[6] = {};
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, i, state, &native, text.data(),
                                      static_cast<SQLSMALLINT>(text.size()), &len);
        if (rc == SQL_SUCCESS_WITH_INFO && len >= static_cast<SQLSMALLINT>(text.size())) {
            text.resize(static_cast<std::size_t>(len) + 1);
            rc = SQLGetDiagRecW(handleType, handle, i, state, &native, text.data(),
                                static_cast<SQLSMALLINT>(text.size()), &len);
        }
        if (!SQL_SUCCEEDED(rc))
            break;
        const qsizetype units = std::clamp<qsizetype>(len, 0, text.size() - 1);
        QString message = fromWide(text.data(), units);
        // MariaDB's driver counts a message with non-ASCII text in UTF-8 bytes, so the
        // length runs past its end into the buffer's zeros.
        if (const qsizetype nul = message.indexOf(QChar(0)); nul >= 0)
            message.truncate(nul);
        out.push_back({fromWide(state, 5), static_cast<int>(native), message});
    }
    return out;
}

DbError errorFrom(SQLSMALLINT handleType, SQLHANDLE handle, SQLRETURN rc, const char* call,
                  bool narrow) {
    std::vector<Diagnostic> records = diagnostics(handleType, handle, narrow);
    for (Diagnostic& d : records)
        d.text = withoutDriverStatement(d.text);
    if (records.empty()) {
        QString text = QStringLiteral("%1 failed").arg(QLatin1String(call));
        if (rc == SQL_INVALID_HANDLE)
            text += QStringLiteral(" (invalid handle)");
        return DbError(text);
    }
    // Warnings (class 01) may come before the error that made the call fail.
    auto main = std::find_if(records.begin(), records.end(),
                             [](const Diagnostic& d) { return !d.sqlState.startsWith(u"01"); });
    if (main == records.end())
        main = records.begin();
    const Diagnostic first = *main;
    return DbError(first.text, first.sqlState, first.nativeCode, std::move(records));
}

}  // namespace odbc

using namespace odbc;

namespace {

QString braced(const QString& value) {
    const bool plain = !value.contains(u';') && !value.contains(u'{') && !value.contains(u'}') &&
                       value.trimmed() == value;
    if (plain)
        return value;
    QString v = value;
    v.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + v + u'}';
}

SQLPOINTER attrValue(SQLULEN v) {
    return reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(v));
}

// One open ODBC connection; rows in flight keep it alive.
struct Session {
    Environment env;
    Dbc dbc;
    FetchCaps caps;
    QString patternEscape;
    QString currentCatalog;
    QString dbmsName;
    bool schemas = true;
};

// Schema names for a driver without schemas: the current catalog, or SQLite's "main".
QString standInSchema(const Session& s) {
    return s.currentCatalog.isEmpty() ? QStringLiteral("main") : s.currentCatalog;
}

// A result of texts built here (the schemata of a driver without schemas).
class TextRows final : public RowSource {
public:
    TextRows(const QStringList& names, std::vector<std::vector<std::optional<QString>>> rows)
        : rows_(std::move(rows)) {
        for (const QString& n : names)
            fields_.push_back(FieldInfo{n, FieldKind::WideString, 0, 0, 0, 0});
    }
    const std::vector<FieldInfo>& fields() const override { return fields_; }
    bool next() override {
        if (++row_ >= rows_.size())
            return false;
        current_.clear();
        for (const auto& v : rows_[row_])
            current_.push_back(v ? v->toStdString() : std::string());
        return true;
    }
    bool isNull(int col) const override { return !rows_[row_][static_cast<std::size_t>(col)]; }
    std::int64_t int64At(int) const override { return 0; }
    double doubleAt(int) const override { return 0; }
    std::string_view textAt(int col) const override { return current_[static_cast<std::size_t>(col)]; }
    QByteArray bytesAt(int) const override { return {}; }
    DateTimeValue dateTimeAt(int) const override { return 0; }
    bool boolAt(int) const override { return false; }

private:
    std::vector<FieldInfo> fields_;
    std::vector<std::vector<std::optional<QString>>> rows_;
    std::vector<std::string> current_;
    std::size_t row_ = static_cast<std::size_t>(-1);
};

// Chosen columns of another source under new names (catalog results to schema rowsets).
class RenamedRows final : public RowSource {
public:
    RenamedRows(std::unique_ptr<RowSource> src, const std::vector<std::pair<int, QString>>& map)
        : src_(std::move(src)) {
        for (const auto& [col, name] : map) {
            cols_.push_back(col);
            FieldInfo f = src_->fields().at(static_cast<std::size_t>(col));
            f.name = name;
            fields_.push_back(f);
        }
    }
    const std::vector<FieldInfo>& fields() const override { return fields_; }
    bool next() override { return src_->next(); }
    bool isNull(int c) const override { return src_->isNull(at(c)); }
    std::int64_t int64At(int c) const override { return src_->int64At(at(c)); }
    double doubleAt(int c) const override { return src_->doubleAt(at(c)); }
    std::string_view textAt(int c) const override { return src_->textAt(at(c)); }
    QByteArray bytesAt(int c) const override { return src_->bytesAt(at(c)); }
    DateTimeValue dateTimeAt(int c) const override { return src_->dateTimeAt(at(c)); }
    bool boolAt(int c) const override { return src_->boolAt(at(c)); }

private:
    int at(int c) const { return cols_[static_cast<std::size_t>(c)]; }
    std::unique_ptr<RowSource> src_;
    std::vector<int> cols_;
    std::vector<FieldInfo> fields_;
};

class OdbcDriver final : public Driver {
public:
    explicit OdbcDriver(std::shared_ptr<Session> s) : s_(std::move(s)) {}

    std::unique_ptr<RowSource> execute(const QString& sql) override {
        Statement st = newStatement();
        SQLRETURN rc = SQL_SUCCESS;
        if (s_->caps.narrow) {
            QByteArray text = sql.toUtf8();
            rc = st.check(SQLExecDirect(st.get(), reinterpret_cast<SQLCHAR*>(text.data()),
                                        static_cast<SQLINTEGER>(text.size())),
                          "SQLExecDirect");
        } else {
            rc = st.check(SQLExecDirectW(st.get(), wide(sql), static_cast<SQLINTEGER>(sql.size())),
                          "SQLExecDirect");
        }
        if (rc == SQL_NO_DATA)
            return nullptr;  // a searched update or delete that touched no row
        for (;;) {
            SQLSMALLINT cols = 0;
            st.check(SQLNumResultCols(st.get(), &cols), "SQLNumResultCols");
            if (cols > 0)
                return openRows(std::move(st), cols);
            // a batch may give counts first and rows later
            if (st.check(SQLMoreResults(st.get()), "SQLMoreResults") == SQL_NO_DATA)
                return nullptr;
        }
    }

    std::unique_ptr<ResultSet> schema(SchemaKind kind, const QStringList& restrictions) override {
        const QString catalog = restrictions.value(0);
        const QString schemaName = restrictions.value(1);
        const QString table = restrictions.value(2);
        switch (kind) {
        case SchemaKind::Schemata:
            return schemata(catalog, schemaName);
        case SchemaKind::Tables: {
            Statement st = newStatement();
            Args a = args(catalog, schemaName, table);
            if (s_->caps.narrow)
                st.check(SQLTables(st.get(), a.a(a.cat8), a.n(a.cat8), a.a(a.sch8), a.n(a.sch8),
                                   a.a(a.tab8), a.n(a.tab8), nullptr, 0),
                         "SQLTables");
            else
                st.check(SQLTablesW(st.get(), a.w(a.cat), a.n(a.cat), a.w(a.sch), a.n(a.sch),
                                    a.w(a.tab), a.n(a.tab), nullptr, 0),
                         "SQLTables");
            return renamed(std::move(st), {{0, QStringLiteral("TABLE_CATALOG")},
                                           {1, QStringLiteral("TABLE_SCHEMA")},
                                           {2, QStringLiteral("TABLE_NAME")},
                                           {3, QStringLiteral("TABLE_TYPE")}});
        }
        case SchemaKind::Columns: {
            Statement st = newStatement();
            Args a = args(catalog, schemaName, table);
            if (s_->caps.narrow)
                st.check(SQLColumns(st.get(), a.a(a.cat8), a.n(a.cat8), a.a(a.sch8), a.n(a.sch8),
                                    a.a(a.tab8), a.n(a.tab8), nullptr, 0),
                         "SQLColumns");
            else
                st.check(SQLColumnsW(st.get(), a.w(a.cat), a.n(a.cat), a.w(a.sch), a.n(a.sch),
                                     a.w(a.tab), a.n(a.tab), nullptr, 0),
                         "SQLColumns");
            return renamed(std::move(st), {{0, QStringLiteral("TABLE_CATALOG")},
                                           {1, QStringLiteral("TABLE_SCHEMA")},
                                           {2, QStringLiteral("TABLE_NAME")},
                                           {3, QStringLiteral("COLUMN_NAME")},
                                           {16, QStringLiteral("ORDINAL_POSITION")},
                                           {4, QStringLiteral("DATA_TYPE")}});
        }
        }
        return nullptr;
    }

    void beginTransaction() override {
        s_->dbc.check(SQLSetConnectAttrW(s_->dbc.get(), SQL_ATTR_AUTOCOMMIT,
                                         attrValue(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER),
                      "SQLSetConnectAttr");
    }
    void commit() override { endTransaction(SQL_COMMIT); }
    void rollback() override { endTransaction(SQL_ROLLBACK); }
    StringLiteralRule stringLiteralRule() const override { return literalRule_; }

    // Asks the server once, right after the open, whether a backslash escapes in its string
    // literals: MariaDB/MySQL unless sql_mode holds NO_BACKSLASH_ESCAPES, PostgreSQL when
    // standard_conforming_strings is off (both can be changed by the connection string's
    // start-up statements). Any other server is taken as standard.
    void askLiteralRule(const QString& dbmsName) {
        const bool mysql = dbmsName.contains(u"MariaDB", Qt::CaseInsensitive) ||
                           dbmsName.contains(u"MySQL", Qt::CaseInsensitive);
        const bool postgres = dbmsName.contains(u"PostgreSQL", Qt::CaseInsensitive);
        if (!mysql && !postgres)
            return;
        // Without an answer each keeps its server's default: escapes on MariaDB/MySQL,
        // standard on PostgreSQL.
        literalRule_ = mysql ? StringLiteralRule::BackslashEscapes : StringLiteralRule::Standard;
        QString answer;
        try {
            std::unique_ptr<RowSource> rows =
                execute(mysql ? QStringLiteral("SELECT @@SESSION.sql_mode")
                              : QStringLiteral("SHOW standard_conforming_strings"));
            if (!rows)
                return;
            const std::unique_ptr<ResultSet> held = ResultSet::fetchAll(*rows);
            if (held->recordCount() < 1 || held->fieldCount() < 1)
                return;
            answer = held->value(0, 0).toString();
        } catch (const DbError&) {
            return;
        }
        if (mysql)
            literalRule_ = answer.contains(u"NO_BACKSLASH_ESCAPES", Qt::CaseInsensitive)
                               ? StringLiteralRule::Standard
                               : StringLiteralRule::BackslashEscapes;
        else
            literalRule_ = answer.trimmed().compare(u"off", Qt::CaseInsensitive) == 0
                               ? StringLiteralRule::EscapeString
                               : StringLiteralRule::Standard;
    }
    QString dbmsName() const override { return s_->dbmsName; }

private:
    // Catalog function arguments, UTF-16 and UTF-8: empty means any (a null pointer);
    // names are search patterns, so their pattern characters are escaped.
    struct Args {
        std::optional<QString> cat, sch, tab;
        std::optional<QByteArray> cat8, sch8, tab8;
        static SQLWCHAR* w(const std::optional<QString>& v) { return v ? wide(*v) : nullptr; }
        static SQLCHAR* a(std::optional<QByteArray>& v) {
            return v ? reinterpret_cast<SQLCHAR*>(v->data()) : nullptr;
        }
        template <class T>
        static SQLSMALLINT n(const std::optional<T>& v) {
            return v ? static_cast<SQLSMALLINT>(v->size()) : 0;
        }
        void encode() {
            auto utf8 = [](const std::optional<QString>& v) {
                return v ? std::optional<QByteArray>(v->toUtf8()) : std::nullopt;
            };
            cat8 = utf8(cat);
            sch8 = utf8(sch);
            tab8 = utf8(tab);
        }
    };

    QString pattern(const QString& name) const {
        if (s_->patternEscape.isEmpty())
            return name;
        QString out;
        for (QChar c : name) {
            if (c == u'_' || c == u'%' || s_->patternEscape.contains(c))
                out += s_->patternEscape;
            out += c;
        }
        return out;
    }

    Args args(const QString& catalog, const QString& schemaName, const QString& table) const {
        Args a;
        if (!catalog.isEmpty())
            a.cat = catalog;
        if (!s_->schemas) {
            // The stand-in schema of a driver without schemas is its current catalog (or nothing).
            if (!schemaName.isEmpty() && schemaName == standInSchema(*s_) &&
                !s_->currentCatalog.isEmpty() && !a.cat)
                a.cat = s_->currentCatalog;
        } else if (!schemaName.isEmpty()) {
            a.sch = pattern(schemaName);
        }
        if (!table.isEmpty())
            a.tab = pattern(table);
        a.encode();
        return a;
    }

    std::unique_ptr<ResultSet> schemata(const QString& catalog, const QString& schemaName) {
        std::vector<std::vector<std::optional<QString>>> found;
        const std::optional<QString> current =
            s_->currentCatalog.isEmpty() ? std::nullopt : std::optional<QString>(s_->currentCatalog);
        if (!s_->schemas) {
            found.push_back({current, standInSchema(*s_)});
        } else {
            Statement st = newStatement();
            const QString all = QStringLiteral(SQL_ALL_SCHEMAS);
            SQLWCHAR none[1] = {0};
            SQLCHAR none8[1] = {0};
            SQLCHAR all8[] = SQL_ALL_SCHEMAS;
            if (s_->caps.narrow)
                st.check(SQLTables(st.get(), none8, 0, all8, SQL_NTS, none8, 0, none8, 0), "SQLTables");
            else
                st.check(SQLTablesW(st.get(), none, 0, wide(all), SQL_NTS, none, 0, none, 0),
                         "SQLTables");
            auto src = openRows(std::move(st), 0);
            QStringList seen;
            while (src->next()) {
                if (src->isNull(1))
                    continue;
                const QString name = QString::fromUtf8(src->textAt(1));
                if (seen.contains(name))
                    continue;
                seen << name;
                std::optional<QString> cat = current;
                if (!src->isNull(0) && !src->textAt(0).empty())
                    cat = QString::fromUtf8(src->textAt(0));
                found.push_back({cat, name});
            }
        }
        std::erase_if(found, [&](const auto& r) {
            return (!catalog.isEmpty() && r[0].value_or(QString()) != catalog) ||
                   (!schemaName.isEmpty() && r[1].value_or(QString()) != schemaName);
        });
        TextRows src({QStringLiteral("CATALOG_NAME"), QStringLiteral("SCHEMA_NAME")}, std::move(found));
        return ResultSet::fetchAll(src);
    }

    Statement newStatement() const {
        Statement st(SQL_HANDLE_DBC, s_->dbc.get());
        st.setNarrow(s_->caps.narrow);
        return st;
    }

    std::unique_ptr<RowSource> openRows(Statement st, SQLSMALLINT cols) const {
        if (cols <= 0) {
            SQLSMALLINT n = 0;
            st.check(SQLNumResultCols(st.get(), &n), "SQLNumResultCols");
            cols = n;
        }
        return std::make_unique<OdbcRows>(s_, std::move(st), cols, s_->caps);
    }

    std::unique_ptr<ResultSet> renamed(Statement st,
                                       const std::vector<std::pair<int, QString>>& map) const {
        SQLSMALLINT n = 0;
        st.check(SQLNumResultCols(st.get(), &n), "SQLNumResultCols");
        std::vector<std::pair<int, QString>> present;
        for (const auto& m : map)
            if (m.first < n)
                present.push_back(m);
        RenamedRows src(std::make_unique<OdbcRows>(s_, std::move(st), n, s_->caps), present);
        return ResultSet::fetchAll(src);
    }

    void endTransaction(SQLSMALLINT how) {
        s_->dbc.check(SQLEndTran(SQL_HANDLE_DBC, s_->dbc.get(), how), "SQLEndTran");
        s_->dbc.check(SQLSetConnectAttrW(s_->dbc.get(), SQL_ATTR_AUTOCOMMIT,
                                         attrValue(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER),
                      "SQLSetConnectAttr");
    }

    std::shared_ptr<Session> s_;
    StringLiteralRule literalRule_ = StringLiteralRule::Standard;
};

QString infoText(const Dbc& dbc, SQLUSMALLINT what) {
    SQLWCHAR buf[256] = {};
    SQLSMALLINT bytes = 0;
    dbc.check(SQLGetInfoW(dbc.get(), what, buf, sizeof buf, &bytes), "SQLGetInfo");
    return fromWide(buf, std::clamp<qsizetype>(bytes / 2, 0, 255));
}

// Behind unixODBC an ANSI-only driver gets the "W" calls converted through UCS-2: a
// character beyond the BMP turns the whole text into garbage, both ways. Such a driver is
// spoken to in UTF-8 through the ANSI calls instead; SQLNativeSql tells which kind it is
// without a round trip to the server.
bool wideTextSurvives(const Dbc& dbc) {
    const QString probe = QString::fromUtf16(u"SELECT '\u0416\U0001F600'");
    SQLWCHAR out[64] = {};
    SQLINTEGER len = 0;
    try {
        dbc.check(SQLNativeSqlW(dbc.get(), wide(probe), static_cast<SQLINTEGER>(probe.size()), out,
                                64, &len),
                  "SQLNativeSql");
    } catch (const DbError&) {
        return true;  // cannot tell: keep to UTF-16
    }
    const QString echoed = fromWide(out, std::clamp<qsizetype>(len, 0, 63));
    return echoed.contains(probe.mid(7));
}

// MariaDB's Connector/ODBC fails the whole fetch (HY000 "Ansi to Unicode conversion
// error") when a bound UTF-16 buffer is too short for a value with non-ASCII characters;
// read with SQLGetData alone, in pieces, the same values come whole. (Its ANSI calls are
// no way out: they take and give text in a code page of their own, not UTF-8.)
bool cutsBoundWideTextBadly(const Dbc& dbc) {
    try {
        return infoText(dbc, SQL_DRIVER_NAME).contains(u"maodbc", Qt::CaseInsensitive);
    } catch (const DbError&) {
        return false;
    }
}

SQLUINTEGER infoMask(const Dbc& dbc, SQLUSMALLINT what) {
    SQLUINTEGER v = 0;
    dbc.check(SQLGetInfoW(dbc.get(), what, &v, sizeof v, nullptr), "SQLGetInfo");
    return v;
}

}  // namespace

QString odbcConnectionString(const QString& connectionString,
                             const std::optional<Credentials>& credentials) {
    if (!credentials)
        return connectionString;
    QString base = ConnectionString(connectionString)
                       .without({QStringLiteral("UID"), QStringLiteral("PWD"),
                                 QStringLiteral("User ID"), QStringLiteral("Password"),
                                 QStringLiteral("Username")});
    while (!base.isEmpty() && base.back().isSpace())
        base.chop(1);
    if (!base.isEmpty() && !base.endsWith(u';'))
        base += u';';
    return base + QStringLiteral("UID=") + braced(credentials->user) + QStringLiteral(";PWD=") +
           braced(credentials->password);
}

std::unique_ptr<Driver> openOdbcDriver(const QString& odbcConnectionString,
                                       const std::optional<Credentials>& credentials) {
    auto s = std::make_shared<Session>();
    s->env = Environment(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    s->env.check(SQLSetEnvAttr(s->env.get(), SQL_ATTR_ODBC_VERSION, attrValue(SQL_OV_ODBC3), 0),
                 "SQLSetEnvAttr");
    s->dbc = Dbc(s->env);

    const QString text = vnk::db::odbcConnectionString(odbcConnectionString, credentials);
    const SQLRETURN rc = SQLDriverConnectW(s->dbc.get(), nullptr, wide(text), SQL_NTS, nullptr, 0,
                                           nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        DbError e = errorFrom(SQL_HANDLE_DBC, s->dbc.get(), rc, "SQLDriverConnect");
        bool login = isLoginFailure(e.sqlState(), e.message());
        for (const Diagnostic& d : e.records())
            login = login || isLoginFailure(d.sqlState, d.text);
        if (login) {
            const QString user = credentials ? credentials->user : loginUserName(odbcConnectionString);
            throw DbError::loginFailure(user, e);
        }
        throw e;
    }
    s->dbc.setConnected();

    // Autocommit until a transaction is begun; commands run without a time limit
    // (ODBC's default query timeout 0 is left as it is).
    s->dbc.check(SQLSetConnectAttrW(s->dbc.get(), SQL_ATTR_AUTOCOMMIT, attrValue(SQL_AUTOCOMMIT_ON),
                                    SQL_IS_UINTEGER),
                 "SQLSetConnectAttr");
    try {
        if (infoMask(s->dbc, SQL_TXN_ISOLATION_OPTION) & SQL_TXN_SERIALIZABLE)
            s->dbc.check(SQLSetConnectAttrW(s->dbc.get(), SQL_ATTR_TXN_ISOLATION,
                                            attrValue(SQL_TXN_SERIALIZABLE), SQL_IS_UINTEGER),
                         "SQLSetConnectAttr");
    } catch (const DbError&) {
        // a driver that cannot isolate serializably keeps its own level
    }

    s->caps.narrow = !wideTextSurvives(s->dbc);
    s->dbc.setNarrow(s->caps.narrow);
    const SQLUINTEGER getData = infoMask(s->dbc, SQL_GETDATA_EXTENSIONS);
    s->caps.getDataBound = (getData & SQL_GD_BOUND) != 0 && !cutsBoundWideTextBadly(s->dbc);
    s->caps.blockGetData = (getData & SQL_GD_BLOCK) != 0 &&
                           (infoMask(s->dbc, SQL_POS_OPERATIONS) & SQL_POS_POSITION) != 0;
    s->patternEscape = infoText(s->dbc, SQL_SEARCH_PATTERN_ESCAPE);
    try {
        s->dbmsName = infoText(s->dbc, SQL_DBMS_NAME);
    } catch (const DbError&) {
        // unnamed: treated as any database
    }
    s->schemas = infoMask(s->dbc, SQL_SCHEMA_USAGE) != 0;
    try {
        SQLWCHAR buf[256] = {};
        SQLINTEGER bytes = 0;
        s->dbc.check(SQLGetConnectAttrW(s->dbc.get(), SQL_ATTR_CURRENT_CATALOG, buf, sizeof buf, &bytes),
                     "SQLGetConnectAttr");
        s->currentCatalog = fromWide(buf, std::clamp<qsizetype>(bytes / 2, 0, 255));
    } catch (const DbError&) {
        // no current catalog: the schema rowset leaves CATALOG_NAME empty
    }
    const QString dbmsName = s->dbmsName;  // an unnamed server is taken as standard
    auto driver = std::make_unique<OdbcDriver>(std::move(s));
    driver->askLiteralRule(dbmsName);
    return driver;
}

}  // namespace vnk::db
