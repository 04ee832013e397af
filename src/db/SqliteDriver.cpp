#include "SqliteDriver.h"

#include "ColumnStore.h"
#include "DbError.h"
#include "ValueFormat.h"

#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <sqlext.h>
#include <sqlite3.h>

namespace vnk::db {

namespace sqlite {

void CloseDb::operator()(sqlite3* db) const noexcept {
    sqlite3_close_v2(db);
}

void FinalizeStmt::operator()(sqlite3_stmt* stmt) const noexcept {
    sqlite3_finalize(stmt);
}

}  // namespace sqlite

namespace {

[[noreturn]] void raise(sqlite3* db) {
    throw DbError(QString::fromUtf8(sqlite3_errmsg(db)), QString(), sqlite3_extended_errcode(db));
}

void check(sqlite3* db, int rc) {
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
        raise(db);
}

sqlite::Stmt prepare(sqlite3* db, std::string_view sql, const char** tail = nullptr) {
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, tail);
    sqlite::Stmt stmt(raw);
    check(db, rc);
    return stmt;
}

void runToEnd(sqlite3* db, sqlite3_stmt* stmt) {
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    check(db, rc);
}

// True when only blanks, comments and empty statements remain.
bool onlyTrivia(const char* p, const char* end) {
    while (p < end) {
        const char c = *p;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == ';') {
            ++p;
        } else if (c == '-' && p + 1 < end && p[1] == '-') {
            while (p < end && *p != '\n')
                ++p;
        } else if (c == '/' && p + 1 < end && p[1] == '*') {
            p += 2;
            while (p + 1 < end && !(p[0] == '*' && p[1] == '/'))
                ++p;
            p = std::min(end, p + 2);
        } else {
            return false;
        }
    }
    return true;
}

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    }
    return out;
}

std::string_view valueText(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    const int n = sqlite3_value_bytes(v);
    return p ? std::string_view(p, static_cast<std::size_t>(n)) : std::string_view();
}

Storage storageOfValueType(int type) {
    switch (type) {
    case SQLITE_INTEGER: return Storage::Int64;
    case SQLITE_FLOAT: return Storage::Double;
    case SQLITE_BLOB: return Storage::Bytes;
    default: return Storage::Text;
    }
}

FieldKind kindOfValueType(int type) {
    switch (type) {
    case SQLITE_INTEGER: return FieldKind::LargeInt;
    case SQLITE_FLOAT: return FieldKind::Float;
    case SQLITE_BLOB: return FieldKind::Blob;
    default: return FieldKind::String;
    }
}

constexpr std::int64_t kExactDouble = std::int64_t(1) << 53;

bool exactAsDouble(sqlite3_int64 v) {
    return v <= kExactDouble && v >= -kExactDouble;
}

// Rows of one prepared statement. The first step is taken before the fields are
// reported: columns without a declared type take their kind from the first row's values.
// A column with a declared type keeps its kind whatever its values: one that the kind
// cannot hold (SQLite stores any value in any column) is read as its text, SQLite's own,
// in that cell only.
class SqliteRows final : public RowSource {
public:
    SqliteRows(sqlite3* db, sqlite::Stmt stmt) : db_(db), stmt_(std::move(stmt)) {
        sqlite3_stmt* st = stmt_.get();
        const int n = sqlite3_column_count(st);
        const int rc = sqlite3_step(st);
        check(db_, rc);
        peeked_ = rc == SQLITE_ROW;
        done_ = !peeked_;
        fields_.reserve(static_cast<std::size_t>(n));
        types_.assign(static_cast<std::size_t>(n), SQLITE_NULL);
        dates_.assign(static_cast<std::size_t>(n), 0);
        dateOk_.assign(static_cast<std::size_t>(n), 0);
        fromValues_.assign(static_cast<std::size_t>(n), 0);
        for (int c = 0; c < n; ++c) {
            const char* decl = sqlite3_column_decltype(st, c);
            FieldInfo f = fieldFromDeclaredType(decl ? std::string_view(decl) : std::string_view());
            if (f.kind == FieldKind::Unknown) {
                f.kind = peeked_ ? kindOfValueType(sqlite3_column_type(st, c)) : FieldKind::String;
                fromValues_[static_cast<std::size_t>(c)] = 1;
            }
            f.name = QString::fromUtf8(sqlite3_column_name(st, c));
            f.displayWidth = defaultDisplayWidth(f.kind, f.size);
            storage_.push_back(storageOf(f.kind));
            if (storage_.back() == Storage::DateTime)
                dateCols_.push_back(c);
            fields_.push_back(std::move(f));
        }
        if (peeked_)
            decodeRow();
    }

