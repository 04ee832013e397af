#include "OdbcRows.h"

#include "ValueFormat.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vnk::db::odbc {

namespace {

// A block of rows is sized to about this many bytes of bound buffers.
constexpr SQLULEN kBlockBytes = 1 << 20;
constexpr SQLULEN kMaxBlockRows = 1024;
// Bound text buffers are capped; a longer value is re-read whole with SQLGetData.
constexpr SQLULEN kMaxBoundUnits = 1024;
constexpr SQLULEN kLongBoundUnits = 256;
constexpr SQLULEN kUnknownBoundUnits = 256;
constexpr SQLLEN kTimeTextBytes = 40;

DateTimeValue timestampValue(const SQL_TIMESTAMP_STRUCT& ts) {
    return toDateTimeValue({ts.year, ts.month, ts.day, ts.hour, ts.minute, ts.second,
                            static_cast<int>(ts.fraction / 1000000)});
}

// "[H]H:MM[:SS[.fff...]]", anything after the fraction (a zone) ignored.
bool parseTimeText(std::string_view s, std::int64_t& ms) {
    std::size_t p = 0;
    while (p < s.size() && s[p] == ' ')
        ++p;
    auto number = [&](std::size_t maxDigits, std::int64_t& out) {
        std::size_t n = 0;
        out = 0;
        while (p < s.size() && n < maxDigits && s[p] >= '0' && s[p] <= '9') {
            out = out * 10 + (s[p] - '0');
            ++p;
            ++n;
        }
        return n > 0;
    };
    std::int64_t h = 0, m = 0, sec = 0, frac = 0;
    if (!number(3, h) || p >= s.size() || s[p] != ':')
        return false;
    ++p;
    if (!number(2, m))
        return false;
    if (p < s.size() && s[p] == ':') {
        ++p;
        if (!number(2, sec))
            return false;
        if (p < s.size() && s[p] == '.') {
            ++p;
            int digits = 0;
            while (p < s.size() && s[p] >= '0' && s[p] <= '9') {
                if (digits < 3) {
                    frac = frac * 10 + (s[p] - '0');
                    ++digits;
                }
                ++p;
            }
            while (digits++ < 3)
                frac *= 10;
        }
    }
    ms = h * 3600000 + m * 60000 + sec * 1000 + frac;
    return true;
}

bool isIntegerType(SQLSMALLINT t) {
    return t == SQL_TINYINT || t == SQL_SMALLINT || t == SQL_INTEGER || t == SQL_BIGINT;
}

bool isApproxOrExact(SQLSMALLINT t) {
    return t == SQL_DECIMAL || t == SQL_NUMERIC || t == SQL_REAL || t == SQL_FLOAT ||
           t == SQL_DOUBLE;
}

constexpr SQLSMALLINT kSqlServerTime2 = -154;

bool isCharacterType(SQLSMALLINT t) {
    return t == SQL_CHAR || t == SQL_VARCHAR || t == SQL_WCHAR || t == SQL_WVARCHAR;
}

// A DECIMAL or NUMERIC type name ("decimal", "NUMERIC(10,2)"), whatever SQL type the driver
// maps it to: the SQLite ODBC driver reports DECIMAL(p,s) as VARCHAR and NUMERIC as DOUBLE.
bool isDecimalTypeName(const QString& typeName) {
    for (const QLatin1StringView name : {QLatin1StringView("decimal"), QLatin1StringView("numeric")}) {
        if (typeName.startsWith(name, Qt::CaseInsensitive) &&
            (typeName.size() == name.size() || typeName.at(name.size()) == u'(' ||
             typeName.at(name.size()) == u' '))
            return true;
    }
    return false;
}

SQLLEN numericAttribute(const Statement& st, SQLUSMALLINT col, SQLUSMALLINT field) {
    SQLLEN v = 0;
    st.check(SQLColAttributeW(st.get(), col, field, nullptr, 0, nullptr, &v), "SQLColAttribute");
    return v;
}

QString textAttribute(const Statement& st, SQLUSMALLINT col, SQLUSMALLINT field) {
    if (st.narrow()) {
        SQLCHAR buf[256] = {};
        SQLSMALLINT bytes = 0;
        st.check(SQLColAttribute(st.get(), col, field, buf, sizeof buf, &bytes, nullptr),
                 "SQLColAttribute");
        return QString::fromUtf8(reinterpret_cast<const char*>(buf),
                                 std::clamp<qsizetype>(bytes, 0, 255));
    }
    SQLWCHAR buf[128] = {};
    SQLSMALLINT bytes = 0;
    st.check(SQLColAttributeW(st.get(), col, field, buf, sizeof buf, &bytes, nullptr),
             "SQLColAttribute");
    const qsizetype units = std::clamp<qsizetype>(bytes / 2, 0, 127);
    return fromWide(buf, units);
}

// Name and type of a result column.
struct Described {
    QString name;
    SQLSMALLINT type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
};

Described describe(const Statement& st, SQLUSMALLINT col) {
    Described d;
    SQLSMALLINT len = 0;
    if (st.narrow()) {
        std::vector<SQLCHAR> name(512);
        for (int pass = 0; pass < 2; ++pass) {
            st.check(SQLDescribeCol(st.get(), col, name.data(), static_cast<SQLSMALLINT>(name.size()),
                                    &len, &d.type, &d.size, &d.digits, &d.nullable),
                     "SQLDescribeCol");
            if (len < static_cast<SQLSMALLINT>(name.size()))
                break;
            name.resize(static_cast<std::size_t>(len) + 1);
        }
        d.name = QString::fromUtf8(reinterpret_cast<const char*>(name.data()),
                                   std::clamp<qsizetype>(len, 0, name.size() - 1));
        return d;
    }
    std::vector<SQLWCHAR> name(256);
    for (int pass = 0; pass < 2; ++pass) {
        st.check(SQLDescribeColW(st.get(), col, name.data(), static_cast<SQLSMALLINT>(name.size()),
                                 &len, &d.type, &d.size, &d.digits, &d.nullable),
                 "SQLDescribeCol");
        if (len < static_cast<SQLSMALLINT>(name.size()))
            break;
        name.resize(static_cast<std::size_t>(len) + 1);
    }
    d.name = fromWide(name.data(), std::clamp<qsizetype>(len, 0, name.size() - 1));
    return d;
}

// Drivers turn the texts of numbers into doubles, and decimals into texts, with the C
// library, which follows the process's numeric locale (the program takes the user's):
// under a German one MariaDB's driver reads the decimal 12.5 as 12 and psqlODBC writes it
// "12,50". ODBC wants a point whatever the locale, so the driver converts values with the
// C numeric locale in force on this thread.
class PointLocale {
public:
    explicit PointLocale(locale_t point) : old_(point ? uselocale(point) : nullptr) {}
    ~PointLocale() {
        if (old_)
            uselocale(old_);
    }
    PointLocale(const PointLocale&) = delete;
    PointLocale& operator=(const PointLocale&) = delete;

private:
    locale_t old_;
};

locale_t makePointLocale() {
    const locale_t current = duplocale(LC_GLOBAL_LOCALE);
    if (!current)
        return nullptr;
    const locale_t point = newlocale(LC_NUMERIC_MASK, "C", current);
    if (!point)
        freelocale(current);
    return point;
}

int clampInt(SQLLEN v) {
    if (v < 0)
        return 0;
    return static_cast<int>(std::min<SQLLEN>(v, 0x7fffffff));
}

}  // namespace

