#include "XlsxArchiveCheck.h"

#include <QFile>
#include <QXmlStreamReader>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include <zlib.h>

namespace vnk::exporting {

namespace {

std::uint32_t le16(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t(u[0]) | std::uint32_t(u[1]) << 8;
}

std::uint32_t le32(const char* p) {
    return le16(p) | le16(p + 2) << 16;
}

std::uint64_t le64(const char* p) {
    return std::uint64_t(le32(p)) | std::uint64_t(le32(p + 4)) << 32;
}

constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint32_t kZip64Locator = 0x07064b50;
constexpr std::uint32_t kZip64EndOfDirectory = 0x06064b50;
constexpr std::uint32_t kDirectoryEntry = 0x02014b50;
constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::uint32_t kMax32 = 0xffffffffu;

struct Member {
    QByteArray name;
    std::uint32_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t packedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t offset = 0;  // of its local header
};

std::optional<QByteArray> readAt(QFile& f, std::uint64_t offset, std::uint64_t size) {
    if (size > std::uint64_t(1) << 28 || !f.seek(static_cast<qint64>(offset)))
        return std::nullopt;
    QByteArray bytes = f.read(static_cast<qint64>(size));
    if (static_cast<std::uint64_t>(bytes.size()) != size)
        return std::nullopt;
    return bytes;
}

// The central directory's entries; nullopt when the archive's end records are missing
// or do not hold together.
std::optional<std::vector<Member>> readDirectory(QFile& f) {
    const std::uint64_t fileSize = static_cast<std::uint64_t>(f.size());
    const std::uint64_t tailSize = std::min<std::uint64_t>(fileSize, 22 + 0xffff);
    const auto tail = readAt(f, fileSize - tailSize, tailSize);
    if (!tail || tailSize < 22)
        return std::nullopt;
    qsizetype at = -1;
    for (qsizetype i = tail->size() - 22; i >= 0; --i) {
        if (le32(tail->constData() + i) == kEndOfDirectory) {
            at = i;
            break;
        }
    }
    if (at < 0)
        return std::nullopt;
    const char* end = tail->constData() + at;
    std::uint64_t count = le16(end + 10);
    std::uint64_t dirSize = le32(end + 12);
    std::uint64_t dirOffset = le32(end + 16);
    if (count == 0xffff || dirSize == kMax32 || dirOffset == kMax32) {
        const std::uint64_t endOffset = fileSize - tailSize + static_cast<std::uint64_t>(at);
        if (endOffset < 20)
            return std::nullopt;
        const auto locator = readAt(f, endOffset - 20, 20);
        if (!locator || le32(locator->constData()) != kZip64Locator)
            return std::nullopt;
        const auto end64 = readAt(f, le64(locator->constData() + 8), 56);
        if (!end64 || le32(end64->constData()) != kZip64EndOfDirectory)
            return std::nullopt;
        count = le64(end64->constData() + 32);
        dirSize = le64(end64->constData() + 40);
        dirOffset = le64(end64->constData() + 48);
    }
    if (dirOffset > fileSize || dirSize > fileSize - dirOffset)
        return std::nullopt;
    const auto dir = readAt(f, dirOffset, dirSize);
    if (!dir)
        return std::nullopt;

    std::vector<Member> members;
    const char* p = dir->constData();
    const char* const dirEnd = p + dir->size();
    for (std::uint64_t i = 0; i < count; ++i) {
        if (dirEnd - p < 46 || le32(p) != kDirectoryEntry)
            return std::nullopt;
        Member m;
        m.method = le16(p + 10);
        m.crc = le32(p + 16);
        m.packedSize = le32(p + 20);
        m.size = le32(p + 24);
        const std::uint32_t nameLength = le16(p + 28);
        const std::uint32_t extraLength = le16(p + 30);
        const std::uint32_t commentLength = le16(p + 32);
        m.offset = le32(p + 42);
        if (dirEnd - p < 46 + qsizetype(nameLength) + extraLength + commentLength)
            return std::nullopt;
        m.name = QByteArray(p + 46, nameLength);
        // ZIP64: the sizes and offset too large for their fields follow in this order.
        const char* extra = p + 46 + nameLength;
        const char* const extraEnd = extra + extraLength;
        while (extraEnd - extra >= 4) {
            const std::uint32_t id = le16(extra);
            const std::uint32_t length = le16(extra + 2);
            const char* field = extra + 4;
            if (extraEnd - field < qsizetype(length))
                return std::nullopt;
            if (id == 1) {
                const char* const fieldEnd = field + length;
                for (std::uint64_t* value : {&m.size, &m.packedSize, &m.offset}) {
                    if (*value != kMax32)
                        continue;
                    if (fieldEnd - field < 8)
                        return std::nullopt;
                    *value = le64(field);
                    field += 8;
                }
            }
            extra += 4 + length;
        }
        members.push_back(std::move(m));
        p += 46 + nameLength + extraLength + commentLength;
    }
    return members;
}

// Where a member's content goes while it is inflated.
class ContentCheck {
public:
    virtual ~ContentCheck() = default;
    virtual bool add(const char* data, std::size_t size) = 0;
    virtual bool finish() = 0;
};

// A small part: a well-formed XML document.
class XmlCheck final : public ContentCheck {
public:
    bool add(const char* data, std::size_t size) override {
        reader_.addData(QByteArray(data, static_cast<qsizetype>(size)));
        return drain();
    }

