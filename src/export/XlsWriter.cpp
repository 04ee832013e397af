#include "XlsWriter.h"

#include "CfbWriter.h"
#include "ExportErrors.h"
#include "SpreadsheetIo.h"

#include <QString>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace vnk::exporting {

namespace {

// ---- record building

void u8(std::string& o, std::uint8_t v) { o += static_cast<char>(v); }
void u16(std::string& o, std::uint16_t v) {
    o += static_cast<char>(v & 0xFF);
    o += static_cast<char>(v >> 8);
}
void u32(std::string& o, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        o += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void f64(std::string& o, double v) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 8; ++i)
        o += static_cast<char>((bits >> (8 * i)) & 0xFF);
}
void header(std::string& o, std::uint16_t id, std::size_t len) {
    u16(o, id);
    u16(o, static_cast<std::uint16_t>(len));
}
void record(std::string& o, std::uint16_t id, std::string_view data) {
    header(o, id, data.size());
    o += data;
}

enum Rec : std::uint16_t {
    kEof = 0x000A,
    kPrecision = 0x000E,
    kSelection = 0x001D,
    kDateMode = 0x0022,
    kFont = 0x0031,
    kContinue = 0x003C,
    kWindow1 = 0x003D,
    kPane = 0x0041,
    kCodePage = 0x0042,
    kDefColWidth = 0x0055,
    kColInfo = 0x007D,
    kBoundSheet = 0x0085,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kExtSst = 0x00FF,
    kDbCell = 0x00D7,
    kXf = 0x00E0,
    kDimensions = 0x0200,
    kBlank = 0x0201,
    kNumber = 0x0203,
    kBoolErr = 0x0205,
    kRow = 0x0208,
    kIndex = 0x020B,
    kWindow2 = 0x023E,
    kStyle = 0x0293,
    kBof = 0x0809,
    kFormat = 0x041E,
};

constexpr std::size_t kMaxRecordData = 8224;

// A text as BIFF8 stores it: Latin-1 bytes when every character fits, else UTF-16LE.
struct BiffText {
    std::u16string units;
    bool compressed = true;

    explicit BiffText(const QString& s) : units(s.toStdU16String()) {
        for (const char16_t u : units) {
            if (u > 0xFF) {
                compressed = false;
                break;
            }
        }
    }
    void appendChars(std::string& o, std::size_t from, std::size_t count) const {
        for (std::size_t i = from; i < from + count; ++i) {
            if (compressed)
                u8(o, static_cast<std::uint8_t>(units[i]));
            else
                u16(o, static_cast<std::uint16_t>(units[i]));
        }
    }
};

// XLUnicodeString (two-byte length) or ShortXLUnicodeString (one-byte length).
void unicodeString(std::string& o, const QString& s, bool shortLength) {
    const BiffText t(s);
    if (shortLength)
        u8(o, static_cast<std::uint8_t>(t.units.size()));
    else
        u16(o, static_cast<std::uint16_t>(t.units.size()));
    u8(o, t.compressed ? 0 : 1);
    t.appendChars(o, 0, t.units.size());
}