FieldKind kindOf(SQLSMALLINT sqlType, bool isUnsigned, bool isMoney, const QString& typeName) {
    // Decimals arrive as floating point whatever the driver makes of them, and so does
    // money that a driver hands over as text (the SQLite driver: a MONEY column).
    if (isMoney && isCharacterType(sqlType))
        return FieldKind::Currency;
    if (!isMoney && isDecimalTypeName(typeName) &&
        (isCharacterType(sqlType) || isApproxOrExact(sqlType)))
        return FieldKind::Decimal;
    switch (sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR: {
        // psqlODBC hands booleans over as text unless told otherwise (BoolsAsChar).
        if (typeName.compare(u"bool", Qt::CaseInsensitive) == 0 ||
            typeName.compare(u"boolean", Qt::CaseInsensitive) == 0)
            return FieldKind::Boolean;
        if (sqlType == SQL_CHAR)
            return FieldKind::FixedChar;
        if (sqlType == SQL_VARCHAR)
            return FieldKind::String;
        return sqlType == SQL_WCHAR ? FieldKind::FixedWideChar : FieldKind::WideString;
    }
    case SQL_LONGVARCHAR:
        return FieldKind::Memo;
    case SQL_WLONGVARCHAR:
        return FieldKind::WideMemo;
    case SQL_TINYINT:
        return FieldKind::SmallInt;
    case SQL_SMALLINT:
        return isUnsigned ? FieldKind::Word : FieldKind::SmallInt;
    case SQL_INTEGER:
        return isUnsigned ? FieldKind::LargeInt : FieldKind::Integer;
    case SQL_BIGINT:
        return isUnsigned ? FieldKind::LargeUInt : FieldKind::LargeInt;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return isMoney ? FieldKind::Currency : FieldKind::Float;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return isMoney ? FieldKind::Currency : FieldKind::Decimal;
    case SQL_TYPE_DATE:
    case SQL_DATE:
        return FieldKind::Date;
    case SQL_TYPE_TIME:
    case SQL_TIME:
    case kSqlServerTime2:
        return FieldKind::Time;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        return FieldKind::DateTime;
    case SQL_BIT:
        return FieldKind::Boolean;
    case SQL_GUID:
        return FieldKind::Guid;
    case SQL_BINARY:
        return FieldKind::Bytes;
    case SQL_VARBINARY:
        return FieldKind::VarBytes;
    case SQL_LONGVARBINARY:
        return FieldKind::Blob;
    default:
        // Intervals, zoned and driver-specific types: every one reads as text.
        return FieldKind::WideString;
    }
}

