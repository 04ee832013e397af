#include "CfbWriter.h"

#include "ExportErrors.h"
#include "SpreadsheetIo.h"

#include <algorithm>
#include <string>

namespace vnk::exporting {

namespace {

constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::int64_t kSector = 512;
constexpr std::int64_t kMiniCutoff = 4096;
constexpr std::int64_t kEntriesPerSector = kSector / 4;  // 128
constexpr std::int64_t kHeaderDifat = 109;

void put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}
void put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

struct Plan {
    std::int64_t size = 0;        // declared stream size
    std::int64_t streamSectors = 0;
    std::int64_t dirSector = 0;
    std::int64_t fatSectors = 0;
    std::int64_t difatSectors = 0;
    std::int64_t total() const { return streamSectors + 1 + fatSectors + difatSectors; }
};

Plan plan(std::int64_t streamSize) {
    Plan p;
    p.size = std::max(streamSize, kMiniCutoff);
    p.streamSectors = (p.size + kSector - 1) / kSector;
    p.dirSector = p.streamSectors;
    // Enough FAT sectors to map every sector, the FAT's and DIFAT's own included.
    p.fatSectors = (p.streamSectors + 1 + kEntriesPerSector - 1) / kEntriesPerSector;
    for (;;) {
        p.difatSectors = p.fatSectors > kHeaderDifat
                             ? (p.fatSectors - kHeaderDifat + kEntriesPerSector - 2) / (kEntriesPerSector - 1)
                             : 0;
        if (p.fatSectors * kEntriesPerSector >= p.total())
            break;
        ++p.fatSectors;
    }
    return p;
}

void directoryEntry(std::string& out, const char16_t* name, std::uint8_t type, std::uint32_t child,
                    std::uint32_t start, std::uint64_t size) {
    std::size_t len = 0;
    if (name) {
        for (; name[len]; ++len)
            put16(out, static_cast<std::uint16_t>(name[len]));
    }
    out.append(64 - 2 * len, '\0');
    put16(out, name ? static_cast<std::uint16_t>(2 * (len + 1)) : 0);
    out += static_cast<char>(type);
    out += static_cast<char>(name ? 1 : 0);  // black
    put32(out, kNoStream);                   // left sibling
    put32(out, kNoStream);                   // right sibling
    put32(out, child);
    out.append(16, '\0');  // class id
    put32(out, 0);         // state bits
    out.append(16, '\0');  // creation and modification times
    put32(out, start);
    put32(out, static_cast<std::uint32_t>(size & 0xFFFFFFFF));
    put32(out, 0);
}

}  // namespace

std::int64_t compoundFileSize(std::int64_t streamSize) {
    return kSector * (1 + plan(streamSize).total());
}

void writeCompoundFile(SheetOutputFile& out, const QString& streamName, std::int64_t streamSize,
                       const std::function<void(SheetOutputFile&)>& writeStream) {
    const Plan p = plan(streamSize);
    if (p.total() >= 0xFFFFFFF0LL)
        throw ExportError(QStringLiteral("The workbook is too large for its file format"));
    const auto fatStart = static_cast<std::uint32_t>(p.streamSectors + 1);
    const auto difatStart = static_cast<std::uint32_t>(fatStart + p.fatSectors);

    // header
    std::string& b = out.buffer();
    b += "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    b.append(16, '\0');
    put16(b, 0x003E);  // minor version
    put16(b, 0x0003);  // major version: 512-byte sectors
    put16(b, 0xFFFE);  // little-endian
    put16(b, 9);       // sector shift
    put16(b, 6);       // mini sector shift
    b.append(6, '\0');
    put32(b, 0);  // directory sectors (always 0 in version 3)
    put32(b, static_cast<std::uint32_t>(p.fatSectors));
    put32(b, static_cast<std::uint32_t>(p.dirSector));
    put32(b, 0);  // transaction signature
    put32(b, static_cast<std::uint32_t>(kMiniCutoff));
    put32(b, kEndOfChain);  // no mini FAT
    put32(b, 0);
    put32(b, p.difatSectors ? difatStart : kEndOfChain);
    put32(b, static_cast<std::uint32_t>(p.difatSectors));
    for (std::int64_t i = 0; i < kHeaderDifat; ++i)
        put32(b, i < p.fatSectors ? fatStart + static_cast<std::uint32_t>(i) : kFreeSect);

    // the stream, padded to whole sectors
    writeStream(out);
    const std::int64_t padding = p.streamSectors * kSector - streamSize;
    out.buffer().append(static_cast<std::size_t>(padding), '\0');
    out.flushIfFull();

    // directory: the root storage and the stream
    std::string& d = out.buffer();
    directoryEntry(d, u"Root Entry", 5, 1, kEndOfChain, 0);
    const std::u16string name = streamName.toStdU16String();
    directoryEntry(d, name.c_str(), 2, kNoStream, 0, static_cast<std::uint64_t>(p.size));
    directoryEntry(d, nullptr, 0, kNoStream, 0, 0);
    directoryEntry(d, nullptr, 0, kNoStream, 0, 0);

    // FAT
    const std::int64_t entries = p.fatSectors * kEntriesPerSector;
    for (std::int64_t s = 0; s < entries; ++s) {
        std::uint32_t v = kFreeSect;
        if (s < p.streamSectors - 1)
            v = static_cast<std::uint32_t>(s + 1);
        else if (s == p.streamSectors - 1 || s == p.dirSector)
            v = kEndOfChain;
        else if (s >= fatStart && s < difatStart)
            v = kFatSect;
        else if (s >= difatStart && s < difatStart + p.difatSectors)
            v = kDifSect;
        put32(out.buffer(), v);
        if ((s & 0xFFFF) == 0)
            out.flushIfFull();
    }

    // DIFAT sectors: the FAT sectors beyond the header's 109, 127 to a sector
    std::int64_t next = kHeaderDifat;
    for (std::int64_t k = 0; k < p.difatSectors; ++k) {
        for (std::int64_t i = 0; i < kEntriesPerSector - 1; ++i, ++next)
            put32(out.buffer(), next < p.fatSectors ? fatStart + static_cast<std::uint32_t>(next) : kFreeSect);
        put32(out.buffer(), k + 1 < p.difatSectors ? difatStart + static_cast<std::uint32_t>(k + 1) : kEndOfChain);
    }
    out.flushIfFull();
}

}  // namespace vnk::exporting