    const std::vector<FieldInfo>& fields() const override { return fields_; }

    bool next() override {
        if (peeked_) {
            peeked_ = false;
            return true;
        }
        if (done_)
            return false;
        const int rc = sqlite3_step(stmt_.get());
        if (rc == SQLITE_ROW) {
            decodeRow();
            return true;
        }
        done_ = true;
        check(db_, rc);
        return false;
    }

    bool isNull(int col) const override { return type(col) == SQLITE_NULL; }
    std::int64_t int64At(int col) const override { return sqlite3_column_int64(stmt_.get(), col); }
    double doubleAt(int col) const override { return sqlite3_column_double(stmt_.get(), col); }
    std::string_view textAt(int col) const override {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_.get(), col));
        const int n = sqlite3_column_bytes(stmt_.get(), col);
        return p ? std::string_view(p, static_cast<std::size_t>(n)) : std::string_view();
    }
    QByteArray bytesAt(int col) const override {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_.get(), col));
        const int n = sqlite3_column_bytes(stmt_.get(), col);
        return p ? QByteArray(p, n) : QByteArray();
    }
    DateTimeValue dateTimeAt(int col) const override {
        return dates_[static_cast<std::size_t>(col)];
    }
    bool boolAt(int col) const override { return sqlite3_column_int64(stmt_.get(), col) != 0; }

    Storage valueStorage(int col) const override {
        const auto i = static_cast<std::size_t>(col);
        const int t = type(col);
        if (!fromValues_[i]) {
            // A declared kind: the value in that form when it fits, else its text.
            switch (storage_[i]) {
            case Storage::Int64:
                return t == SQLITE_INTEGER ? Storage::Int64 : Storage::Text;
            case Storage::Double:
                return t == SQLITE_FLOAT ||
                               (t == SQLITE_INTEGER &&
                                exactAsDouble(sqlite3_column_int64(stmt_.get(), col)))
                           ? Storage::Double
                           : Storage::Text;
            case Storage::Text: return Storage::Text;
            case Storage::Bytes: return Storage::Bytes;  // every value reads as its bytes
            case Storage::DateTime: return dateOk_[i] ? Storage::DateTime : Storage::Text;
            case Storage::Boolean: return isBoolean(col) ? Storage::Boolean : Storage::Text;
            }
            return Storage::Text;
        }
        switch (storage_[i]) {
        case Storage::Int64:
            return t == SQLITE_INTEGER ? Storage::Int64 : storageOfValueType(t);
        case Storage::Double:
            return t == SQLITE_FLOAT ? Storage::Double : storageOfValueType(t);
        case Storage::Text:
            return t == SQLITE_BLOB ? Storage::Bytes : Storage::Text;
        case Storage::Bytes:
            return Storage::Bytes;
        case Storage::DateTime:
            return dateOk_[i] ? Storage::DateTime : storageOfValueType(t);
        case Storage::Boolean:
            return isBoolean(col) ? Storage::Boolean : storageOfValueType(t);
        }
        return Storage::Text;
    }

    bool kindFromValues(int col) const override {
        return fromValues_[static_cast<std::size_t>(col)] != 0;
    }

    // The fast path of a fetch: values go straight from the statement into the column
    // store; a value the column cannot hold is kept as its text in its cell (a declared
    // kind) or goes through ResultSet::appendCell, which widens the column.
    void appendRemainingTo(ResultSet& rs) override {
        if (done_ && !peeked_)
            return;
        ColumnStore& store = rs.store();
        sqlite3_stmt* st = stmt_.get();
        const int n = static_cast<int>(types_.size());
        peeked_ = false;  // the first row is the current one
        for (;;) {
            for (int c = 0; c < n; ++c) {
                const auto i = static_cast<std::size_t>(c);
                // One call per cell reaches the value; reading it is then cheap. The value
                // is used by this thread only (the connection has no mutex of its own).
                sqlite3_value* v = sqlite3_column_value(st, c);
                const int t = sqlite3_value_type(v);
                types_[i] = t;
                if (t == SQLITE_NULL) {
                    store.appendNull(c);
                    continue;
                }
                const bool declared = !fromValues_[i];
                switch (store.storage(c)) {
                case Storage::Int64:
                    if (t == SQLITE_INTEGER) {
                        store.appendInt64(c, sqlite3_value_int64(v));
                        continue;
                    }
                    break;
                case Storage::Double:
                    if (t == SQLITE_FLOAT) {
                        store.appendDouble(c, sqlite3_value_double(v));
                        continue;
                    }
                    if (t == SQLITE_INTEGER && exactAsDouble(sqlite3_value_int64(v))) {
                        store.appendDouble(c, static_cast<double>(sqlite3_value_int64(v)));
                        continue;
                    }
                    break;
                case Storage::Text:
                    if (t != SQLITE_BLOB || declared) {
                        store.appendText(c, valueText(v));
                        continue;
                    }
                    break;
                case Storage::DateTime:
                    if (t == SQLITE_TEXT) {
                        dateOk_[i] = parseIsoDateTime(valueText(v), dates_[i]);
                        if (dateOk_[i]) {
                            store.appendDateTime(c, dates_[i]);
                            continue;
                        }
                    }
                    dateOk_[i] = 0;
                    dates_[i] = 0;
                    break;
                case Storage::Boolean:
                    if (t == SQLITE_INTEGER) {
                        const sqlite3_int64 b = sqlite3_value_int64(v);
                        if (b == 0 || b == 1) {
                            store.appendBool(c, b == 1);
                            continue;
                        }
                    }
                    break;
                case Storage::Bytes: {
                    const auto* p = static_cast<const char*>(sqlite3_value_blob(v));
                    const int len = sqlite3_value_bytes(v);
                    store.appendText(c, std::string_view(p ? p : "", static_cast<std::size_t>(len)));
                    continue;
                }
                }
                if (declared)
                    store.appendMisfit(c, valueText(v));
                else
                    rs.appendCell(*this, c);
            }
            rs.endRow();
            const int rc = sqlite3_step(st);
            if (rc != SQLITE_ROW) {
                done_ = true;
                check(db_, rc);
                return;
            }
        }
    }

