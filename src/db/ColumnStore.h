#pragma once

#include "Field.h"

#include <QByteArrayView>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace vnk::db {

// Memory for PodBuffer: malloc for small blocks; from 64 KiB on, pages of their own that
// grow by remapping (no copy, no second fault of the pages already written) and are
// kept for reuse when freed (up to a limit).
namespace podmem {
constexpr std::size_t kMapped = std::size_t(64) << 10;
// newBytes: in, the bytes wanted; out, the bytes the block holds (at least those).
void* resize(void* p, std::size_t oldBytes, std::size_t& newBytes);  // p may be null
void release(void* p, std::size_t bytes) noexcept;
}  // namespace podmem

// A growable array of trivially copyable values (the column store's arrays).
template <typename T>
class PodBuffer {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    PodBuffer() = default;
    PodBuffer(const PodBuffer& o) { *this = o; }
    PodBuffer(PodBuffer&& o) noexcept
        : data_(std::exchange(o.data_, nullptr)), size_(std::exchange(o.size_, 0)),
          cap_(std::exchange(o.cap_, 0)) {}
    PodBuffer& operator=(const PodBuffer& o) {
        if (this != &o) {
            clear();
            append(o.data_, o.size_);
        }
        return *this;
    }
    PodBuffer& operator=(PodBuffer&& o) noexcept {
        std::swap(data_, o.data_);
        std::swap(size_, o.size_);
        std::swap(cap_, o.cap_);
        return *this;
    }
    ~PodBuffer() { podmem::release(data_, cap_ * sizeof(T)); }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::size_t capacityBytes() const { return cap_ * sizeof(T); }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T& back() { return data_[size_ - 1]; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

    void push_back(T v) {
        if (size_ == cap_)
            grow(size_ + 1);
        data_[size_++] = v;
    }
    void append(const T* p, std::size_t n) {
        if (n == 0)
            return;
        if (cap_ - size_ < n)
            grow(size_ + n);
        std::memcpy(data_ + size_, p, n * sizeof(T));
        size_ += n;
    }
    void resize(std::size_t n, T v) {
        if (n > cap_)
            grow(n);
        for (std::size_t i = size_; i < n; ++i)
            data_[i] = v;
        size_ = n;
    }
    void reserve(std::size_t n) {
        if (n > cap_)
            setCapacity(n);
    }
    void clear() {
        podmem::release(data_, cap_ * sizeof(T));
        data_ = nullptr;
        size_ = cap_ = 0;
    }
    void shrink_to_fit() {
        if (size_ == 0)
            clear();
        else if (cap_ != size_)
            setCapacity(size_);
    }

private:
    // Mapped blocks grow without copying, so by a quarter: less memory held (and touched)
    // beyond what the rows need.
    void grow(std::size_t need) {
        const std::size_t step = cap_ * sizeof(T) >= podmem::kMapped ? cap_ / 4 : cap_;
        setCapacity(std::max({need, cap_ + step, std::size_t(16)}));
    }
    void setCapacity(std::size_t n) {
        std::size_t bytes = n * sizeof(T);
        data_ = static_cast<T*>(podmem::resize(data_, cap_ * sizeof(T), bytes));
        cap_ = bytes / sizeof(T);
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t cap_ = 0;
};

// The rows of a held result, one compact array per column:
// - integers as int32 until a value needs 64 bits, then the column is widened once;
// - doubles and date-times (ms since the zero date) as 8-byte values;
// - texts and bytes in one contiguous buffer per column with end offsets (32-bit until
//   the buffer passes 4 GiB);
// - Booleans as bits;
// - a null bitmap per column, allocated when the column meets its first null;
// - cells whose value the column's kind cannot hold (a provider with dynamic typing sent
//   one, as SQLite may) are kept as their text in that cell only: a bitmap marks them, and
//   their texts lie in a buffer of their own, in row order. Text and bytes columns have none.
// Rows are appended column by column; endRow() completes a row.
class ColumnStore {
public:
    explicit ColumnStore(const std::vector<FieldInfo>& fields);

    int columnCount() const { return static_cast<int>(cols_.size()); }
    std::uint32_t rowCount() const { return rows_; }
    Storage storage(int col) const { return cols_[static_cast<std::size_t>(col)].storage; }

    void appendNull(int col);
    void appendInt64(int col, std::int64_t v) {
        Column& c = at(col);
        if (!c.wideInts) {
            if (v >= std::numeric_limits<std::int32_t>::min() &&
                v <= std::numeric_limits<std::int32_t>::max()) {
                c.i32.push_back(static_cast<std::int32_t>(v));
                return;
            }
            widenInts(c);
        }
        c.i64.push_back(v);
    }
    void appendDouble(int col, double v) { at(col).f64.push_back(v); }
    void appendDateTime(int col, DateTimeValue v) { at(col).i64.push_back(v); }
    void appendBool(int col, bool v) {
        Column& c = at(col);
        const std::uint32_t r = rows_;
        if ((r & 63) == 0)
            c.bits.push_back(0);
        if (v)
            c.bits.back() |= std::uint64_t(1) << (r & 63);
    }
    // Text and Bytes storage.
    void appendText(int col, std::string_view v) {
        Column& c = at(col);
        c.buf.append(v.data(), v.size());
        pushEnd(c);
    }
    // A value the column cannot hold, kept whole as its text in this cell; the column keeps
    // its storage form. Not for Text and Bytes columns, which hold any text themselves.
    void appendMisfit(int col, std::string_view text);
    void endRow() { ++rows_; }

    bool isNull(std::uint32_t row, int col) const {
        const Column& c = at(col);
        const std::size_t w = row >> 6;
        return w < c.nulls.size() && ((c.nulls[w] >> (row & 63)) & 1);
    }
    std::int64_t int64At(std::uint32_t row, int col) const {
        const Column& c = at(col);
        return c.wideInts ? c.i64[row] : c.i32[row];
    }
    double doubleAt(std::uint32_t row, int col) const { return at(col).f64[row]; }
    DateTimeValue dateTimeAt(std::uint32_t row, int col) const { return at(col).i64[row]; }
    bool boolAt(std::uint32_t row, int col) const {
        return (at(col).bits[row >> 6] >> (row & 63)) & 1;
    }
    bool hasMisfits(int col) const { return !at(col).misfitRows.empty(); }
    bool isMisfit(std::uint32_t row, int col) const { return isMisfitIn(at(col), row); }
    // The text of a Text or Bytes column's value, or of a misfit cell of any column.
    std::string_view textAt(std::uint32_t row, int col) const {
        const Column& c = at(col);
        if (!c.misfitRows.empty() && isMisfitIn(c, row))
            return misfitTextIn(c, row);
        const std::uint64_t begin = row == 0 ? 0 : endAt(c, row - 1);
        return std::string_view(c.buf.data() + begin, endAt(c, row) - begin);
    }
    bool intsAreWide(int col) const { return at(col).wideInts; }

    // Read-only pointers into one column's arrays, for readers that walk many rows of a
    // column at once (the export). Valid until the store changes.
    struct ColumnView {
        Storage storage;
        const std::uint64_t* nulls;
        std::size_t nullWords;
        const std::int32_t* i32;  // integers, until they need 64 bits
        const std::int64_t* i64;  // wide integers and date-times
        bool wideInts;
        const double* f64;
        const std::uint64_t* bits;
        const char* buf;  // texts and bytes
        const std::uint32_t* end32;
        const std::uint64_t* end64;
        bool wideEnds;
        const std::uint64_t* misfits;  // cells held as text against the column's storage
        std::size_t misfitWords;
        const std::uint32_t* misfitRows;
        std::size_t misfitCount;
        const char* misfitBuf;
        const std::uint64_t* misfitEnds;

        bool isNull(std::uint32_t row) const {
            const std::size_t w = row >> 6;
            return w < nullWords && ((nulls[w] >> (row & 63)) & 1);
        }
        std::int64_t int64At(std::uint32_t row) const { return wideInts ? i64[row] : i32[row]; }
        bool boolAt(std::uint32_t row) const { return (bits[row >> 6] >> (row & 63)) & 1; }
        std::string_view textAt(std::uint32_t row) const {
            const std::uint64_t begin = row == 0 ? 0 : end(row - 1);
            return std::string_view(buf + begin, end(row) - begin);
        }
        bool hasMisfits() const { return misfitCount > 0; }
        bool isMisfit(std::uint32_t row) const {
            const std::size_t w = row >> 6;
            return w < misfitWords && ((misfits[w] >> (row & 63)) & 1);
        }
        std::string_view misfitText(std::uint32_t row) const {
            const std::size_t i = static_cast<std::size_t>(
                std::lower_bound(misfitRows, misfitRows + misfitCount, row) - misfitRows);
            const std::uint64_t begin = i == 0 ? 0 : misfitEnds[i - 1];
            return std::string_view(misfitBuf + begin, misfitEnds[i] - begin);
        }

    private:
        std::uint64_t end(std::uint32_t row) const { return wideEnds ? end64[row] : end32[row]; }
    };
    ColumnView view(int col) const {
        const Column& c = at(col);
        return {c.storage,         c.nulls.data(),      c.nulls.size(),      c.i32.data(),
                c.i64.data(),      c.wideInts,          c.f64.data(),        c.bits.data(),
                c.buf.data(),      c.end32.data(),      c.end64.data(),      c.wideEnds,
                c.misfits.data(),  c.misfits.size(),    c.misfitRows.data(), c.misfitRows.size(),
                c.misfitBuf.data(), c.misfitEnds.data()};
    }

    // Lossless changes of a column's storage while rows arrive (a provider whose column
    // types are only a hint, as SQLite's, may send a value the column cannot hold).
    bool intsFitDouble(int col) const;  // every integer exact as a double
    void convertIntsToDouble(int col);
    // Every value re-written as its text: integers in decimal, doubles in the shortest
    // exact form, date-times in ISO form, Booleans as 1 and 0; misfit cells keep theirs.
    void convertToText(int col, FieldKind kind);
    void convertTextToBytes(int col);

    void shrinkToFit();
    std::size_t memoryUsage() const;

private:
    struct Column {
        Storage storage;
        bool wideInts = false;
        bool wideEnds = false;
        PodBuffer<std::uint64_t> nulls;
        PodBuffer<std::int32_t> i32;
        PodBuffer<std::int64_t> i64;  // wide integers and date-times
        PodBuffer<double> f64;
        PodBuffer<std::uint64_t> bits;
        PodBuffer<char> buf;
        PodBuffer<std::uint32_t> end32;
        PodBuffer<std::uint64_t> end64;
        PodBuffer<std::uint64_t> misfits;
        PodBuffer<std::uint32_t> misfitRows;  // ascending
        PodBuffer<char> misfitBuf;
        PodBuffer<std::uint64_t> misfitEnds;
    };

    Column& at(int col) { return cols_[static_cast<std::size_t>(col)]; }
    const Column& at(int col) const { return cols_[static_cast<std::size_t>(col)]; }
    static std::uint64_t endAt(const Column& c, std::uint32_t row) {
        return c.wideEnds ? c.end64[row] : c.end32[row];
    }
    void pushEnd(Column& c) {
        const std::size_t e = c.buf.size();
        if (!c.wideEnds) {
            if (e <= std::numeric_limits<std::uint32_t>::max()) {
                c.end32.push_back(static_cast<std::uint32_t>(e));
                return;
            }
            widenEnds(c);
        }
        c.end64.push_back(e);
    }
    static void widenInts(Column& c);
    static void widenEnds(Column& c);
    void appendSlot(int col);
    static bool isMisfitIn(const Column& c, std::uint32_t row) {
        const std::size_t w = row >> 6;
        return w < c.misfits.size() && ((c.misfits[w] >> (row & 63)) & 1);
    }
    static std::string_view misfitTextIn(const Column& c, std::uint32_t row);

    std::vector<Column> cols_;
    std::uint32_t rows_ = 0;
};

}  // namespace vnk::db
