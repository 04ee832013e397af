#pragma once

#include "Field.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>
#include <string_view>
#include <vector>

namespace vnk::db {

class ColumnStore;  // compact per-column storage
class ResultSet;

// Forward-only rows straight from a provider: a batch export streams through this
// without holding the rows. Values of the current row are read by column and storage
// form; a text is UTF-8, valid until the next call of next().
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual const std::vector<FieldInfo>& fields() const = 0;
    virtual bool next() = 0;  // moves to the next row; false at the end
    virtual bool isNull(int col) const = 0;
    virtual std::int64_t int64At(int col) const = 0;
    virtual double doubleAt(int col) const = 0;
    virtual std::string_view textAt(int col) const = 0;  // Text storage
    virtual QByteArray bytesAt(int col) const = 0;        // Bytes storage
    virtual DateTimeValue dateTimeAt(int col) const = 0;
    virtual bool boolAt(int col) const = 0;

    // The storage form that holds the current (non-null) value exactly: the column's own
    // form, unless a provider with dynamic typing (SQLite) sent a value of another form.
    // Such a value can always be read with textAt(), or bytesAt() for Bytes. In a column
    // of a declared kind it is Text: the value's own text, in that cell only (a held
    // result keeps it so, the column keeps its kind). In a column whose kind was taken
    // from its values (kindFromValues) a held result widens the whole column instead
    // (integers to doubles, anything to text, text to bytes).
    virtual Storage valueStorage(int col) const {
        return storageOf(fields()[static_cast<std::size_t>(col)].kind);
    }
    // True for a column without a declared type whose kind was taken from its first value
    // (a SQLite expression).
    virtual bool kindFromValues(int /*col*/) const { return false; }

    // Appends every remaining row to a held result (ResultSet::fetchAll). The default goes
    // row by row through the accessors above; a provider may fill the column store itself.
    virtual void appendRemainingTo(ResultSet& target);

    // The held result this source reads, while it still stands before its first row (a
    // writer may then read the rows straight from the store, in the result's order);
    // null for a provider's rows.
    virtual const ResultSet* unreadHeldResult() const { return nullptr; }
};

// A result held whole on the client: record count, current record, bookmarks and a
// client-side sort. Rows are addressed in the current sort order (0-based); the
// current record number is 1-based and 0 when the result is empty.
class ResultSet {
public:
    explicit ResultSet(std::vector<FieldInfo> fields);
    ~ResultSet();
    ResultSet(const ResultSet&) = delete;
    ResultSet& operator=(const ResultSet&) = delete;

    // Drains the source into a new held result.
    static std::unique_ptr<ResultSet> fetchAll(RowSource& source);

    int fieldCount() const;
    const FieldInfo& field(int col) const;
    const std::vector<FieldInfo>& fields() const;
    int fieldIndex(const QString& name) const;  // case-insensitive; -1 when absent
    std::int64_t recordCount() const;

    // navigation over the current order
    std::int64_t recNo() const;
    void first();
    void last();
    void next();
    void prior();
    void moveTo(std::int64_t recNo);
    // As a dataset: next() on the last record sets eof and stays there, prior() on the
    // first sets bof; first() sets bof, last() sets eof; an empty result has both.
    bool eof() const;
    bool bof() const;

    using Bookmark = std::uint32_t;  // a stored row, whatever the order
    Bookmark bookmark() const;
    void gotoBookmark(Bookmark b);

    // client-side sort: "field ASC" or "field DESC"; empty restores the fetched order.
    // An unknown field raises DbError. Ascending, nulls come first and values held as
    // text against their column's kind last (among themselves by their text);
    // descending, the other way round. Equal values keep their fetched order.
    QString sort() const;
    void setSort(const QString& sortText);

    // values of a row in the current order
    bool isNull(std::int64_t row, int col) const;
    // The form the (non-null) value is held in: the column's, or Text for a value the
    // column's kind cannot hold, kept as its text in that cell (RowSource::valueStorage).
    Storage valueStorage(std::int64_t row, int col) const;
    std::int64_t int64At(std::int64_t row, int col) const;
    double doubleAt(std::int64_t row, int col) const;
    std::string_view textAt(std::int64_t row, int col) const;
    QByteArray bytesAt(std::int64_t row, int col) const;
    DateTimeValue dateTimeAt(std::int64_t row, int col) const;
    bool boolAt(std::int64_t row, int col) const;
    QVariant value(std::int64_t row, int col) const;  // null QVariant for null
    QString displayText(std::int64_t row, int col) const;

    // the same for the current record
    QVariant value(int col) const { return value(recNo() - 1, col); }
    QString displayText(int col) const { return displayText(recNo() - 1, col); }

    // A row source over this held result in its current order (the export reads
    // held and streamed rows alike).
    std::unique_ptr<RowSource> rows() const;

    // Bytes held by the column store (for the memory benchmark).
    std::size_t memoryUsage() const;

    // building
    void appendRow(const RowSource& src);
    // One row of values in field order (schema rowsets, tests): a null QVariant is null;
    // others convert to the column's storage (dates from QDate, QTime or QDateTime).
    void appendValues(const QVariantList& values);
    // Field names of a provider's rowset made to the names callers read.
    void setFieldName(int col, const QString& name);

    // For providers filling the store directly (RowSource::appendRemainingTo): values go
    // into store() column by column; appendCell() takes one value of the source in any
    // storage form (widening the column when the value needs it); endRow() ends a row.
    ColumnStore& store() { return *store_; }
    const ColumnStore& store() const { return *store_; }
    // The stored row (the store's index) of a row in the current order.
    std::uint32_t storedRow(std::int64_t row) const { return physical(row); }
    void appendCell(const RowSource& src, int col);
    void endRow();

private:
    std::vector<FieldInfo> fields_;
    std::unique_ptr<ColumnStore> store_;
    std::vector<std::uint32_t> order_;  // empty: fetched order
    QString sort_;
    std::int64_t cur_ = -1;  // 0-based index into the current order
    bool bof_ = true;
    bool eof_ = true;

    std::uint32_t physical(std::int64_t row) const;
    void appendMismatch(const RowSource& src, int col, Storage vs);
    void toTextColumn(int col);
};

}  // namespace vnk::db