private:
    int type(int col) const { return types_[static_cast<std::size_t>(col)]; }
    bool isBoolean(int col) const {
        if (type(col) != SQLITE_INTEGER)
            return false;
        const sqlite3_int64 v = sqlite3_column_int64(stmt_.get(), col);
        return v == 0 || v == 1;
    }

    // Storage classes are read before any value is converted (after a conversion SQLite
    // no longer tells them); date texts are parsed once here.
    void decodeRow() {
        sqlite3_stmt* st = stmt_.get();
        const int n = static_cast<int>(types_.size());
        for (int c = 0; c < n; ++c)
            types_[static_cast<std::size_t>(c)] = sqlite3_column_type(st, c);
        for (int c : dateCols_) {
            const auto i = static_cast<std::size_t>(c);
            dateOk_[i] = 0;
            if (types_[i] == SQLITE_TEXT) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                const int len = sqlite3_column_bytes(st, c);
                dateOk_[i] = parseIsoDateTime(std::string_view(p, static_cast<std::size_t>(len)),
                                              dates_[i]);
            }
            if (!dateOk_[i])
                dates_[i] = 0;  // not a date: valueStorage() tells the form to read
        }
    }

    sqlite3* db_;
    sqlite::Stmt stmt_;
    std::vector<FieldInfo> fields_;
    std::vector<Storage> storage_;
    std::vector<int> types_;
    std::vector<int> dateCols_;
    std::vector<DateTimeValue> dates_;
    std::vector<char> dateOk_;
    std::vector<char> fromValues_;  // the column's kind came from its first value
    bool peeked_ = false;
    bool done_ = false;
};

