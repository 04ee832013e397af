#include "DelimitedWriter.h"

#include "ExportErrors.h"
#include "db/ValueText.h"
#include "db/ColumnStore.h"
#include "db/ResultSet.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <future>
#include <memory>
#include <system_error>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vnk::exporting {

namespace {

// Output goes to the device in blocks of this size.
constexpr std::size_t kChunk = std::size_t(1) << 20;

// The quoting rule for one delimiter, with a table of the bytes that can start a reason
// to enclose, so that a plain value costs one lookup per byte.
class Quoting {
public:
    explicit Quoting(std::string_view delimiter) : delim_(delimiter) {
        special_.fill(false);
        special_['\r'] = special_['\n'] = true;
        if (!delim_.empty()) {
            special_[static_cast<unsigned char>(delim_[0])] = true;
            first_ = kOnes * static_cast<unsigned char>(delim_[0]);
        }
    }

    bool needed(const char* p, std::size_t n) const {
        if (n == 0)
            return false;
        if (p[0] == '"')
            return true;
        // Eight bytes at a time while none of them can start a reason.
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            std::uint64_t w;
            std::memcpy(&w, p + i, 8);
            if (hasByte(w, kCr) | hasByte(w, kLf) | hasByte(w, first_))
                break;
        }
        for (; i < n; ++i) {
            const auto c = static_cast<unsigned char>(p[i]);
            if (!special_[c])
                continue;
            if (c == '\r' || c == '\n')
                return true;
            if (n - i >= delim_.size() && std::memcmp(p + i, delim_.data(), delim_.size()) == 0)
                return true;
        }
        return false;
    }

    // Encloses out[start, end) in place, doubling its quotes.
    static void enclose(std::string& out, std::size_t start) {
        const std::size_t oldEnd = out.size();
        std::size_t quotes = 0;
        for (std::size_t i = start; i < oldEnd; ++i)
            quotes += out[i] == '"';
        out.resize(oldEnd + quotes + 2);
        char* d = out.data();
        std::size_t w = out.size();
        d[--w] = '"';
        for (std::size_t r = oldEnd; r-- > start;) {
            d[--w] = d[r];
            if (d[r] == '"')
                d[--w] = '"';
        }
        d[--w] = '"';
    }

private:
    static constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    static constexpr std::uint64_t kCr = kOnes * '\r';
    static constexpr std::uint64_t kLf = kOnes * '\n';
    // Non-zero when a byte of w equals the byte that b repeats (exact: no byte is missed).
    static std::uint64_t hasByte(std::uint64_t w, std::uint64_t b) {
        const std::uint64_t x = w ^ b;
        return (x - kOnes) & ~x & (kOnes * 0x80);
    }

    std::string delim_;
    std::array<bool, 256> special_;
    std::uint64_t first_ = kCr; // the delimiter's first byte, repeated
};

std::string utf8(const QString& s) {
    return s.toStdString();
}

[[noreturn]] void raiseWriteError(QIODevice& out, int osError) {
    if (auto* file = qobject_cast<QFileDevice*>(&out))
        throw fileError(*file, osError);
    throw ExportError(out.errorString());
}

void flush(QIODevice& out, std::string& buf) {
    if (buf.empty())
        return;
    errno = 0;
    const qint64 written = out.write(buf.data(), static_cast<qint64>(buf.size()));
    if (written != static_cast<qint64>(buf.size()))
        raiseWriteError(out, errno);
    buf.clear();
}

// Lines of a held result, rendered a block of rows at a time: each column's values of the
// block into a buffer of their own (one loop per column and storage form, no call per
// value), then the lines put together from the pieces. Reads the store only, so two
// renderers can work on different rows at once.
class HeldLineRenderer {
public:
    HeldLineRenderer(const db::ResultSet& rs, const std::string& delim, const Quoting& quoting,
                     const db::UserFormats& formats)
        : rs_(rs), delim_(delim), quoting_(quoting), values_(formats),
          cols_(static_cast<std::size_t>(rs.fieldCount())) {
        for (std::size_t c = 0; c < cols_.size(); ++c) {
            Piece& col = cols_[c];
            col.view = rs.store().view(static_cast<int>(c));
            col.kind = rs.field(static_cast<int>(c)).kind;
            // Integers are digits and a minus sign: only a delimiter starting with one of
            // them can occur in one (a value held as text against its kind is a text).
            col.mayQuote = col.view.storage != db::Storage::Int64 || col.view.hasMisfits() ||
                           (!delim.empty() &&
                            (delim[0] == '-' || (delim[0] >= '0' && delim[0] <= '9')));
            col.ends.resize(kBlock);
            col.quoted.resize(kBlock);
        }
    }

    // Appends the lines of rows [from, from + count) of the current order.
    void render(std::int64_t from, std::int64_t count) {
        std::uint32_t rows[kBlock];
        while (count > 0) {
            const std::size_t m = static_cast<std::size_t>(std::min<std::int64_t>(kBlock, count));
            for (std::size_t i = 0; i < m; ++i)
                rows[i] = rs_.storedRow(from + static_cast<std::int64_t>(i));
            std::size_t bound = 0;
            for (Piece& col : cols_) {
                renderColumn(col, rows, m);
                bound += 2 * col.text.size();
                col.text.append(kPad, '\0'); // lets short pieces be copied in one move
            }
            bound += m * (cols_.size() * (2 + delim_.size()) + 2) + kPad;
            assemble(m, bound);
            from += static_cast<std::int64_t>(m);
            count -= static_cast<std::int64_t>(m);
        }
    }