void appendUtf8(std::string& out, const SQLWCHAR* s, std::size_t units) {
    const std::size_t start = out.size();
    out.resize(start + units * 3);
    char* d = out.data() + start;
    for (std::size_t i = 0; i < units; ++i) {
        char32_t c = s[i];
        if (c < 0x80) {
            *d++ = static_cast<char>(c);
            continue;
        }
        if (c < 0x800) {
            *d++ = static_cast<char>(0xC0 | (c >> 6));
            *d++ = static_cast<char>(0x80 | (c & 0x3F));
            continue;
        }
        if (c >= 0xD800 && c < 0xE000) {
            if (c < 0xDC00 && i + 1 < units && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
                ++i;
                *d++ = static_cast<char>(0xF0 | (c >> 18));
                *d++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                *d++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                *d++ = static_cast<char>(0x80 | (c & 0x3F));
                continue;
            }
            c = 0xFFFD;
        }
        *d++ = static_cast<char>(0xE0 | (c >> 12));
        *d++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *d++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    out.resize(static_cast<std::size_t>(d - out.data()));
}

OdbcRows::OdbcRows(std::shared_ptr<const void> owner, Statement stmt, SQLSMALLINT columnCount,
                   const FetchCaps& caps)
    : owner_(std::move(owner)), stmt_(std::move(stmt)), pointLocale_(makePointLocale()) {
    SQLHSTMT h = stmt_.get();
    const auto n = static_cast<std::size_t>(columnCount);
    fields_.resize(n);
    cols_.resize(n);
    SQLULEN rowBytes = 0;
    for (std::size_t c = 0; c < n; ++c) {
        const auto colNo = static_cast<SQLUSMALLINT>(c + 1);
        const Described desc = describe(stmt_, colNo);
        const SQLSMALLINT type = desc.type;
        const SQLULEN size = desc.size;
        const SQLSMALLINT digits = desc.digits;
        const bool isUnsigned =
            isIntegerType(type) && numericAttribute(stmt_, colNo, SQL_DESC_UNSIGNED) == SQL_TRUE;
        const QString typeName = textAttribute(stmt_, colNo, SQL_DESC_TYPE_NAME);
        const bool moneyName = typeName.compare(u"money", Qt::CaseInsensitive) == 0 ||
                               typeName.compare(u"smallmoney", Qt::CaseInsensitive) == 0 ||
                               typeName.compare(u"currency", Qt::CaseInsensitive) == 0;
        const bool isMoney =
            (isApproxOrExact(type) &&
             (numericAttribute(stmt_, colNo, SQL_DESC_FIXED_PREC_SCALE) == SQL_TRUE || moneyName)) ||
            (moneyName && isCharacterType(type));

        FieldInfo& f = fields_[c];
        f.name = desc.name;
        f.kind = kindOf(type, isUnsigned, isMoney, typeName);
        if (isTextKind(f.kind) || f.kind == FieldKind::Bytes || f.kind == FieldKind::VarBytes ||
            f.kind == FieldKind::Blob)
            f.size = clampInt(static_cast<SQLLEN>(std::min<SQLULEN>(size, 0x7fffffff)));
        if (isApproxOrExact(type) || f.kind == FieldKind::Decimal) {
            f.precision = clampInt(static_cast<SQLLEN>(std::min<SQLULEN>(size, 0x7fffffff)));
            f.scale = std::max<int>(digits, 0);
        }
        f.displayWidth = defaultDisplayWidth(f.kind, f.size);

        Column& col = cols_[c];
        col.storage = storageOf(f.kind);
        switch (col.storage) {
        case Storage::Int64:
            // An unsigned 64-bit value lands as its bit pattern in the int64.
            col.cType = f.kind == FieldKind::LargeUInt ? SQL_C_UBIGINT : SQL_C_SBIGINT;
            col.elemBytes = sizeof(SQLBIGINT);
            break;
        case Storage::Double:
            // A single-precision column as the float it holds, widened here: drivers that
            // widen it themselves disagree (one rounds to the float's shortest text first).
            col.cType = type == SQL_REAL ? SQL_C_FLOAT : SQL_C_DOUBLE;
            col.elemBytes = type == SQL_REAL ? sizeof(SQLREAL) : sizeof(SQLDOUBLE);
            break;
        case Storage::Boolean:
            col.cType = SQL_C_BIT;
            col.elemBytes = sizeof(SQLCHAR);
            break;
        case Storage::DateTime:
            if (f.kind == FieldKind::Time) {
                col.cType = SQL_C_CHAR;
                col.timeAsText = true;
                col.elemBytes = kTimeTextBytes;
            } else {
                col.cType = SQL_C_TYPE_TIMESTAMP;
                col.elemBytes = sizeof(SQL_TIMESTAMP_STRUCT);
            }
            break;
        case Storage::Text: {
            const bool isLong = f.kind == FieldKind::Memo || f.kind == FieldKind::WideMemo;
            SQLULEN units = size == 0 ? kUnknownBoundUnits
                                      : std::min(size, isLong ? kLongBoundUnits : kMaxBoundUnits);
            if (caps.narrow) {
                // UTF-8: room for two bytes a character; longer values are re-read whole
                col.cType = SQL_C_CHAR;
                col.elemBytes = static_cast<SQLLEN>(units * 2 + 1);
            } else {
                col.cType = SQL_C_WCHAR;
                col.elemBytes = static_cast<SQLLEN>((units + 1) * sizeof(SQLWCHAR));
            }
            break;
        }
        case Storage::Bytes: {
            SQLULEN bytes = size == 0 ? kUnknownBoundUnits
                                      : std::min(size, f.kind == FieldKind::Blob ? kLongBoundUnits
                                                                                 : kMaxBoundUnits);
            col.cType = SQL_C_BINARY;
            col.elemBytes = static_cast<SQLLEN>(bytes);
            break;
        }
        }
        rowBytes += static_cast<SQLULEN>(col.elemBytes) + sizeof(SQLLEN);
    }

    bound_ = caps.getDataBound;
    block_ = bound_ && caps.blockGetData;
    rowsetSize_ = block_ ? std::clamp<SQLULEN>(kBlockBytes / std::max<SQLULEN>(rowBytes, 1), 1,
                                               kMaxBlockRows)
                         : 1;
    block_ = rowsetSize_ > 1;
    status_.assign(rowsetSize_, SQL_ROW_SUCCESS);
    if (block_)
        stmt_.check(SQLSetStmtAttrW(h, SQL_ATTR_ROW_ARRAY_SIZE,
                                    reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(rowsetSize_)),
                                    0),
                    "SQLSetStmtAttr");
    stmt_.check(SQLSetStmtAttrW(h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0), "SQLSetStmtAttr");
    stmt_.check(SQLSetStmtAttrW(h, SQL_ATTR_ROW_STATUS_PTR, status_.data(), 0), "SQLSetStmtAttr");

    for (std::size_t c = 0; c < n; ++c) {
        Column& col = cols_[c];
        const SQLULEN elements = bound_ ? rowsetSize_ : 1;
        col.buf.assign(static_cast<std::size_t>(col.elemBytes) * elements, 0);
        col.ind.assign(elements, SQL_NULL_DATA);
        if (bound_)
            stmt_.check(SQLBindCol(h, static_cast<SQLUSMALLINT>(c + 1), col.cType, col.buf.data(),
                                   col.elemBytes, col.ind.data()),
                        "SQLBindCol");
    }
}