// ODBC's SQL type number for a kind, so that DATA_TYPE reads alike on every provider.
int odbcTypeOf(FieldKind kind) {
    switch (kind) {
    case FieldKind::FixedChar: return SQL_CHAR;
    case FieldKind::String: return SQL_VARCHAR;
    case FieldKind::Memo: return SQL_LONGVARCHAR;
    case FieldKind::FixedWideChar: return SQL_WCHAR;
    case FieldKind::WideString: return SQL_WVARCHAR;
    case FieldKind::WideMemo: return SQL_WLONGVARCHAR;
    case FieldKind::SmallInt: return SQL_SMALLINT;
    case FieldKind::Integer:
    case FieldKind::AutoInc: return SQL_INTEGER;
    case FieldKind::Word: return SQL_SMALLINT;
    case FieldKind::LargeInt:
    case FieldKind::LargeUInt: return SQL_BIGINT;
    case FieldKind::Float: return SQL_DOUBLE;
    case FieldKind::Currency:
    case FieldKind::Decimal: return SQL_DECIMAL;
    case FieldKind::Date: return SQL_TYPE_DATE;
    case FieldKind::Time: return SQL_TYPE_TIME;
    case FieldKind::DateTime: return SQL_TYPE_TIMESTAMP;
    case FieldKind::Boolean: return SQL_BIT;
    case FieldKind::Guid: return SQL_GUID;
    case FieldKind::Bytes: return SQL_BINARY;
    case FieldKind::VarBytes: return SQL_VARBINARY;
    case FieldKind::Blob: return SQL_LONGVARBINARY;
    case FieldKind::Unknown: break;
    }
    return SQL_VARCHAR;
}

QString quoteIdentifier(const QString& name) {
    QString out = name;
    out.replace(u'"', QStringLiteral("\"\""));
    return u'"' + out + u'"';
}

QString restriction(const QStringList& r, int i) {
    return i < r.size() ? r[i] : QString();
}

FieldInfo textField(const char* name) {
    FieldInfo f;
    f.name = QString::fromLatin1(name);
    f.kind = FieldKind::WideString;
    return f;
}

FieldInfo intField(const char* name, FieldKind kind) {
    FieldInfo f;
    f.name = QString::fromLatin1(name);
    f.kind = kind;
    return f;
}

}  // namespace