    void writeTo(QIODevice& out) {
        if (size_ == 0)
            return;
        errno = 0;
        const qint64 written = out.write(buf_.get(), static_cast<qint64>(size_));
        if (written != static_cast<qint64>(size_))
            raiseWriteError(out, errno);
        size_ = 0;
    }

private:
    static constexpr std::size_t kBlock = 1024;
    static constexpr std::size_t kPad = 16;

    struct Piece {
        db::ColumnStore::ColumnView view{};
        db::FieldKind kind{};
        bool mayQuote = true;
        std::string text;                 // the block's values, one after another
        std::vector<std::uint32_t> ends;  // end of each value in text
        std::vector<std::uint8_t> quoted; // the value is to be enclosed
    };

    void renderColumn(Piece& col, const std::uint32_t* rows, std::size_t m) const {
        std::string& t = col.text;
        t.clear();
        const db::ColumnStore::ColumnView& v = col.view;
        const bool misfits = v.hasMisfits();
        auto each = [&](auto&& put) {
            for (std::size_t i = 0; i < m; ++i) {
                const std::size_t start = t.size();
                if (misfits && v.isMisfit(rows[i]))
                    t += v.misfitText(rows[i]);  // a value its column's kind cannot hold
                else if (!v.isNull(rows[i]))
                    put(rows[i]);
                col.ends[i] = static_cast<std::uint32_t>(t.size());
                col.quoted[i] = col.mayQuote && quoting_.needed(t.data() + start, t.size() - start);
            }
        };
        switch (v.storage) {
        case db::Storage::Int64:
            if (col.kind == db::FieldKind::LargeUInt)
                each([&](std::uint32_t r) {
                    db::appendUnsigned(t, static_cast<std::uint64_t>(v.int64At(r)));
                });
            else
                each([&](std::uint32_t r) { db::appendInteger(t, v.int64At(r)); });
            break;
        case db::Storage::Double:
            if (col.kind == db::FieldKind::Currency)
                each([&](std::uint32_t r) { values_.appendCurrency(t, v.f64[r]); });
            else
                each([&](std::uint32_t r) { values_.appendFloat(t, v.f64[r]); });
            break;
        case db::Storage::Text:
            each([&](std::uint32_t r) { t += v.textAt(r); });
            break;
        case db::Storage::Bytes:
            each([&](std::uint32_t r) { db::appendHex(t, v.textAt(r)); });
            break;
        case db::Storage::DateTime: {
            const db::FieldKind kind =
                db::isDateTimeKind(col.kind) ? col.kind : db::FieldKind::DateTime;
            each([&](std::uint32_t r) { values_.appendDateTime(t, v.i64[r], kind); });
            break;
        }
        case db::Storage::Boolean:
            each([&](std::uint32_t r) { db::appendBoolean(t, v.boolAt(r)); });
            break;
        }
    }

    // The block's lines after what the buffer holds; bound is the most they can take.
    void assemble(std::size_t m, std::size_t bound) {
        reserve(size_ + bound);
        char* p = buf_.get() + size_;
        const std::size_t n = cols_.size();
        const char* d = delim_.data();
        const std::size_t dn = delim_.size();
        for (std::size_t i = 0; i < m; ++i) {
            for (std::size_t c = 0; c < n; ++c) {
                const Piece& col = cols_[c];
                if (c > 0) {
                    if (dn == 1) {
                        *p++ = *d;
                    } else {
                        std::memcpy(p, d, dn);
                        p += dn;
                    }
                }
                const std::size_t begin = i == 0 ? 0 : col.ends[i - 1];
                const std::size_t len = col.ends[i] - begin;
                const char* src = col.text.data() + begin;
                if (col.quoted[i]) {
                    *p++ = '"';
                    for (std::size_t k = 0; k < len; ++k) {
                        if (src[k] == '"')
                            *p++ = '"';
                        *p++ = src[k];
                    }
                    *p++ = '"';
                } else if (len <= kPad) {
                    std::memcpy(p, src, kPad);
                    p += len;
                } else {
                    std::memcpy(p, src, len);
                    p += len;
                }
            }
            *p++ = '\r';
            *p++ = '\n';
        }
        size_ = static_cast<std::size_t>(p - buf_.get());
    }

    void reserve(std::size_t need) {
        if (need <= cap_)
            return;
        const std::size_t cap = std::max(need, cap_ + cap_ / 2);
        auto grown = std::unique_ptr<char[]>(new char[cap]);
        if (size_ > 0)
            std::memcpy(grown.get(), buf_.get(), size_);
        buf_ = std::move(grown);
        cap_ = cap;
    }