OdbcRows::~OdbcRows() {
    if (pointLocale_)
        freelocale(pointLocale_);
}

bool OdbcRows::next() {
    if (done_)
        return false;
    const PointLocale point(pointLocale_);
    if (!started_ || ++pos_ >= fetched_) {
        started_ = true;
        if (!fetchBlock()) {
            done_ = true;
            return false;
        }
        pos_ = 0;
    }
    positioned_ = 0;
    loadRow();
    return true;
}

bool OdbcRows::fetchBlock() {
    fetched_ = 0;
    const SQLRETURN rc = stmt_.check(SQLFetch(stmt_.get()), "SQLFetch");
    if (rc == SQL_NO_DATA)
        return false;
    if (fetched_ == 0) {
        if (rowsetSize_ > 1)
            return false;
        fetched_ = 1;  // a driver that does not report the count of a single-row fetch
    }
    if (rc == SQL_SUCCESS_WITH_INFO) {
        for (SQLULEN r = 0; r < fetched_; ++r)
            if (status_[r] == SQL_ROW_ERROR)
                rowError();
    }
    return true;
}

void OdbcRows::rowError() {
    throw errorFrom(SQL_HANDLE_STMT, stmt_.get(), SQL_ERROR, "SQLFetch");
}

void OdbcRows::loadRow() {
    for (std::size_t c = 0; c < cols_.size(); ++c) {
        Column& col = cols_[c];
        if (bound_) {
            loadValue(static_cast<int>(c), col.buf.data() + pos_ * static_cast<SQLULEN>(col.elemBytes),
                      col.ind[pos_]);
            continue;
        }
        if (col.storage == Storage::Text || col.storage == Storage::Bytes) {
            // no binding: long and short values alike come whole from SQLGetData
            loadValue(static_cast<int>(c), nullptr, SQL_NO_TOTAL);
            continue;
        }
        SQLLEN ind = 0;
        stmt_.check(SQLGetData(stmt_.get(), static_cast<SQLUSMALLINT>(c + 1), col.cType,
                               col.buf.data(), col.elemBytes, &ind),
                    "SQLGetData");
        loadValue(static_cast<int>(c), col.buf.data(), ind);
    }
}