FieldInfo fieldFromDeclaredType(std::string_view declaredType) {
    FieldInfo f;
    const std::string decl = upperAscii(declaredType);
    // Base name with single blanks, and the numbers in parentheses.
    std::string base;
    int args[2] = {0, 0};
    int argCount = 0;
    std::size_t i = 0;
    for (; i < decl.size() && decl[i] != '('; ++i) {
        const char c = decl[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (!base.empty() && base.back() != ' ')
                base += ' ';
        } else {
            base += c;
        }
    }
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    if (i < decl.size()) {
        int v = 0;
        bool any = false;
        for (++i; i < decl.size() && decl[i] != ')'; ++i) {
            const char c = decl[i];
            if (c >= '0' && c <= '9') {
                v = std::min(v * 10 + (c - '0'), 1 << 30);
                any = true;
            } else if (c == ',') {
                if (argCount < 2)
                    args[argCount++] = v;
                v = 0;
                any = false;
            }
        }
        if (any && argCount < 2)
            args[argCount++] = v;
    }

    auto is = [&base](std::initializer_list<const char*> names) {
        return std::any_of(names.begin(), names.end(), [&base](const char* n) { return base == n; });
    };
    auto has = [&base](const char* part) { return base.find(part) != std::string::npos; };
    auto sized = [&](FieldKind k) {
        f.kind = k;
        f.size = argCount > 0 ? args[0] : 0;
    };

    if (is({"CHAR", "CHARACTER"}))
        sized(FieldKind::FixedChar);
    else if (is({"VARCHAR", "CHARACTER VARYING", "CHAR VARYING", "VARYING CHARACTER", "VARCHAR2",
                 "TEXT", "TINYTEXT", "STRING"}))
        sized(FieldKind::String);
    else if (is({"MEDIUMTEXT", "LONGTEXT", "CLOB", "LONG VARCHAR", "LONG"}))
        f.kind = FieldKind::Memo;
    else if (is({"NCHAR", "NATIONAL CHAR", "NATIONAL CHARACTER", "NATIVE CHARACTER"}))
        sized(FieldKind::FixedWideChar);
    else if (is({"NVARCHAR", "NVARCHAR2", "NATIONAL VARCHAR", "NATIONAL CHARACTER VARYING",
                 "NATIONAL CHAR VARYING", "NCHAR VARYING"}))
        sized(FieldKind::WideString);
    else if (is({"NTEXT", "NCLOB"}))
        f.kind = FieldKind::WideMemo;
    else if (is({"INTEGER", "BIGINT", "INT8", "UNSIGNED BIG INT"}))
        f.kind = FieldKind::LargeInt;
    else if (is({"INT", "MEDIUMINT", "INT4"}))
        f.kind = FieldKind::Integer;
    else if (is({"SMALLINT", "TINYINT", "INT2"}))
        f.kind = FieldKind::SmallInt;
    else if (is({"REAL", "FLOAT", "DOUBLE", "DOUBLE PRECISION", "FLOAT4", "FLOAT8"}))
        f.kind = FieldKind::Float;
    else if (is({"DECIMAL", "NUMERIC", "NUMBER", "DEC"})) {
        f.kind = FieldKind::Decimal;
        f.precision = argCount > 0 ? args[0] : 0;
        f.scale = argCount > 1 ? args[1] : 0;
    } else if (is({"MONEY", "SMALLMONEY", "CURRENCY"}))
        f.kind = FieldKind::Currency;
    else if (is({"DATE"}))
        f.kind = FieldKind::Date;
    else if (is({"TIME"}))
        f.kind = FieldKind::Time;
    else if (is({"DATETIME", "TIMESTAMP", "DATETIME2", "SMALLDATETIME"}))
        f.kind = FieldKind::DateTime;
    else if (is({"BOOLEAN", "BOOL", "BIT"}))
        f.kind = FieldKind::Boolean;
    else if (is({"BLOB", "IMAGE", "TINYBLOB", "MEDIUMBLOB", "LONGBLOB", "LONGVARBINARY"}))
        f.kind = FieldKind::Blob;
    else if (is({"BINARY"}))
        sized(FieldKind::Bytes);
    else if (is({"VARBINARY"}))
        sized(FieldKind::VarBytes);
    else if (is({"GUID", "UNIQUEIDENTIFIER", "UUID"}))
        f.kind = FieldKind::Guid;
    // Anything else by SQLite's own affinity rules; no type at all is decided by the values.
    else if (has("INT"))
        f.kind = FieldKind::LargeInt;
    else if (has("CHAR") || has("CLOB") || has("TEXT"))
        sized(FieldKind::String);
    else if (has("REAL") || has("FLOA") || has("DOUB"))
        f.kind = FieldKind::Float;
    else if (has("BLOB"))
        f.kind = FieldKind::Blob;
    return f;
}

