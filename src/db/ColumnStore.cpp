#include "ColumnStore.h"

#include "ValueFormat.h"

#include <mutex>
#include <string>
#include <sys/mman.h>

namespace vnk::db {

namespace {

template <typename T>
std::size_t bytesOf(const std::vector<T>& v) {
    return v.capacity() * sizeof(T);
}

template <typename T>
std::size_t bytesOf(const PodBuffer<T>& v) {
    return v.capacityBytes();
}

template <typename T>
void release(PodBuffer<T>& v) {
    v.clear();
}

void appendString(PodBuffer<char>& buf, const std::string& s) {
    buf.append(s.data(), s.size());
}

}  // namespace

namespace podmem {

namespace {

constexpr std::size_t kPage = 4096;
// Freed blocks kept for the next result: re-running a query then writes into pages that
// are already there instead of faulting in fresh ones, the largest cost of a big fetch.
constexpr std::size_t kCacheLimit = std::size_t(256) << 20;

std::size_t pages(std::size_t bytes) {
    return (bytes + kPage - 1) & ~(kPage - 1);
}

void populate(void* p, std::size_t bytes) {
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif
    // One call instead of a fault per page; harmless where the kernel lacks it.
    madvise(p, bytes, MADV_POPULATE_WRITE);
}

struct Block {
    char* p;
    std::size_t bytes;
};

struct Cache {
    std::mutex mutex;
    std::vector<Block> blocks;
    std::size_t bytes = 0;
};

Cache& cache() {
    static Cache* c = new Cache;  // never destroyed: blocks may be released at exit
    return *c;
}

// The smallest cached block of at least `bytes`; failing that, with `orLargest`, the
// largest one.
bool takeBlock(std::size_t bytes, bool orLargest, Block& out) {
    Cache& c = cache();
    std::lock_guard lock(c.mutex);
    auto best = c.blocks.end(), largest = c.blocks.end();
    for (auto it = c.blocks.begin(); it != c.blocks.end(); ++it) {
        if (it->bytes >= bytes && (best == c.blocks.end() || it->bytes < best->bytes))
            best = it;
        if (largest == c.blocks.end() || it->bytes > largest->bytes)
            largest = it;
    }
    const auto it = best != c.blocks.end() ? best : (orLargest ? largest : c.blocks.end());
    if (it == c.blocks.end())
        return false;
    out = *it;
    c.blocks.erase(it);
    c.bytes -= out.bytes;
    return true;
}

void giveBack(char* p, std::size_t bytes) noexcept {
    if (bytes >= kMapped) {
        Cache& c = cache();
        std::lock_guard lock(c.mutex);
        if (c.bytes + bytes <= kCacheLimit) {
            try {
                c.blocks.push_back({p, bytes});
                c.bytes += bytes;
                return;
            } catch (...) {
            }
        }
    }
    munmap(p, bytes);
}

char* mapFresh(std::size_t bytes) {
    void* q = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (q == MAP_FAILED)
        throw std::bad_alloc();
    populate(q, bytes);
    return static_cast<char*>(q);
}

// A mapping of at least `bytes` (page multiple): a cached block when one is big enough,
// otherwise fresh pages. `bytes` becomes the block's whole size.
char* mapAtLeast(std::size_t& bytes) {
    Block b;
    if (takeBlock(bytes, true, b)) {
        if (b.bytes >= bytes) {
            bytes = b.bytes;
            return b.p;
        }
        // Too small: grown in place or moved by the kernel, its pages kept.
        void* q = mremap(b.p, b.bytes, bytes, MREMAP_MAYMOVE);
        if (q != MAP_FAILED) {
            populate(static_cast<char*>(q) + b.bytes, bytes - b.bytes);
            return static_cast<char*>(q);
        }
        giveBack(b.p, b.bytes);
    }
    return mapFresh(bytes);
}

}  // namespace

void* resize(void* p, std::size_t oldBytes, std::size_t& newBytes) {
    const bool wasMapped = p && oldBytes >= kMapped;
    if (newBytes < kMapped) {
        if (!wasMapped) {
            void* q = std::realloc(p, newBytes);
            if (!q)
                throw std::bad_alloc();
            return q;
        }
        void* q = std::malloc(newBytes);
        if (!q)
            throw std::bad_alloc();
        std::memcpy(q, p, newBytes);
        giveBack(static_cast<char*>(p), oldBytes);
        return q;
    }
    newBytes = pages(newBytes);
    if (!wasMapped) {
        char* q = mapAtLeast(newBytes);
        if (p) {
            std::memcpy(q, p, oldBytes);
            std::free(p);
        }
        return q;
    }
    if (newBytes == oldBytes)
        return p;
    if (newBytes < oldBytes) {
        // The tail goes back on its own; a part of a mapping is unmapped like a whole one.
        giveBack(static_cast<char*>(p) + newBytes, oldBytes - newBytes);
        return p;
    }
    // A cached block twice the size, so that copies stay geometric: copying is cheaper
    // than faulting in fresh pages.
    Block b;
    if (takeBlock(std::max(newBytes, 2 * oldBytes), false, b)) {
        std::memcpy(b.p, p, oldBytes);
        giveBack(static_cast<char*>(p), oldBytes);
        newBytes = b.bytes;
        return b.p;
    }
    void* q = mremap(p, oldBytes, newBytes, MREMAP_MAYMOVE);
    if (q == MAP_FAILED)
        throw std::bad_alloc();
    populate(static_cast<char*>(q) + oldBytes, newBytes - oldBytes);
    return q;
}

void release(void* p, std::size_t bytes) noexcept {
    if (!p)
        return;
    if (bytes >= kMapped)
        giveBack(static_cast<char*>(p), bytes);
    else
        std::free(p);
}

}  // namespace podmem

ColumnStore::ColumnStore(const std::vector<FieldInfo>& fields) {
    cols_.resize(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i)
        cols_[i].storage = storageOf(fields[i].kind);
}

void ColumnStore::appendNull(int col) {
    Column& c = at(col);
    const std::uint32_t r = rows_;
    const std::size_t w = r >> 6;
    if (c.nulls.size() <= w)
        c.nulls.resize(w + 1, 0);
    c.nulls[w] |= std::uint64_t(1) << (r & 63);
    appendSlot(col);
}

// A slot in the value array keeps the row numbers direct.
void ColumnStore::appendSlot(int col) {
    Column& c = at(col);
    switch (c.storage) {
    case Storage::Int64: appendInt64(col, 0); break;
    case Storage::Double: c.f64.push_back(0); break;
    case Storage::DateTime: c.i64.push_back(0); break;
    case Storage::Boolean: appendBool(col, false); break;
    case Storage::Text:
    case Storage::Bytes: pushEnd(c); break;
    }
}

void ColumnStore::appendMisfit(int col, std::string_view text) {
    Column& c = at(col);
    if (c.storage == Storage::Text || c.storage == Storage::Bytes) {
        appendText(col, text);
        return;
    }
    const std::uint32_t r = rows_;
    const std::size_t w = r >> 6;
    if (c.misfits.size() <= w)
        c.misfits.resize(w + 1, 0);
    c.misfits[w] |= std::uint64_t(1) << (r & 63);
    appendSlot(col);
    c.misfitRows.push_back(r);
    c.misfitBuf.append(text.data(), text.size());
    c.misfitEnds.push_back(c.misfitBuf.size());
}

std::string_view ColumnStore::misfitTextIn(const Column& c, std::uint32_t row) {
    const auto it = std::lower_bound(c.misfitRows.begin(), c.misfitRows.end(), row);
    const std::size_t i = static_cast<std::size_t>(it - c.misfitRows.begin());
    const std::uint64_t begin = i == 0 ? 0 : c.misfitEnds[i - 1];
    return std::string_view(c.misfitBuf.data() + begin, c.misfitEnds[i] - begin);
}

void ColumnStore::widenInts(Column& c) {
    c.i64.reserve(c.i32.capacityBytes() / sizeof(std::int32_t));
    for (std::int32_t v : c.i32)
        c.i64.push_back(v);
    release(c.i32);
    c.wideInts = true;
}

void ColumnStore::widenEnds(Column& c) {
    c.end64.reserve(c.end32.capacityBytes() / sizeof(std::uint32_t));
    for (std::uint32_t v : c.end32)
        c.end64.push_back(v);
    release(c.end32);
    c.wideEnds = true;
}

bool ColumnStore::intsFitDouble(int col) const {
    const Column& c = at(col);
    if (!c.wideInts)
        return true;
    constexpr std::int64_t kExact = std::int64_t(1) << 53;
    for (std::int64_t v : c.i64) {
        if (v > kExact || v < -kExact)
            return false;
    }
    return true;
}

void ColumnStore::convertIntsToDouble(int col) {
    Column& c = at(col);
    c.f64.reserve(rows_ + 1);
    for (std::uint32_t r = 0; r < rows_; ++r)
        c.f64.push_back(static_cast<double>(int64At(r, col)));
    release(c.i32);
    release(c.i64);
    c.wideInts = false;
    c.storage = Storage::Double;
}

void ColumnStore::convertToText(int col, FieldKind kind) {
    Column& c = at(col);
    if (c.storage == Storage::Text || c.storage == Storage::Bytes)
        return;
    Column t;
    t.storage = Storage::Text;
    t.nulls = c.nulls;
    t.end32.reserve(rows_ + 1);
    for (std::uint32_t r = 0; r < rows_; ++r) {
        if (isMisfitIn(c, r)) {
            const std::string_view m = misfitTextIn(c, r);
            t.buf.append(m.data(), m.size());
        } else if (!isNull(r, col)) {
            switch (c.storage) {
            case Storage::Int64: appendString(t.buf, std::to_string(int64At(r, col))); break;
            case Storage::Double: appendString(t.buf, roundTripText(doubleAt(r, col))); break;
            case Storage::DateTime: appendString(t.buf, isoText(dateTimeAt(r, col), kind)); break;
            case Storage::Boolean: t.buf.push_back(boolAt(r, col) ? '1' : '0'); break;
            case Storage::Text:
            case Storage::Bytes: break;
            }
        }
        pushEnd(t);
    }
    c = std::move(t);
}

void ColumnStore::convertTextToBytes(int col) {
    Column& c = at(col);
    if (c.storage == Storage::Text)
        c.storage = Storage::Bytes;
}

void ColumnStore::shrinkToFit() {
    for (Column& c : cols_) {
        c.nulls.shrink_to_fit();
        c.i32.shrink_to_fit();
        c.i64.shrink_to_fit();
        c.f64.shrink_to_fit();
        c.bits.shrink_to_fit();
        c.buf.shrink_to_fit();
        c.end32.shrink_to_fit();
        c.end64.shrink_to_fit();
        c.misfits.shrink_to_fit();
        c.misfitRows.shrink_to_fit();
        c.misfitBuf.shrink_to_fit();
        c.misfitEnds.shrink_to_fit();
    }
}

std::size_t ColumnStore::memoryUsage() const {
    std::size_t n = sizeof(*this) + bytesOf(cols_);
    for (const Column& c : cols_) {
        n += bytesOf(c.nulls) + bytesOf(c.i32) + bytesOf(c.i64) + bytesOf(c.f64) +
             bytesOf(c.bits) + bytesOf(c.buf) + bytesOf(c.end32) + bytesOf(c.end64) +
             bytesOf(c.misfits) + bytesOf(c.misfitRows) + bytesOf(c.misfitBuf) +
             bytesOf(c.misfitEnds);
    }
    return n;
}

}  // namespace vnk::db