void OdbcRows::positionOnRow() {
    if (!block_ || positioned_ == pos_ + 1)
        return;
    stmt_.check(SQLSetPos(stmt_.get(), static_cast<SQLSETPOSIROW>(pos_ + 1), SQL_POSITION,
                          SQL_LOCK_NO_CHANGE),
                "SQLSetPos");
    positioned_ = pos_ + 1;
}

void OdbcRows::loadValue(int c, const char* elem, SQLLEN ind) {
    Column& col = cols_[static_cast<std::size_t>(c)];
    col.null = ind == SQL_NULL_DATA;
    if (col.null) {
        col.i = 0;
        col.d = 0;
        col.b = false;
        col.text.clear();
        col.bytes.clear();
        return;
    }
    switch (col.storage) {
    case Storage::Int64: {
        SQLBIGINT v = 0;
        std::memcpy(&v, elem, sizeof v);
        col.i = v;
        break;
    }
    case Storage::Double:
        if (col.cType == SQL_C_FLOAT) {
            SQLREAL f = 0;
            std::memcpy(&f, elem, sizeof f);
            col.d = f;
        } else {
            std::memcpy(&col.d, elem, sizeof col.d);
        }
        break;
    case Storage::Boolean:
        col.b = *elem != 0;
        break;
    case Storage::DateTime:
        if (col.timeAsText) {
            const SQLLEN len = ind == SQL_NO_TOTAL ? 0 : std::min(ind, col.elemBytes - 1);
            const std::string_view text(elem, static_cast<std::size_t>(len));
            if (!parseTimeText(text, col.i))
                throw DbError(QStringLiteral("Invalid time value '%1' in column %2")
                                  .arg(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                                       fields_[static_cast<std::size_t>(c)].name),
                              QStringLiteral("22007"));
        } else {
            SQL_TIMESTAMP_STRUCT ts{};
            std::memcpy(&ts, elem, sizeof ts);
            col.i = timestampValue(ts);
        }
        break;
    case Storage::Text: {
        col.text.clear();
        const bool narrow = col.cType == SQL_C_CHAR;
        const SQLLEN unit = narrow ? 1 : static_cast<SQLLEN>(sizeof(SQLWCHAR));
        const SQLLEN capacity = col.elemBytes - unit;
        if (elem && ind != SQL_NO_TOTAL && ind <= capacity) {
            if (narrow)
                col.text.assign(elem, static_cast<std::size_t>(ind));
            else
                appendUtf8(col.text, reinterpret_cast<const SQLWCHAR*>(elem),
                           static_cast<std::size_t>(ind) / sizeof(SQLWCHAR));
            break;
        }
        if (!readWhole(c, scratch_)) {
            col.null = true;
            break;
        }
        if (narrow)
            col.text.assign(scratch_.data(), scratch_.size());
        else
            appendUtf8(col.text, reinterpret_cast<const SQLWCHAR*>(scratch_.data()),
                       scratch_.size() / sizeof(SQLWCHAR));
        break;
    }
    case Storage::Bytes:
        if (elem && ind != SQL_NO_TOTAL && ind <= col.elemBytes) {
            col.bytes = QByteArray(elem, static_cast<qsizetype>(ind));
            break;
        }
        if (!readWhole(c, scratch_)) {
            col.null = true;
            col.bytes.clear();
            break;
        }
        col.bytes = QByteArray(scratch_.data(), static_cast<qsizetype>(scratch_.size()));
        break;
    }
}