SqliteDriver::SqliteDriver(const QString& databaseFile) : file_(databaseFile) {
    // Never create a database: a missing file is the user's mistake, not a new database.
    const QFileInfo info(databaseFile);
    if (!info.exists())
        throw DbError(QStringLiteral("The database file \"%1\" does not exist.").arg(databaseFile));
    if (info.isDir())
        throw DbError(QStringLiteral("\"%1\" is a folder, not a database file.").arg(databaseFile));
    // An absolute path is never read as a URI, whatever SQLite was built with.
    const QByteArray path = info.absoluteFilePath().toUtf8();
    sqlite3* raw = nullptr;
    // No mutex of SQLite's own: one connection is used by one thread at a time (the
    // connect may run on a worker, but never while the window uses the connection).
    const int rc = sqlite3_open_v2(path.constData(), &raw,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) {
        const QString text = raw ? QString::fromUtf8(sqlite3_errmsg(raw))
                                 : QString::fromUtf8(sqlite3_errstr(rc));
        throw DbError(QStringLiteral("%1: %2").arg(text, databaseFile), QString(), rc);
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, 5000);
    // Reading the schema now turns "file is not a database" into a connect error.
    auto stmt = prepare(raw, "SELECT count(*) FROM sqlite_schema");
    runToEnd(raw, stmt.get());
}

SqliteDriver::~SqliteDriver() = default;

std::unique_ptr<RowSource> SqliteDriver::execute(const QString& sql) {
    sqlite3* db = db_.get();
    const QByteArray text = sql.toUtf8();
    const char* p = text.constData();
    const char* end = p + text.size();
    while (p < end) {
        const char* tail = nullptr;
        sqlite::Stmt stmt = prepare(db, std::string_view(p, static_cast<std::size_t>(end - p)), &tail);
        p = tail ? tail : end;
        if (!stmt)
            break;  // only blanks or comments were left
        if (!onlyTrivia(p, end) || sqlite3_column_count(stmt.get()) == 0) {
            runToEnd(db, stmt.get());
            continue;
        }
        return std::make_unique<SqliteRows>(db, std::move(stmt));
    }
    return nullptr;
}

void SqliteDriver::exec(const char* sql) {
    auto stmt = prepare(db_.get(), sql);
    runToEnd(db_.get(), stmt.get());
}

void SqliteDriver::beginTransaction() {
    exec("BEGIN");
}

void SqliteDriver::commit() {
    exec("COMMIT");
}

void SqliteDriver::rollback() {
    exec("ROLLBACK");
}

