#pragma once

#include "Field.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>
#include <string_view>
#include <vector>

namespace vnk::db {

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
};

class ColumnStore;  // compact per-column storage

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
    bool eof() const;
    bool bof() const;

    using Bookmark = std::uint32_t;  // a stored row, whatever the order
    Bookmark bookmark() const;
    void gotoBookmark(Bookmark b);

    // client-side sort: "field ASC" or "field DESC"; empty restores the fetched order.
    // An unknown field raises DbError.
    QString sort() const;
    void setSort(const QString& spec);

    // values of a row in the current order
    bool isNull(std::int64_t row, int col) const;
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

private:
    std::vector<FieldInfo> fields_;
    std::unique_ptr<ColumnStore> store_;
    std::vector<std::uint32_t> order_;  // empty: fetched order
    QString sort_;
    std::int64_t cur_ = -1;  // 0-based index into the current order
};

}  // namespace vnk::db