    const db::ResultSet& rs_;
    const std::string& delim_;
    const Quoting& quoting_;
    const db::ValueText values_;
    std::vector<Piece> cols_;
    std::unique_ptr<char[]> buf_;
    std::size_t size_ = 0;
    std::size_t cap_ = 0;
};

// Every row of a held result. Batches of rows are rendered two at a time, one on a second
// thread, and written in their order.
std::int64_t writeHeldLines(const db::ResultSet& rs, QIODevice& out, const std::string& delim,
                            const Quoting& quoting, const db::UserFormats& formats,
                            ExportProgress* progress) {
    constexpr std::int64_t kBatch = 16384;
    const std::int64_t total = rs.recordCount();
    HeldLineRenderer first(rs, delim, quoting, formats);
    if (total <= kBatch) {
        first.render(0, total);
        first.writeTo(out);
        return total;
    }
    HeldLineRenderer second(rs, delim, quoting, formats);
    std::int64_t done = 0;
    while (done < total) {
        const std::int64_t a = std::min(kBatch, total - done);
        const std::int64_t b = std::min(kBatch, total - done - a);
        std::future<void> other;
        if (b > 0) {
            try {
                other = std::async(std::launch::async, [&] { second.render(done + a, b); });
            } catch (const std::system_error&) {
                second.render(done + a, b); // no thread to be had: one after the other
            }
        }
        first.render(done, a);
        if (other.valid())
            other.get();
        first.writeTo(out);
        second.writeTo(out);
        done += a + b;
        if (progress)
            progress->rowsWritten(done);
    }
    return total;
}

} // namespace

bool needsEnclosing(std::string_view value, std::string_view delimiter) {
    return Quoting(delimiter).needed(value.data(), value.size());
}

void appendDelimitedValue(std::string& out, std::string_view value, std::string_view delimiter) {
    const std::size_t start = out.size();
    out += value;
    if (Quoting(delimiter).needed(value.data(), value.size()))
        Quoting::enclose(out, start);
}

std::int64_t writeDelimited(db::RowSource& rows, QIODevice& out, const QString& delimiter,
                            bool withHeader, const db::UserFormats& formats, ExportProgress* progress) {
    if (delimiter.isEmpty())
        throw ExportError(QStringLiteral("Blank delimiter is not allowed."));
    const std::string delim = utf8(delimiter);
    const Quoting quoting(delim);
    const db::ValueText values(formats);

    // The field count and kinds are taken once, before the first line.
    const std::vector<db::FieldInfo>& fields = rows.fields();
    const int n = static_cast<int>(fields.size());
    std::vector<db::FieldKind> kinds;
    kinds.reserve(fields.size());
    for (const db::FieldInfo& f : fields)
        kinds.push_back(f.kind);

    std::string buf;
    buf.reserve(kChunk + kChunk / 4);
    if (withHeader) {
        // Titles are never enclosed, whatever they hold.
        for (int c = 0; c < n; ++c) {
            if (c > 0)
                buf += delim;
            buf += utf8(fields[static_cast<std::size_t>(c)].name);
        }
        buf += "\r\n";
    }

    std::int64_t count = 0;
    if (const db::ResultSet* held = rows.unreadHeldResult(); held && held->fieldCount() == n) {
        flush(out, buf);
        count = writeHeldLines(*held, out, delim, quoting, formats, progress);
    } else {
        while (rows.next()) {
            for (int c = 0; c < n; ++c) {
                if (c > 0)
                    buf += delim;
                const std::size_t start = buf.size();
                values.append(buf, rows, c, kinds[static_cast<std::size_t>(c)]);
                if (quoting.needed(buf.data() + start, buf.size() - start))
                    Quoting::enclose(buf, start);
            }
            buf += "\r\n";
            ++count;
            if (buf.size() >= kChunk) {
                flush(out, buf);
                if (progress)
                    progress->rowsWritten(count);
            }
        }
    }
    flush(out, buf);
    // A buffered file reports a failed write only when its buffer goes out.
    if (auto* file = qobject_cast<QFileDevice*>(&out)) {
        errno = 0;
        if (!file->flush())
            raiseWriteError(out, errno);
    }
    if (progress)
        progress->rowsWritten(count);
    return count;
}

std::int64_t writeDelimitedFile(db::RowSource& rows, const DelimitedOptions& options,
                                const db::UserFormats& formats, ExportProgress* progress) {
    if (options.delimiter.isEmpty())
        throw ExportError(QStringLiteral("Blank delimiter is not allowed."));
    if (options.fileName.isEmpty())
        throw ExportError(fileErrorText(ENOENT));
    if (QFileInfo(options.fileName).isDir())
        throw ExportError(fileErrorText(EISDIR));

    // Destroyed without commit() (a failure, an exception of the row source), the
    // temporary file goes away and the target stays as it was.
    QSaveFile file(options.fileName);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        const int saved = errno;
        throw fileError(file, fileCreateError(options.fileName, saved));
    }
    const std::int64_t count = writeDelimited(rows, file, options.delimiter,
                                              options.withHeader != u"0", formats, progress);
    errno = 0;
    if (!file.commit()) {
        const int saved = errno;
        throw fileError(file, saved);
    }
    return count;
}

} // namespace vnk::exporting
