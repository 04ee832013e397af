#include "ResultSet.h"

#include "ColumnStore.h"
#include "DbError.h"
#include "ValueFormat.h"
#include "ValueText.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

namespace vnk::db {

namespace {

constexpr std::int64_t kExactDouble = std::int64_t(1) << 53;

int compareBinary(std::string_view a, std::string_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Next code point of UTF-8 text (held texts are valid UTF-8; a stray byte reads as itself).
char32_t nextCodePoint(const unsigned char*& p, const unsigned char* end) {
    const unsigned c = *p++;
    if (c < 0x80)
        return c;
    int extra = c >= 0xF0 ? 3 : (c >= 0xE0 ? 2 : (c >= 0xC0 ? 1 : 0));
    char32_t cp = c & (0x3F >> extra);
    for (; extra > 0 && p < end && (*p & 0xC0) == 0x80; --extra)
        cp = (cp << 6) | (*p++ & 0x3F);
    return cp;
}

// Case-insensitive (by Unicode case folding) first, ties broken by the exact bytes so
// that the order is total. Allocation-free: a sort compares millions of times.
int compareText(std::string_view a, std::string_view b) {
    // Equal bytes fold alike: start folding at the code point of the first difference.
    const auto ua = reinterpret_cast<const unsigned char*>(a.data());
    const auto ub = reinterpret_cast<const unsigned char*>(b.data());
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = static_cast<std::size_t>(std::mismatch(ua, ua + n, ub).first - ua);
    if (i == n)
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    while (i > 0 && ((ua[i] & 0xC0) == 0x80 || (ub[i] & 0xC0) == 0x80))
        --i;
    auto pa = ua + i;
    auto pb = ub + i;
    const auto ea = ua + a.size(), eb = ub + b.size();
    while (pa < ea && pb < eb) {
        char32_t ca, cb;
        if ((*pa | *pb) < 0x80) {
            ca = *pa++;
            cb = *pb++;
            if (ca >= 'A' && ca <= 'Z')
                ca += 32;
            if (cb >= 'A' && cb <= 'Z')
                cb += 32;
        } else {
            ca = QChar::toCaseFolded(nextCodePoint(pa, ea));
            cb = QChar::toCaseFolded(nextCodePoint(pb, eb));
        }
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if ((pa < ea) != (pb < eb))
        return pa < ea ? 1 : -1;
    return compareBinary(a, b);
}

template <typename T>
int compareValues(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

int compareDoubles(double a, double b) {
    const bool na = std::isnan(a), nb = std::isnan(b);
    if (na || nb)
        return na == nb ? 0 : (na ? 1 : -1);  // NaN after every number
    return compareValues(a, b);
}

QString unquoted(const QString& name) {
    if (name.size() >= 2 && ((name.front() == u'[' && name.back() == u']') ||
                             (name.front() == u'"' && name.back() == u'"') ||
                             (name.front() == u'`' && name.back() == u'`')))
        return name.mid(1, name.size() - 2);
    return name;
}

[[noreturn]] void unknownSortField() {
    throw DbError(QStringLiteral(
        "Item cannot be found in the collection corresponding to the requested name or ordinal."));
}

// A forward-only view of a held result in its current order.
class HeldRows final : public RowSource {
public:
    // Stands before the first row, or on the given row.
    explicit HeldRows(const ResultSet& rs, std::int64_t row = -1) : rs_(rs), row_(row) {}
    const std::vector<FieldInfo>& fields() const override { return rs_.fields(); }
    bool next() override {
        if (row_ + 1 >= rs_.recordCount()) {
            row_ = rs_.recordCount();
            return false;
        }
        ++row_;
        return true;
    }
    bool isNull(int col) const override { return rs_.isNull(row_, col); }
    Storage valueStorage(int col) const override { return rs_.valueStorage(row_, col); }
    std::int64_t int64At(int col) const override { return rs_.int64At(row_, col); }
    double doubleAt(int col) const override { return rs_.doubleAt(row_, col); }
    std::string_view textAt(int col) const override { return rs_.textAt(row_, col); }
    QByteArray bytesAt(int col) const override { return rs_.bytesAt(row_, col); }
    DateTimeValue dateTimeAt(int col) const override { return rs_.dateTimeAt(row_, col); }
    bool boolAt(int col) const override { return rs_.boolAt(row_, col); }
    const ResultSet* unreadHeldResult() const override { return row_ == -1 ? &rs_ : nullptr; }

private:
    const ResultSet& rs_;
    std::int64_t row_;
};

}  // namespace

ResultSet::ResultSet(std::vector<FieldInfo> fields) : fields_(std::move(fields)) {
    for (FieldInfo& f : fields_) {
        if (f.displayWidth <= 0)
            f.displayWidth = defaultDisplayWidth(f.kind, f.size);
    }
    store_ = std::make_unique<ColumnStore>(fields_);
}

ResultSet::~ResultSet() = default;

std::unique_ptr<ResultSet> ResultSet::fetchAll(RowSource& source) {
    auto rs = std::make_unique<ResultSet>(source.fields());
    source.appendRemainingTo(*rs);
    rs->store_->shrinkToFit();
    rs->first();
    return rs;
}

int ResultSet::fieldCount() const {
    return static_cast<int>(fields_.size());
}

const FieldInfo& ResultSet::field(int col) const {
    return fields_.at(static_cast<std::size_t>(col));
}

const std::vector<FieldInfo>& ResultSet::fields() const {
    return fields_;
}

int ResultSet::fieldIndex(const QString& name) const {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

std::int64_t ResultSet::recordCount() const {
    return store_->rowCount();
}

void ResultSet::setFieldName(int col, const QString& name) {
    fields_.at(static_cast<std::size_t>(col)).name = name;
}

// ---- navigation

std::int64_t ResultSet::recNo() const {
    return recordCount() == 0 ? 0 : cur_ + 1;
}

void ResultSet::first() {
    const bool empty = recordCount() == 0;
    cur_ = empty ? -1 : 0;
    bof_ = true;
    eof_ = empty;
}

void ResultSet::last() {
    const bool empty = recordCount() == 0;
    cur_ = recordCount() - 1;
    bof_ = empty;
    eof_ = true;
}

void ResultSet::next() {
    if (cur_ + 1 >= recordCount()) {
        eof_ = true;
        return;
    }
    ++cur_;
    bof_ = eof_ = false;
}

void ResultSet::prior() {
    if (cur_ <= 0) {
        bof_ = true;
        return;
    }
    --cur_;
    bof_ = eof_ = false;
}

void ResultSet::moveTo(std::int64_t recNo) {
    const std::int64_t n = recordCount();
    if (n == 0)
        return;
    cur_ = std::clamp<std::int64_t>(recNo, 1, n) - 1;
    bof_ = eof_ = false;
}

bool ResultSet::eof() const {
    return eof_;
}

bool ResultSet::bof() const {
    return bof_;
}

ResultSet::Bookmark ResultSet::bookmark() const {
    return cur_ < 0 ? 0 : physical(cur_);
}

void ResultSet::gotoBookmark(Bookmark b) {
    if (b >= store_->rowCount())
        throw DbError(QStringLiteral("The bookmark does not name a record of this result."));
    if (order_.empty()) {
        cur_ = b;
    } else {
        const auto it = std::find(order_.begin(), order_.end(), b);
        cur_ = it - order_.begin();
    }
    bof_ = eof_ = false;
}

std::uint32_t ResultSet::physical(std::int64_t row) const {
    return order_.empty() ? static_cast<std::uint32_t>(row)
                          : order_[static_cast<std::size_t>(row)];
}

// ---- sort

QString ResultSet::sort() const {
    return sort_;
}

void ResultSet::setSort(const QString& sortText) {
    struct Key {
        int col;
        bool desc;
    };
    // "name", "name ASC", "name DESC"; the name may be bracketed or quoted.
    auto parseKey = [this](const QString& text, Key& key) {
        const QString t = text.trimmed();
        if (t.isEmpty())
            return false;
        QString name = t;
        key.desc = false;
        qsizetype blank = t.size() - 1;
        while (blank > 0 && !t.at(blank).isSpace())
            --blank;
        if (blank > 0) {
            const QString word = t.mid(blank + 1);
            if (word.compare(u"ASC", Qt::CaseInsensitive) == 0 ||
                word.compare(u"DESC", Qt::CaseInsensitive) == 0) {
                key.desc = word.compare(u"DESC", Qt::CaseInsensitive) == 0;
                name = t.left(blank).trimmed();
            }
        }
        key.col = fieldIndex(name);
        if (key.col < 0)
            key.col = fieldIndex(unquoted(name));
        if (key.col < 0 && name != t) {  // a field whose name ends in " ASC"
            key.col = fieldIndex(t);
            key.desc = false;
        }
        return key.col >= 0;
    };

    std::vector<Key> keys;
    if (!sortText.trimmed().isEmpty()) {
        Key key;
        if (parseKey(sortText, key)) {
            keys.push_back(key);
        } else {
            const QStringList parts = sortText.split(u',');
            if (parts.size() < 2)
                unknownSortField();
            for (const QString& part : parts) {
                if (!parseKey(part, key))
                    unknownSortField();
                keys.push_back(key);
            }
        }
    }

    if (keys.empty()) {
        order_.clear();
    } else {
        std::vector<std::uint32_t> order(store_->rowCount());
        std::iota(order.begin(), order.end(), 0u);
        const ColumnStore& st = *store_;
        auto cell = [&st, this](int col, std::uint32_t a, std::uint32_t b) {
            const bool na = st.isNull(a, col), nb = st.isNull(b, col);
            if (na || nb)
                return na == nb ? 0 : (na ? -1 : 1);  // nulls first ascending
            if (st.hasMisfits(col)) {
                const bool ma = st.isMisfit(a, col), mb = st.isMisfit(b, col);
                if (ma || mb) {
                    // after every value of the column's kind
                    return ma && mb ? compareText(st.textAt(a, col), st.textAt(b, col))
                                    : (ma ? 1 : -1);
                }
            }
            switch (st.storage(col)) {
            case Storage::Int64:
                if (fields_[static_cast<std::size_t>(col)].kind == FieldKind::LargeUInt)
                    return compareValues(static_cast<std::uint64_t>(st.int64At(a, col)),
                                         static_cast<std::uint64_t>(st.int64At(b, col)));
                return compareValues(st.int64At(a, col), st.int64At(b, col));
            case Storage::Double: return compareDoubles(st.doubleAt(a, col), st.doubleAt(b, col));
            case Storage::DateTime:
                return compareValues(st.dateTimeAt(a, col), st.dateTimeAt(b, col));
            case Storage::Boolean:
                return compareValues(int(st.boolAt(a, col)), int(st.boolAt(b, col)));
            case Storage::Text: return compareText(st.textAt(a, col), st.textAt(b, col));
            case Storage::Bytes: return compareBinary(st.textAt(a, col), st.textAt(b, col));
            }
            return 0;
        };
        std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            for (const Key& k : keys) {
                const int c = cell(k.col, a, b);
                if (c != 0)
                    return k.desc ? c > 0 : c < 0;
            }
            return false;
        });
        order_ = std::move(order);
    }
    sort_ = sortText;
    first();
}

// ---- values

bool ResultSet::isNull(std::int64_t row, int col) const {
    return store_->isNull(physical(row), col);
}

Storage ResultSet::valueStorage(std::int64_t row, int col) const {
    return store_->isMisfit(physical(row), col) ? Storage::Text : store_->storage(col);
}

std::int64_t ResultSet::int64At(std::int64_t row, int col) const {
    return store_->int64At(physical(row), col);
}

double ResultSet::doubleAt(std::int64_t row, int col) const {
    return store_->doubleAt(physical(row), col);
}

std::string_view ResultSet::textAt(std::int64_t row, int col) const {
    return store_->textAt(physical(row), col);
}

QByteArray ResultSet::bytesAt(std::int64_t row, int col) const {
    const std::string_view v = store_->textAt(physical(row), col);
    return QByteArray(v.data(), static_cast<qsizetype>(v.size()));
}

DateTimeValue ResultSet::dateTimeAt(std::int64_t row, int col) const {
    return store_->dateTimeAt(physical(row), col);
}

bool ResultSet::boolAt(std::int64_t row, int col) const {
    return store_->boolAt(physical(row), col);
}

QVariant ResultSet::value(std::int64_t row, int col) const {
    if (row < 0 || row >= recordCount() || isNull(row, col))
        return {};
    switch (valueStorage(row, col)) {
    case Storage::Int64:
        if (field(col).kind == FieldKind::LargeUInt)
            return QVariant::fromValue<qulonglong>(static_cast<std::uint64_t>(int64At(row, col)));
        return QVariant::fromValue<qlonglong>(int64At(row, col));
    case Storage::Double: return doubleAt(row, col);
    case Storage::DateTime: return toVariant(dateTimeAt(row, col), field(col).kind);
    case Storage::Boolean: return boolAt(row, col);
    case Storage::Text: return QString::fromUtf8(textAt(row, col));
    case Storage::Bytes: return bytesAt(row, col);
    }
    return {};
}

QString ResultSet::displayText(std::int64_t row, int col) const {
    if (row < 0 || row >= recordCount() || isNull(row, col))
        return {};
    const HeldRows at(*this, row);
    std::string text;
    ValueText::system().append(text, at, col, field(col).kind);
    return QString::fromStdString(text);
}

std::unique_ptr<RowSource> ResultSet::rows() const {
    return std::make_unique<HeldRows>(*this);
}

std::size_t ResultSet::memoryUsage() const {
    return store_->memoryUsage() + order_.capacity() * sizeof(std::uint32_t);
}

// ---- building

void RowSource::appendRemainingTo(ResultSet& target) {
    while (next())
        target.appendRow(*this);
}

void ResultSet::appendRow(const RowSource& src) {
    const int n = fieldCount();
    for (int c = 0; c < n; ++c)
        appendCell(src, c);
    endRow();
}

void ResultSet::appendCell(const RowSource& src, int c) {
    ColumnStore& st = *store_;
    if (src.isNull(c)) {
        st.appendNull(c);
        return;
    }
    const Storage cs = st.storage(c);
    const Storage vs = src.valueStorage(c);
    if (vs != cs) {
        if (vs == Storage::Text && !src.kindFromValues(c))
            st.appendMisfit(c, src.textAt(c));
        else
            appendMismatch(src, c, vs);
        return;
    }
    switch (cs) {
    case Storage::Int64: st.appendInt64(c, src.int64At(c)); break;
    case Storage::Double: st.appendDouble(c, src.doubleAt(c)); break;
    case Storage::DateTime: st.appendDateTime(c, src.dateTimeAt(c)); break;
    case Storage::Boolean: st.appendBool(c, src.boolAt(c)); break;
    case Storage::Text: st.appendText(c, src.textAt(c)); break;
    case Storage::Bytes: {
        const QByteArray b = src.bytesAt(c);
        st.appendText(c, std::string_view(b.constData(), static_cast<std::size_t>(b.size())));
        break;
    }
    }
}

void ResultSet::endRow() {
    ColumnStore& st = *store_;
    if (st.rowCount() == std::numeric_limits<std::uint32_t>::max() - 1)
        throw DbError(QStringLiteral("The result has more rows than can be held."));
    st.endRow();
    if (cur_ < 0)
        first();
}

void ResultSet::toTextColumn(int col) {
    FieldInfo& f = fields_[static_cast<std::size_t>(col)];
    store_->convertToText(col, f.kind);
    f.kind = FieldKind::String;
    f.size = 0;
    f.precision = f.scale = 0;
    f.displayWidth = defaultDisplayWidth(f.kind, 0);
}

void ResultSet::appendMismatch(const RowSource& src, int col, Storage vs) {
    ColumnStore& st = *store_;
    FieldInfo& f = fields_[static_cast<std::size_t>(col)];
    const Storage cs = st.storage(col);
    auto appendBytes = [&] {
        const QByteArray b = src.bytesAt(col);
        st.appendText(col, std::string_view(b.constData(), static_cast<std::size_t>(b.size())));
    };

    if (cs == Storage::Int64 && vs == Storage::Double && st.intsFitDouble(col)) {
        st.convertIntsToDouble(col);
        f.kind = FieldKind::Float;
        f.displayWidth = defaultDisplayWidth(f.kind, 0);
        st.appendDouble(col, src.doubleAt(col));
        return;
    }
    if (cs == Storage::Double && vs == Storage::Int64) {
        const std::int64_t v = src.int64At(col);
        if (v <= kExactDouble && v >= -kExactDouble) {
            st.appendDouble(col, static_cast<double>(v));
            return;
        }
    }
    if (cs == Storage::Bytes) {
        appendBytes();
        return;
    }
    if (cs != Storage::Text)
        toTextColumn(col);
    if (vs == Storage::Bytes) {
        st.convertTextToBytes(col);
        f.kind = FieldKind::Blob;
        f.displayWidth = defaultDisplayWidth(f.kind, 0);
        appendBytes();
        return;
    }
    st.appendText(col, src.textAt(col));
}

void ResultSet::appendValues(const QVariantList& values) {
    ColumnStore& st = *store_;
    const int n = fieldCount();
    for (int c = 0; c < n; ++c) {
        const QVariant v = c < values.size() ? values[c] : QVariant();
        if (!v.isValid() || v.isNull()) {
            st.appendNull(c);
            continue;
        }
        switch (st.storage(c)) {
        case Storage::Int64: st.appendInt64(c, v.toLongLong()); break;
        case Storage::Double: st.appendDouble(c, v.toDouble()); break;
        case Storage::DateTime: st.appendDateTime(c, fromVariant(v)); break;
        case Storage::Boolean: st.appendBool(c, v.toBool()); break;
        case Storage::Text: {
            const QByteArray u = v.toString().toUtf8();
            st.appendText(c, std::string_view(u.constData(), static_cast<std::size_t>(u.size())));
            break;
        }
        case Storage::Bytes: {
            const QByteArray b = v.toByteArray();
            st.appendText(c, std::string_view(b.constData(), static_cast<std::size_t>(b.size())));
            break;
        }
        }
    }
    endRow();
}

}  // namespace vnk::db