// The whole value of a text or binary column of the current row, piece by piece.
// False when it is NULL.
bool OdbcRows::readWhole(int c, std::vector<char>& out) {
    Column& col = cols_[static_cast<std::size_t>(c)];
    positionOnRow();
    const std::size_t term = col.cType == SQL_C_WCHAR ? sizeof(SQLWCHAR)
                             : col.cType == SQL_C_CHAR ? 1
                                                       : 0;
    out.clear();
    std::vector<char> piece(std::max<std::size_t>(static_cast<std::size_t>(col.elemBytes) * 4, 16384));
    for (;;) {
        SQLLEN ind = 0;
        const SQLRETURN rc =
            stmt_.check(SQLGetData(stmt_.get(), static_cast<SQLUSMALLINT>(c + 1), col.cType,
                                   piece.data(), static_cast<SQLLEN>(piece.size()), &ind),
                        "SQLGetData");
        if (rc == SQL_NO_DATA)
            return true;
        if (ind == SQL_NULL_DATA)
            return false;
        const std::size_t room = piece.size() - term;
        if (ind != SQL_NO_TOTAL && static_cast<std::size_t>(ind) <= room) {
            out.insert(out.end(), piece.data(), piece.data() + ind);
            return true;
        }
        // the buffer is full (less its terminator): more follows
        out.insert(out.end(), piece.data(), piece.data() + room);
        if (ind != SQL_NO_TOTAL) {
            const std::size_t rest = static_cast<std::size_t>(ind) - room;
            if (rest + term > piece.size())
                piece.resize(rest + term);
        } else if (piece.size() < (std::size_t{1} << 24)) {
            piece.resize(piece.size() * 2);
        }
    }
}

}  // namespace vnk::db::odbc