BiffText biffText(std::string_view utf8) {
    return BiffText(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

// ---- cell formats

enum Xf : std::uint16_t {
    kXfGeneral = 15,  // the default cell format
    kXfTitle = 16,
    kXfText = 17,
    kXfDate = 18,
    kXfTime = 19,
    kXfDateTime = 20,
};
constexpr std::uint16_t kFmtText = 49;  // built-in "@"
constexpr std::uint16_t kFmtDate = 164, kFmtTime = 165, kFmtDateTime = 166;

std::uint16_t xfOf(ColumnFormat f) {
    switch (f) {
    case ColumnFormat::General: return kXfGeneral;
    case ColumnFormat::Text: return kXfText;
    case ColumnFormat::Date: return kXfDate;
    case ColumnFormat::Time: return kXfTime;
    case ColumnFormat::DateTime: return kXfDateTime;
    }
    return kXfGeneral;
}

void xfRecord(std::string& o, std::uint16_t font, std::uint16_t format, bool style, std::uint8_t used) {
    std::string d;
    u16(d, font);
    u16(d, format);
    u16(d, style ? 0xFFF5 : 0x0001);  // locked; a style has no parent, a cell the Normal style
    u8(d, 0x20);                       // general alignment, bottom
    u8(d, 0);                          // no rotation
    u8(d, 0);                          // no indent
    u8(d, used);
    u32(d, 0);  // no borders
    u32(d, 0);  // no fill
    u16(d, 0x20C0);  // pattern colours: automatic
    record(o, kXf, d);
}

void fontRecord(std::string& o, bool bold) {
    std::string d;
    u16(d, 200);     // 10 points
    u16(d, bold ? 1 : 0);  // the old bold bit, kept in step with the weight
    u16(d, 0x7FFF);  // automatic (window text) colour
    u16(d, bold ? 700 : 400);
    u16(d, 0);  // no super- or subscript
    u8(d, 0);   // no underline
    u8(d, 2);   // swiss family
    u8(d, 0);   // ANSI character set
    u8(d, 0);
    unicodeString(d, QStringLiteral("Arial"), true);
    record(o, kFont, d);
}

void bofRecord(std::string& o, std::uint16_t type) {
    std::string d;
    u16(d, 0x0600);  // BIFF8
    u16(d, type);
    u16(d, 0x0DBB);  // build
    u16(d, 0x07CC);  // year
    u32(d, 0x000100C1);
    u32(d, 0x00000106);
    record(o, kBof, d);
}

// ---- the shared string table, spooled

class StringTable {
public:
    // Index of a text in the table, adding it when new.
    std::uint32_t add(std::string_view utf8) {
        ++total_;
        const bool remember = utf8.size() <= kDedupLength && dedupBytes_ < kDedupBudget;
        if (utf8.size() <= kDedupLength) {
            const auto it = index_.find(std::string(utf8));
            if (it != index_.end())
                return it->second;
        }
        const std::uint32_t id = unique_++;
        if (remember) {
            index_.emplace(std::string(utf8), id);
            dedupBytes_ += utf8.size() + 48;
        }
        append(biffText(utf8), id);
        return id;
    }

    // Completes the table. Positions are relative to the start of the SST record.
    void close() { endRecord(); }

    std::int64_t size() const { return 4 + static_cast<std::int64_t>(first_.size()) + spool_.size(); }
    std::uint32_t total() const { return total_; }
    std::uint32_t unique() const { return unique_; }

    // The SST record (counts filled in) and its CONTINUE records.
    void writeTo(SheetOutputFile& out) {
        std::string& o = out.buffer();
        header(o, kSst, first_.size());
        std::string counts;
        u32(counts, total_);
        u32(counts, unique_);
        o += counts;
        o.append(first_, 8, std::string::npos);
        spool_.copyTo(out);
    }

    // The EXTSST record: every dsst-th string's stream position, sstAt being the SST's.
    std::string extSst(std::int64_t sstAt) const {
        std::string d;
        u16(d, static_cast<std::uint16_t>(stride_));
        for (const Bucket& b : buckets_) {
            u32(d, static_cast<std::uint32_t>(sstAt + b.at));
            u16(d, b.offset);
            u16(d, 0);
        }
        std::string o;
        record(o, kExtSst, d);
        return o;
    }

private:
    static constexpr std::size_t kDedupLength = 255;
    static constexpr std::size_t kDedupBudget = std::size_t(32) << 20;

    struct Bucket {
        std::int64_t at;       // of the string, from the SST record's start
        std::uint16_t offset;  // within its record, header included
    };

    std::string cur_ = std::string(8, '\0');  // data of the record being filled
    std::string first_;                       // the SST record's data, once complete
    bool inFirst_ = true;
    std::int64_t recordAt_ = 0;  // position of the current record's header
    SpoolFile spool_;
    std::unordered_map<std::string, std::uint32_t> index_;
    std::size_t dedupBytes_ = 0;
    std::uint32_t total_ = 0, unique_ = 0;
    std::vector<Bucket> buckets_;
    std::uint32_t stride_ = 8;

    void endRecord() {
        const auto len = static_cast<std::int64_t>(cur_.size());
        if (inFirst_) {
            first_ = std::move(cur_);
            inFirst_ = false;
        } else {
            if (len == 0)
                return;
            std::string& o = spool_.buffer();
            header(o, kContinue, cur_.size());
            o += cur_;
            spool_.flushIfFull();
        }
        recordAt_ += 4 + len;
        cur_.clear();
    }

    void append(const BiffText& t, std::uint32_t id) {
        const std::size_t charBytes = t.compressed ? 1 : 2;
        // A string's header never splits: start a CONTINUE when it and one character
        // do not fit.
        if (cur_.size() + 3 + charBytes > kMaxRecordData)
            endRecord();
        if (id % stride_ == 0) {
            buckets_.push_back({recordAt_ + 4 + static_cast<std::int64_t>(cur_.size()),
                                static_cast<std::uint16_t>(4 + cur_.size())});
            if (buckets_.size() > 1024) {
                // Too many buckets for one record: keep every other one.
                stride_ *= 2;
                std::size_t w = 0;
                for (std::size_t r = 0; r < buckets_.size(); r += 2)
                    buckets_[w++] = buckets_[r];
                buckets_.resize(w);
            }
        }
        u16(cur_, static_cast<std::uint16_t>(t.units.size()));
        u8(cur_, t.compressed ? 0 : 1);
        std::size_t done = 0;
        const std::size_t n = t.units.size();
        while (done < n) {
            const std::size_t room = (kMaxRecordData - cur_.size()) / charBytes;
            if (room == 0) {
                // The characters go on in a CONTINUE record, after their own flag byte.
                endRecord();
                u8(cur_, t.compressed ? 0 : 1);
                continue;
            }
            const std::size_t take = std::min(room, n - done);
            t.appendChars(cur_, done, take);
            done += take;
        }
    }
};

// ---- the sheet's cell table, spooled in blocks of 32 rows

class CellTable {
public:
    void addRow(std::uint32_t row, std::string cells, std::uint16_t colMic, std::uint16_t colMac) {
        if (cells.empty())
            return;
        if (!haveRows_) {
            haveRows_ = true;
            rwMic_ = row;
        }
        const std::uint32_t block = (row - rwMic_) / 32;
        while (block > block_) {
            flushBlock();
            ++block_;
        }
        rows_.push_back({row, colMic, colMac, std::move(cells)});
        rwMac_ = row + 1;
    }

    void close() {
        if (haveRows_)
            flushBlock();
    }

    std::int64_t size() const { return spool_.size(); }
    std::uint32_t rwMic() const { return haveRows_ ? rwMic_ : 0; }
    std::uint32_t rwMac() const { return haveRows_ ? rwMac_ : 0; }
    // Positions of the DBCELL records from the start of the cell table.
    const std::vector<std::int64_t>& dbCells() const { return dbCells_; }
    void writeTo(SheetOutputFile& out) { spool_.copyTo(out); }

private:
    struct RowBuf {
        std::uint32_t row;
        std::uint16_t colMic, colMac;
        std::string cells;
    };
    SpoolFile spool_;
    std::vector<RowBuf> rows_;
    std::vector<std::int64_t> dbCells_;
    bool haveRows_ = false;
    std::uint32_t rwMic_ = 0, rwMac_ = 0, block_ = 0;

    void flushBlock() {
        std::string& o = spool_.buffer();
        const std::int64_t firstRow = spool_.size();
        for (const RowBuf& r : rows_) {
            header(o, kRow, 16);
            u16(o, static_cast<std::uint16_t>(r.row));
            u16(o, r.colMic);
            u16(o, r.colMac);
            u16(o, 0x00FF);  // default height
            u16(o, 0);
            u16(o, 0);
            u32(o, 0x000F0100);
        }
        std::vector<std::uint16_t> offsets;
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            offsets.push_back(static_cast<std::uint16_t>(
                i == 0 ? (rows_.size() - 1) * 20 : rows_[i - 1].cells.size()));
        }
        for (const RowBuf& r : rows_)
            o += r.cells;
        const std::int64_t at = spool_.size();
        dbCells_.push_back(at);
        header(o, kDbCell, 4 + 2 * rows_.size());
        u32(o, rows_.empty() ? 0 : static_cast<std::uint32_t>(at - firstRow));
        for (const std::uint16_t v : offsets)
            u16(o, v);
        rows_.clear();
        spool_.flushIfFull();
    }
};

// ---- the writer

class XlsSheetWriter final : public SheetWriter {
public:
    explicit XlsSheetWriter(const QString& target) : file_(target) {}

    void begin(const SheetLayout& layout) override {
        layout_ = &layout;
        for (const SheetColumn& c : layout.columns)
            xfs_.push_back(xfOf(c.format));
        if (!layout.withTitles)
            return;
        std::string cells;
        std::uint16_t mic = 0xFFFF, mac = 0;
        for (std::size_t i = 0; i < layout.columns.size(); ++i) {
            std::string fitted;
            const std::string t = layout.columns[i].title.toStdString();
            const std::string& text = fitCellText(t, fitted) ? fitted : t;
            if (text.empty())
                continue;
            const auto col = static_cast<std::uint16_t>(i);
            header(cells, kLabelSst, 10);
            u16(cells, 0);
            u16(cells, col);
            u16(cells, kXfTitle);
            u32(cells, strings_.add(text));
            mic = std::min(mic, col);
            mac = static_cast<std::uint16_t>(col + 1);
        }
        table_.addRow(0, std::move(cells), mic == 0xFFFF ? 0 : mic, mac);
    }

    void writeRow(std::int64_t row, const std::vector<Cell>& cells) override {
        const auto r = static_cast<std::uint16_t>(row);
        std::string& o = rowCells_;
        o.clear();
        std::uint16_t mic = 0xFFFF, mac = 0;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const Cell& c = cells[i];
            const std::uint16_t xf = xfs_[i];
            const auto col = static_cast<std::uint16_t>(i);
            switch (c.type) {
            case Cell::Empty:
                if (xf == kXfGeneral)
                    continue;
                header(o, kBlank, 6);
                u16(o, r);
                u16(o, col);
                u16(o, xf);
                break;
            case Cell::Number:
            case Cell::DateTime:
                header(o, kNumber, 14);
                u16(o, r);
                u16(o, col);
                u16(o, xf);
                f64(o, c.number);
                break;
            case Cell::Boolean:
                header(o, kBoolErr, 8);
                u16(o, r);
                u16(o, col);
                u16(o, xf);
                u8(o, c.boolean ? 1 : 0);
                u8(o, 0);
                break;
            case Cell::Text:
                header(o, kLabelSst, 10);
                u16(o, r);
                u16(o, col);
                u16(o, xf);
                u32(o, strings_.add(c.text));
                break;
            }
            mic = std::min(mic, col);
            mac = static_cast<std::uint16_t>(col + 1);
        }
        table_.addRow(r, o, mic == 0xFFFF ? 0 : mic, mac);
    }

    void finish(const std::vector<double>& widths) override {
        strings_.close();
        table_.close();
        const SheetLayout& layout = *layout_;

        // Globals before the string table; the sheet's position is patched in below.
        std::string globals;
        bofRecord(globals, 0x0005);
        record(globals, kCodePage, std::string("\xB0\x04", 2));  // UTF-16
        {
            std::string d;
            u16(d, 0);
            u16(d, 0);
            u16(d, 15000);
            u16(d, 9000);
            u16(d, 0x0038);  // scroll bars and sheet tabs shown
            u16(d, 0);
            u16(d, 0);
            u16(d, 1);
            u16(d, 600);
            record(globals, kWindow1, d);
        }
        record(globals, kDateMode, std::string(2, '\0'));  // the 1900 date system
        record(globals, kPrecision, std::string("\x01\x00", 2));
        for (int i = 0; i < 4; ++i)
            fontRecord(globals, false);
        fontRecord(globals, true);  // font index 5: index 4 does not exist
        const auto formatRecord = [&globals](std::uint16_t id, const QString& code) {
            std::string d;
            u16(d, id);
            unicodeString(d, code, false);
            record(globals, kFormat, d);
        };
        formatRecord(kFmtDate, layout.dateCode);
        formatRecord(kFmtTime, layout.timeCode);
        formatRecord(kFmtDateTime, layout.dateTimeCode);
        for (int i = 0; i < 15; ++i)
            xfRecord(globals, 0, 0, true, i == 0 ? 0x00 : 0xF4);
        xfRecord(globals, 0, 0, false, 0x00);                  // 15 general
        xfRecord(globals, 5, 0, false, 0xFC);                  // 16 bold title
        xfRecord(globals, 0, kFmtText, false, 0xFC);           // 17 "@"
        xfRecord(globals, 0, kFmtDate, false, 0xFC);           // 18
        xfRecord(globals, 0, kFmtTime, false, 0xFC);           // 19
        xfRecord(globals, 0, kFmtDateTime, false, 0xFC);       // 20
        record(globals, kStyle, std::string("\x00\x80\x00\xFF", 4));  // Normal
        std::size_t sheetPosAt = 0;
        {
            std::string d;
            u32(d, 0);
            u8(d, 0);  // visible
            u8(d, 0);  // worksheet
            unicodeString(d, layout.sheetName, true);
            sheetPosAt = globals.size() + 4;
            record(globals, kBoundSheet, d);
        }

        const std::int64_t sstAt = static_cast<std::int64_t>(globals.size());
        const std::string extSst = strings_.extSst(sstAt);
        std::string globalsEnd = extSst;
        record(globalsEnd, kEof, {});
        const std::int64_t sheetAt = sstAt + strings_.size() + static_cast<std::int64_t>(globalsEnd.size());
        for (int i = 0; i < 4; ++i)
            globals[sheetPosAt + static_cast<std::size_t>(i)] =
                static_cast<char>((static_cast<std::uint64_t>(sheetAt) >> (8 * i)) & 0xFF);

        // The sheet's head: everything before the cell table.
        const std::vector<std::int64_t>& dbCells = table_.dbCells();
        std::string head;
        bofRecord(head, 0x0010);
        const std::int64_t indexSize = 4 + 16 + 4 * static_cast<std::int64_t>(dbCells.size());
        const std::int64_t defColWidthAt = sheetAt + static_cast<std::int64_t>(head.size()) + indexSize;
        std::string rest;
        record(rest, kDefColWidth, std::string("\x08\x00", 2));
        for (std::size_t i = 0; i < widths.size(); ++i) {
            std::string d;
            u16(d, static_cast<std::uint16_t>(i));
            u16(d, static_cast<std::uint16_t>(i));
            u16(d, static_cast<std::uint16_t>(std::lround(widths[i] * 256)));
            u16(d, kXfGeneral);
            u16(d, 0x0002);  // width set
            u16(d, 0);
            record(rest, kColInfo, d);
        }
        {
            std::string d;
            u32(d, table_.rwMic());
            u32(d, table_.rwMac());
            u16(d, 0);
            u16(d, static_cast<std::uint16_t>(table_.rwMac() ? layout.columns.size() : 0));
            u16(d, 0);
            record(rest, kDimensions, d);
        }
        const std::int64_t tableAt = defColWidthAt + static_cast<std::int64_t>(rest.size());
        {
            std::string d;
            u32(d, 0);
            u32(d, table_.rwMic());
            u32(d, table_.rwMac());
            u32(d, static_cast<std::uint32_t>(defColWidthAt));
            for (const std::int64_t p : dbCells)
                u32(d, static_cast<std::uint32_t>(tableAt + p));
            record(head, kIndex, d);
        }
        head += rest;

        std::string tail;
        {
            std::string d;
            u16(d, layout.withTitles ? 0x07BE : 0x06B6);  // frozen, without a split bar
            u16(d, 0);
            u16(d, 0);
            u16(d, 0x40);
            u16(d, 0);
            u16(d, 0);
            u16(d, 0);
            u16(d, 0);
            u16(d, 0);
            record(tail, kWindow2, d);
        }
        if (layout.withTitles) {
            std::string pane;
            u16(pane, 0);  // no vertical split
            u16(pane, 1);  // one row above the split
            u16(pane, 1);  // first row of the lower pane
            u16(pane, 0);
            u8(pane, 2);   // the lower pane is active
            u8(pane, 0);
            record(tail, kPane, pane);
            std::string sel;
            u8(sel, 2);
            u16(sel, 1);  // A2
            u16(sel, 0);
            u16(sel, 0);
            u16(sel, 1);
            u16(sel, 1);
            u16(sel, 1);
            u8(sel, 0);
            u8(sel, 0);
            record(tail, kSelection, sel);
        }
        record(tail, kEof, {});

        const std::int64_t streamSize = sheetAt + static_cast<std::int64_t>(head.size()) +
                                        table_.size() + static_cast<std::int64_t>(tail.size());
        writeCompoundFile(file_, QStringLiteral("Workbook"), streamSize, [&](SheetOutputFile& out) {
            out.write(globals);
            strings_.writeTo(out);
            out.write(globalsEnd);
            out.write(head);
            table_.writeTo(out);
            out.write(tail);
        });
        file_.commit();
    }

private:
    SheetOutputFile file_;
    const SheetLayout* layout_ = nullptr;
    std::vector<std::uint16_t> xfs_;
    StringTable strings_;
    CellTable table_;
    std::string rowCells_;
};

}  // namespace

std::unique_ptr<SheetWriter> makeXlsWriter(const QString& target) {
    return std::make_unique<XlsSheetWriter>(target);
}

}  // namespace vnk::exporting
