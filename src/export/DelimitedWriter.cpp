#include "DelimitedWriter.h"

#include "ExportErrors.h"
#include "ValueText.h"
#include "db/ResultSet.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <array>
#include <cerrno>
#include <cstring>
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
        if (!delim_.empty())
            special_[static_cast<unsigned char>(delim_[0])] = true;
    }

    bool needed(const char* p, std::size_t n) const {
        if (n == 0)
            return false;
        if (p[0] == '"')
            return true;
        for (std::size_t i = 0; i < n; ++i) {
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
    std::string delim_;
    std::array<bool, 256> special_;
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
                            bool withHeader, const UserFormats& formats, ExportProgress* progress) {
    if (delimiter.isEmpty())
        throw ExportError(QStringLiteral("Blank delimiter is not allowed."));
    const std::string delim = utf8(delimiter);
    const Quoting quoting(delim);
    const ValueText values(formats);

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
                                const UserFormats& formats, ExportProgress* progress) {
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