std::unique_ptr<ResultSet> SqliteDriver::schema(SchemaKind kind, const QStringList& restrictions) {
    sqlite3* db = db_.get();
    const QString catalog = QFileInfo(file_).fileName();
    const QString wantCatalog = restriction(restrictions, 0);
    const QString wantSchema = restriction(restrictions, 1);
    const QString wantTable = restriction(restrictions, 2);
    const QString wantFourth = restriction(restrictions, 3);  // table type / column name

    auto texts = [db](const QString& sql, const QString& bind1 = {}, const QString& bind2 = {}) {
        std::vector<QStringList> rows;
        const QByteArray u = sql.toUtf8();
        auto stmt = prepare(db, std::string_view(u.constData(), static_cast<std::size_t>(u.size())));
        const QByteArray b1 = bind1.toUtf8(), b2 = bind2.toUtf8();
        if (sqlite3_bind_parameter_count(stmt.get()) >= 1)
            sqlite3_bind_text(stmt.get(), 1, b1.constData(), static_cast<int>(b1.size()), SQLITE_STATIC);
        if (sqlite3_bind_parameter_count(stmt.get()) >= 2)
            sqlite3_bind_text(stmt.get(), 2, b2.constData(), static_cast<int>(b2.size()), SQLITE_STATIC);
        int rc;
        const int n = sqlite3_column_count(stmt.get());
        while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < n; ++c) {
                const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), c));
                row << (t ? QString::fromUtf8(t) : QString());
            }
            rows.push_back(row);
        }
        check(db, rc);
        return rows;
    };

    QStringList schemas;
    if (wantCatalog.isEmpty() || wantCatalog == catalog) {
        for (const QStringList& r : texts(QStringLiteral("PRAGMA database_list"))) {
            if (wantSchema.isEmpty() || r.value(1) == wantSchema)
                schemas << r.value(1);
        }
    }

    if (kind == SchemaKind::Schemata) {
        auto rs = std::make_unique<ResultSet>(
            std::vector<FieldInfo>{textField("CATALOG_NAME"), textField("SCHEMA_NAME")});
        for (const QString& s : schemas)
            rs->appendValues({catalog, s});
        return rs;
    }

    struct Table {
        int schema;
        QString name, type;
    };
    std::vector<Table> tables;
    for (int s = 0; s < schemas.size(); ++s) {
        const auto rows = texts(QStringLiteral("SELECT name, type FROM %1.sqlite_schema "
                                               "WHERE type IN ('table', 'view') ORDER BY name")
                                    .arg(quoteIdentifier(schemas[s])));
        for (const QStringList& r : rows) {
            const QString& name = r.value(0);
            const QString type = name.startsWith(u"sqlite_", Qt::CaseInsensitive)
                                     ? QStringLiteral("SYSTEM TABLE")
                                     : (r.value(1) == u"view" ? QStringLiteral("VIEW")
                                                              : QStringLiteral("TABLE"));
            // Table names compare as SQLite compares them, without regard to ASCII case.
            if (!wantTable.isEmpty() && name.compare(wantTable, Qt::CaseInsensitive) != 0)
                continue;
            if (kind == SchemaKind::Tables && !wantFourth.isEmpty() && type != wantFourth)
                continue;
            tables.push_back({s, name, type});
        }
    }

    if (kind == SchemaKind::Tables) {
        // The order ODBC's SQLTables gives: type, then schema, then name.
        std::stable_sort(tables.begin(), tables.end(), [](const Table& a, const Table& b) {
            return a.type != b.type ? a.type < b.type : a.schema < b.schema;
        });
        auto rs = std::make_unique<ResultSet>(
            std::vector<FieldInfo>{textField("TABLE_CATALOG"), textField("TABLE_SCHEMA"),
                                   textField("TABLE_NAME"), textField("TABLE_TYPE")});
        for (const Table& t : tables)
            rs->appendValues({catalog, schemas[t.schema], t.name, t.type});
        return rs;
    }

    auto rs = std::make_unique<ResultSet>(std::vector<FieldInfo>{
        textField("TABLE_CATALOG"), textField("TABLE_SCHEMA"), textField("TABLE_NAME"),
        textField("COLUMN_NAME"), intField("ORDINAL_POSITION", FieldKind::Integer),
        intField("DATA_TYPE", FieldKind::SmallInt), textField("TYPE_NAME")});
    for (const Table& t : tables) {
        std::vector<QStringList> cols;
        try {
            cols = texts(QStringLiteral("SELECT name, type FROM pragma_table_xinfo(?1, ?2)"), t.name,
                         schemas[t.schema]);
        } catch (const DbError&) {
            // A view over a dropped table or a virtual table without its module: when
            // all tables are listed one broken table must not hide the others.
            if (!wantTable.isEmpty())
                throw;
            continue;
        }
        int ordinal = 0;
        for (const QStringList& c : cols) {
            ++ordinal;
            if (!wantFourth.isEmpty() && c.value(0).compare(wantFourth, Qt::CaseInsensitive) != 0)
                continue;
            const QByteArray decl = c.value(1).toUtf8();
            FieldKind k = fieldFromDeclaredType(std::string_view(decl.constData(),
                                                                 static_cast<std::size_t>(decl.size())))
                              .kind;
            rs->appendValues({catalog, schemas[t.schema], t.name, c.value(0), ordinal,
                              odbcTypeOf(k), c.value(1)});
        }
    }
    return rs;
}

}  // namespace vnk::db