    bool finish() override { return sawEnd_ || (drain() && sawEnd_); }

private:
    bool drain() {
        while (!sawEnd_) {
            // After running out of data the reader resumes where it stopped.
            switch (reader_.readNext()) {
            case QXmlStreamReader::Invalid:
                // More data may complete the document; any other error is final.
                return reader_.error() == QXmlStreamReader::PrematureEndOfDocumentError;
            case QXmlStreamReader::EndDocument: sawEnd_ = true; break;
            default: break;
            }
        }
        return true;
    }

    QXmlStreamReader reader_;
    bool sawEnd_ = false;
};

// The worksheet, which can be far too large to parse in the time a user waits: its
// declaration first, its closing tag last, and a count of the row and cell tags, which
// cannot occur elsewhere since every "<" of a text is escaped. Any piece missing from
// the library's temporary files either cuts the document or takes a cell start with it.
class SheetCheck final : public ContentCheck {
public:
    bool add(const char* data, std::size_t size) override {
        if (head_.size() < 5)
            head_.append(data, std::min<std::size_t>(size, 5 - head_.size()));
        pending_.append(data, size);
        std::size_t i = 0;
        for (;;) {
            const void* hit = std::memchr(pending_.data() + i, '<', pending_.size() - i);
            if (!hit) {
                i = pending_.size();
                break;
            }
            i = static_cast<std::size_t>(static_cast<const char*>(hit) - pending_.data());
            if (pending_.size() - i < 5)
                break;  // decided when more comes
            const std::string_view tag(pending_.data() + i, 5);
            if (tag.substr(0, 3) == "<c ")
                ++cells;
            else if (tag == "<row ")
                ++rows;
            ++i;
        }
        const std::size_t kept = std::min<std::size_t>(i, 64);
        tail_.append(pending_, i - kept, kept);
        if (tail_.size() > 128)
            tail_.erase(0, tail_.size() - 64);
        pending_.erase(0, i);
        return true;
    }

    bool finish() override {
        const std::string last = tail_ + pending_;
        std::string_view end = last;
        while (!end.empty() && (end.back() == '\n' || end.back() == '\r' || end.back() == ' '))
            end.remove_suffix(1);
        return head_ == "<?xml" && end.size() >= 12 && end.substr(end.size() - 12) == "</worksheet>";
    }

    std::int64_t rows = 0;
    std::int64_t cells = 0;

private:
    std::string head_;
    std::string pending_;
    std::string tail_;
};

bool memberIsWhole(QFile& f, const Member& m, ContentCheck* content) {
    const auto header = readAt(f, m.offset, 30);
    if (!header || le32(header->constData()) != kLocalHeader)
        return false;
    std::uint64_t at = m.offset + 30 + le16(header->constData() + 26) + le16(header->constData() + 28);
    if (!f.seek(static_cast<qint64>(at)) || (m.method != 0 && m.method != 8))
        return false;

    z_stream z{};
    if (m.method == 8 && inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return false;
    struct EndInflate {
        z_stream* z;
        bool on;
        ~EndInflate() {
            if (on)
                inflateEnd(z);
        }
    } endInflate{&z, m.method == 8};

    constexpr std::size_t kChunk = std::size_t(1) << 18;
    std::vector<char> in(kChunk);
    std::vector<char> out(kChunk);
    uLong crc = crc32(0, nullptr, 0);
    std::uint64_t size = 0;
    std::uint64_t left = m.packedSize;
    const auto take = [&](const char* data, std::size_t n) {
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(n));
        size += n;
        return !content || content->add(data, n);
    };
    bool streamEnded = m.method == 0;
    while (left > 0) {
        const qint64 want = static_cast<qint64>(std::min<std::uint64_t>(left, kChunk));
        const qint64 got = f.read(in.data(), want);
        if (got != want)
            return false;
        left -= static_cast<std::uint64_t>(got);
        if (m.method == 0) {
            if (!take(in.data(), static_cast<std::size_t>(got)))
                return false;
            continue;
        }
        z.next_in = reinterpret_cast<Bytef*>(in.data());
        z.avail_in = static_cast<uInt>(got);
        while (z.avail_in > 0 && !streamEnded) {
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = static_cast<uInt>(out.size());
            const int rc = inflate(&z, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END)
                return false;
            if (!take(out.data(), out.size() - z.avail_out))
                return false;
            streamEnded = rc == Z_STREAM_END;
        }
    }
    // What is still held back once all input is in.
    while (!streamEnded) {
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        const int rc = inflate(&z, Z_FINISH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
            return false;
        const std::size_t n = out.size() - z.avail_out;
        if (n == 0 && rc != Z_STREAM_END)
            return false;  // the deflate stream is cut short
        if (!take(out.data(), n))
            return false;
        streamEnded = rc == Z_STREAM_END;
    }
    if (crc != m.crc || size != m.size)
        return false;
    return !content || content->finish();
}

}  // namespace

bool xlsxArchiveIsWhole(const QString& path, const XlsxSheetCounts& expected) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const auto members = readDirectory(f);
    if (!members)
        return false;
    bool contentTypes = false;
    bool sheet = false;
    for (const Member& m : *members) {
        const bool isSheet = m.name == "xl/worksheets/sheet1.xml";
        XmlCheck xml;
        SheetCheck sheetCheck;
        ContentCheck* content = nullptr;
        if (isSheet)
            content = &sheetCheck;
        else if (m.name.endsWith(".xml") || m.name.endsWith(".rels"))
            content = &xml;
        if (!memberIsWhole(f, m, content))
            return false;
        if (isSheet) {
            if (sheetCheck.rows != expected.rows || sheetCheck.cells != expected.cells)
                return false;
            sheet = true;
        }
        contentTypes = contentTypes || m.name == "[Content_Types].xml";
    }
    return contentTypes && sheet;
}

}  // namespace vnk::exporting
