#include "SpreadsheetModel.h"

#include "ExportErrors.h"
#include "db/ResultSet.h"
#include "db/ValueFormat.h"

#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace vnk::exporting {

using db::FieldKind;
using db::kMsPerDay;
using db::Storage;

SheetLimits sheetLimits(SheetFormat format) {
    if (format == SheetFormat::Xls)
        return {65536, 256};
    return {1048576, 16384};
}

// ---- worksheet name

namespace {

constexpr int kMaxSheetName = 31;

// The first n UTF-16 units of s, never ending in half a surrogate pair.
QString leftUnits(const QString& s, int n) {
    if (s.size() <= n)
        return s;
    if (n > 0 && s.at(n - 1).isHighSurrogate())
        --n;
    return s.left(n);
}

}  // namespace

QString worksheetNameFor(const QString& documentName) {
    const QString file = QFileInfo(documentName).fileName();
    const QString name = leftUnits(file.left(std::max<qsizetype>(0, file.size() - 4)), kMaxSheetName);
    return name.isEmpty() ? kDefaultSheetName : name;
}

void checkWorksheetName(const QString& name) {
    static const QString invalid = QStringLiteral(":\\/?*[]");
    bool bad = name.isEmpty() || name.size() > kMaxSheetName || name.startsWith(u'\'') ||
               name.endsWith(u'\'');
    for (const QChar c : name)
        bad = bad || invalid.contains(c);
    if (bad)
        throw ExportError(
            QStringLiteral("\"%1\" is not a valid worksheet name: a worksheet name has 1 to 31 "
                           "characters, none of : \\ / ? * [ ], and does not begin or end "
                           "with an apostrophe.")
                .arg(name));
}

// ---- columns

bool isExportableKind(FieldKind kind) {
    switch (kind) {
    case FieldKind::String:
    case FieldKind::WideString:
    case FieldKind::FixedWideChar:
    case FieldKind::Memo:
    case FieldKind::WideMemo:
    case FieldKind::SmallInt:
    case FieldKind::Integer:
    case FieldKind::Word:
    case FieldKind::LargeInt:
    case FieldKind::LargeUInt:
    case FieldKind::AutoInc:
    case FieldKind::Float:
    case FieldKind::Currency:
    case FieldKind::Decimal:
    case FieldKind::Date:
    case FieldKind::Time:
    case FieldKind::DateTime:
    case FieldKind::Boolean:
        return true;
    case FieldKind::Unknown:
    case FieldKind::FixedChar:
    case FieldKind::Guid:
    case FieldKind::Bytes:
    case FieldKind::VarBytes:
    case FieldKind::Blob:
        break;
    }
    return false;
}

ColumnFormat columnFormatOf(FieldKind kind) {
    switch (kind) {
    case FieldKind::String: return ColumnFormat::Text;
    case FieldKind::Date: return ColumnFormat::Date;
    case FieldKind::Time: return ColumnFormat::Time;
    case FieldKind::DateTime: return ColumnFormat::DateTime;
    default: return ColumnFormat::General;
    }
}

QString spreadsheetFormatCode(const QString& qt) {
    QString out;
    // A literal character: separators as they are, anything else escaped so that the
    // sheet never reads it as a code.
    const auto literal = [&out](QChar c) {
        static const QString plain = QStringLiteral(" /:-.,()");
        if (!plain.contains(c))
            out += u'\\';
        out += c;
    };
    const qsizetype n = qt.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = qt.at(i);
        if (c == u'\'') {
            // 'quoted text'; '' is one quote
            ++i;
            if (i < n && qt.at(i) == u'\'') {
                literal(u'\'');
                ++i;
                continue;
            }
            while (i < n) {
                if (qt.at(i) == u'\'') {
                    if (i + 1 < n && qt.at(i + 1) == u'\'') {
                        literal(u'\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                literal(qt.at(i));
                ++i;
            }
            continue;
        }
        qsizetype run = 1;
        while (i + run < n && qt.at(i + run) == c)
            ++run;
        const auto repeat = [&out](char ch, qsizetype count) {
            out += QString(count, QChar::fromLatin1(ch));
        };
        switch (c.unicode()) {
        case u'd': repeat('d', std::min<qsizetype>(run, 4)); break;
        case u'M': repeat('m', std::min<qsizetype>(run, 4)); break;
        case u'y': out += run >= 3 ? QStringLiteral("yyyy") : QStringLiteral("yy"); break;
        case u'h':
        case u'H': repeat('h', std::min<qsizetype>(run, 2)); break;
        case u'm': repeat('m', std::min<qsizetype>(run, 2)); break;
        case u's': repeat('s', std::min<qsizetype>(run, 2)); break;
        case u'z':
            // Milliseconds are decimals of the seconds in the sheet's codes.
            if (out.endsWith(u',') || out.endsWith(u'.'))
                out.chop(1);
            out += QStringLiteral(".000");
            break;
        case u'A':
        case u'a': {
            const bool upper = c == u'A';
            if (i + run < n && (qt.at(i + run) == u'P' || qt.at(i + run) == u'p'))
                ++run;
            out += upper ? QStringLiteral("AM/PM") : QStringLiteral("am/pm");
            break;
        }
        case u't':
            // A time zone has no code: drop it with the blank before it.
            while (out.endsWith(u' '))
                out.chop(1);
            break;
        default:
            for (qsizetype k = 0; k < run; ++k)
                literal(c);
        }
        i += run;
    }
    return out;
}

QString SheetLayout::formatCode(ColumnFormat f) const {
    switch (f) {
    case ColumnFormat::General: return {};
    case ColumnFormat::Text: return QStringLiteral("@");
    case ColumnFormat::Date: return dateCode;
    case ColumnFormat::Time: return timeCode;
    case ColumnFormat::DateTime: return dateTimeCode;
    }
    return {};
}

SheetLayout makeSheetLayout(const std::vector<db::FieldInfo>& fields, const QString& sheetName,
                            bool withTitles, const db::UserFormats& formats, const SheetLimits& limits) {
    SheetLayout layout;
    layout.sheetName = sheetName;
    layout.withTitles = withTitles;
    layout.dateCode = spreadsheetFormatCode(formats.shortDate);
    layout.timeCode = spreadsheetFormatCode(formats.shortTime);
    layout.dateTimeCode = layout.dateCode + u' ' + layout.timeCode;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const db::FieldInfo& f = fields[i];
        if (!isExportableKind(f.kind))
            continue;
        if (static_cast<std::int64_t>(layout.columns.size()) + 1 > limits.columns)
            throw ExportError(kColumnLimitMessage.arg(limits.columns));
        layout.columns.push_back({static_cast<int>(i), f.name, f.kind, columnFormatOf(f.kind)});
    }
    return layout;
}

QString columnLetters(int column) {
    QString s;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        s.prepend(QChar::fromLatin1(static_cast<char>('A' + (n - 1) % 26)));
    return s;
}

// ---- cell texts

namespace {

// Length of a valid UTF-8 sequence starting with byte b at p (0 when invalid).
int utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
    const unsigned char b = *p;
    int len = 0;
    std::uint32_t cp = 0;
    if (b < 0x80)
        return 1;
    if ((b & 0xE0) == 0xC0) {
        len = 2;
        cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3;
        cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4;
        cp = b & 0x07;
    } else {
        return 0;
    }
    if (end - p < len)
        return 0;
    for (int k = 1; k < len; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    static constexpr std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

bool isValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const int len = utf8SequenceLength(p, end);
        if (len == 0)
            return false;
        p += len;
    }
    return true;
}

bool isWide(std::uint32_t cp) {
    return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
           (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
           (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
           (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

std::uint32_t decode(const unsigned char* p, int len) {
    if (len == 1)
        return *p;
    std::uint32_t cp = *p & (0x7F >> len);
    for (int k = 1; k < len; ++k)
        cp = (cp << 6) | (p[k] & 0x3F);
    return cp;
}

}  // namespace

bool fitCellText(std::string_view utf8, std::string& out) {
    std::string repaired;
    bool changed = false;
    if (!isValidUtf8(utf8)) {
        repaired = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toStdString();
        utf8 = repaired;
        changed = true;
    }
    // A text of fewer bytes than the limit has fewer UTF-16 units as well.
    if (utf8.size() >= static_cast<std::size_t>(kTextLimit)) {
        const auto* begin = reinterpret_cast<const unsigned char*>(utf8.data());
        const auto* end = begin + utf8.size();
        std::int64_t units = 0;
        const unsigned char* cut = nullptr;  // where the first limit - 3 units end
        for (const unsigned char* p = begin; p < end;) {
            const int len = std::max(1, utf8SequenceLength(p, end));
            const int u = len == 4 ? 2 : 1;
            if (!cut && units + u > kTextLimit - 3)
                cut = p;
            units += u;
            p += len;
        }
        if (units >= kTextLimit) {
            out.assign(utf8.data(), static_cast<std::size_t>(cut - begin));
            out += "...";
            return true;
        }
    }
    if (changed) {
        out = std::move(repaired);
        return true;
    }
    return false;
}

double textDisplayChars(std::string_view utf8, double limit) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    double widest = 0, line = 0;
    while (p < end) {
        if (*p < 0x80) {
            if (*p == '\n') {
                widest = std::max(widest, line);
                line = 0;
            } else if (*p != '\r') {
                line += 1;
            }
            ++p;
        } else {
            const int len = std::max(1, utf8SequenceLength(p, end));
            line += isWide(decode(p, len)) ? 2 : 1;
            p += len;
        }
        if (line > limit)
            return limit;
    }
    return std::max(widest, line);
}

// ---- cells

namespace {

bool exactInDouble(std::int64_t v) {
    const double d = static_cast<double>(v);
    return d >= -9223372036854775808.0 && d < 9223372036854775808.0 &&
           static_cast<std::int64_t>(d) == v;
}

}  // namespace

CellReader::CellReader(const SheetLayout& layout, const db::UserFormats& formats)
    : layout_(layout), text_(formats), cells_(layout.columns.size()),
      buffers_(layout.columns.size()) {}

const std::vector<Cell>& CellReader::read(const db::RowSource& rows) {
    for (std::size_t i = 0; i < cells_.size(); ++i)
        readCell(rows, i);
    return cells_;
}

void CellReader::setText(std::size_t i, std::string_view utf8) {
    Cell& cell = cells_[i];
    if (utf8.empty()) {
        cell.type = Cell::Empty;
        return;
    }
    cell.type = Cell::Text;
    if (fitCellText(utf8, buffers_[i]))
        cell.text = buffers_[i];
    else
        cell.text = utf8;
}

void CellReader::setRendered(const db::RowSource& rows, std::size_t i) {
    const SheetColumn& c = layout_.columns[i];
    std::string rendered;
    text_.append(rendered, rows, c.field, c.kind);
    std::string& buf = buffers_[i];
    if (!fitCellText(rendered, buf))
        buf = std::move(rendered);
    cells_[i].type = buf.empty() ? Cell::Empty : Cell::Text;
    cells_[i].text = buf;
}

void CellReader::readCell(const db::RowSource& rows, std::size_t i) {
    const SheetColumn& c = layout_.columns[i];
    Cell& cell = cells_[i];
    cell.type = Cell::Empty;
    const int f = c.field;
    if (rows.isNull(f))
        return;
    const Storage vs = rows.valueStorage(f);
    // A text column's value, or one its column's kind cannot hold (kept as its text in
    // that cell): a text cell.
    if (vs == Storage::Text) {
        setText(i, rows.textAt(f));
        return;
    }
    switch (c.kind) {
    case FieldKind::SmallInt:
    case FieldKind::Integer:
    case FieldKind::Word:
    case FieldKind::LargeInt:
    case FieldKind::LargeUInt:
    case FieldKind::AutoInc:
    case FieldKind::Float:
    case FieldKind::Currency:
    case FieldKind::Decimal:
    case FieldKind::Boolean:
        if (vs == Storage::Int64 && c.kind == FieldKind::LargeUInt) {
            const auto v = static_cast<std::uint64_t>(rows.int64At(f));
            if (v > (std::uint64_t(1) << 53))
                break;  // kept whole as its digits
            cell.type = Cell::Number;
            cell.number = static_cast<double>(v);
            return;
        }
        if (vs == Storage::Int64) {
            const std::int64_t v = rows.int64At(f);
            // A number the sheet would round is kept whole as its digits.
            if (!exactInDouble(v))
                break;
            cell.type = Cell::Number;
            cell.number = static_cast<double>(v);
            return;
        }
        if (vs == Storage::Double) {
            const double v = rows.doubleAt(f);
            if (!std::isfinite(v))
                break;  // no cell holds these; their text does
            cell.type = Cell::Number;
            cell.number = v;
            return;
        }
        if (vs == Storage::Boolean) {
            cell.type = Cell::Boolean;
            cell.boolean = rows.boolAt(f);
            return;
        }
        break;
    case FieldKind::Date:
    case FieldKind::Time:
    case FieldKind::DateTime:
        if (vs == Storage::DateTime) {
            const db::DateTimeValue v = rows.dateTimeAt(f);
            if (v == 0)
                return;  // the zero date-time shows as an empty cell
            cell.type = Cell::DateTime;
            cell.dateTime = v;
            cell.number = static_cast<double>(v) / static_cast<double>(kMsPerDay);
            return;
        }
        break;
    default:
        break;
    }
    setRendered(rows, i);
}

// ---- display texts

namespace {

db::UserFormats sheetDateFormats(const db::UserFormats& formats) {
    db::UserFormats f = formats;
    f.longTime = formats.shortTime;  // the sheet's time format is the short one
    return f;
}

void splitDateTime(db::DateTimeValue v, std::int64_t& days, std::int64_t& ms) {
    days = v / kMsPerDay;
    ms = v % kMsPerDay;
    if (ms < 0) {
        ms += kMsPerDay;
        --days;
    }
}

}  // namespace

CellDisplay::CellDisplay(const SheetLayout& layout, const db::UserFormats& formats, char decimalSeparator)
    : layout_(layout), separator_(1, decimalSeparator), dates_(sheetDateFormats(formats)) {}

void CellDisplay::appendNumber(std::string& out, double v) const {
    // Whole numbers as all their digits (the general format would round from 10^15 on).
    if (v == std::trunc(v) && std::fabs(v) < 9007199254740992.0) {
        db::appendInteger(out, static_cast<std::int64_t>(v));
        return;
    }
    db::appendFloat(out, v, separator_);
}

void CellDisplay::append(std::string& out, const Cell& cell, std::size_t column) const {
    switch (cell.type) {
    case Cell::Empty: return;
    case Cell::Text: out += cell.text; return;
    case Cell::Boolean: out += cell.boolean ? "TRUE" : "FALSE"; return;
    case Cell::Number: appendNumber(out, cell.number); return;
    case Cell::DateTime: break;
    }
    std::int64_t days = 0, ms = 0;
    splitDateTime(cell.dateTime, days, ms);
    switch (layout_.columns[column].format) {
    case ColumnFormat::Date: dates_.append(out, days * kMsPerDay, FieldKind::Date); break;
    case ColumnFormat::Time: dates_.append(out, ms, FieldKind::Time); break;
    default:
        dates_.append(out, days * kMsPerDay, FieldKind::Date);
        out += ' ';
        dates_.append(out, ms, FieldKind::Time);
        break;
    }
}

// ---- widths

namespace {

// Characters of a number in the general format of a fitted column: whole numbers to
// eleven digits in full, others with ten significant digits at most.
double numberChars(double v) {
    if (v == std::trunc(v) && std::fabs(v) < 1e11)
        return std::fabs(v) < 1 ? 1 + (v < 0) : std::floor(std::log10(std::fabs(v))) + 1 + (v < 0);
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 10);
    return static_cast<double>(r.ptr - buf);
}

// The widest text a date format gives, over every month and a late hour.
double widestDate(const db::DateTimeText& text, ColumnFormat format) {
    double widest = 0;
    for (int month = 1; month <= 12; ++month) {
        db::DateTimeParts p;
        p.year = 2000;
        p.month = month;
        p.day = 28;
        p.hour = 23;
        p.minute = 59;
        p.second = 59;
        const db::DateTimeValue v = db::toDateTimeValue(p);
        std::int64_t days = 0, ms = 0;
        splitDateTime(v, days, ms);
        std::string s;
        if (format == ColumnFormat::Time) {
            text.append(s, ms, FieldKind::Time);
        } else {
            text.append(s, days * kMsPerDay, FieldKind::Date);
            if (format == ColumnFormat::DateTime) {
                s += ' ';
                text.append(s, ms, FieldKind::Time);
            }
        }
        widest = std::max(widest, textDisplayChars(s));
    }
    return widest;
}

constexpr double kBoldFactor = 1.1;  // bold titles run wider than the digit width
constexpr double kPadding = 1.0;     // room around the text, as a fitted column leaves

}  // namespace

ColumnWidths::ColumnWidths(const SheetLayout& layout, const db::UserFormats& formats)
    : layout_(layout), chars_(layout.columns.size(), 0.0),
      seenDate_(layout.columns.size(), 0) {
    const db::DateTimeText text(sheetDateFormats(formats));
    dateChars_ = widestDate(text, ColumnFormat::Date);
    timeChars_ = widestDate(text, ColumnFormat::Time);
    dateTimeChars_ = widestDate(text, ColumnFormat::DateTime);
}

void ColumnWidths::addTitles() {
    for (std::size_t i = 0; i < chars_.size(); ++i) {
        const QByteArray t = layout_.columns[i].title.toUtf8();
        const std::string_view title(t.constData(), static_cast<std::size_t>(t.size()));
        chars_[i] = std::max(chars_[i], kBoldFactor * textDisplayChars(title));
    }
}

void ColumnWidths::addRow(const std::vector<Cell>& cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const Cell& c = cells[i];
        double w = 0;
        switch (c.type) {
        case Cell::Empty: continue;
        case Cell::Text:
            if (chars_[i] >= kMaxWidth)
                continue;
            w = textDisplayChars(c.text);
            break;
        case Cell::Number: w = numberChars(c.number); break;
        case Cell::Boolean: w = c.boolean ? 4 : 5; break;
        case Cell::DateTime:
            if (seenDate_[i])
                continue;
            seenDate_[i] = 1;
            switch (layout_.columns[i].format) {
            case ColumnFormat::Date: w = dateChars_; break;
            case ColumnFormat::Time: w = timeChars_; break;
            default: w = dateTimeChars_; break;
            }
            break;
        }
        if (w > chars_[i])
            chars_[i] = w;
    }
}

std::vector<double> ColumnWidths::widths() const {
    std::vector<double> out;
    out.reserve(chars_.size());
    for (const double c : chars_)
        out.push_back(c <= 0 ? kDefaultWidth : std::min(kMaxWidth, std::ceil(c + kPadding)));
    return out;
}

}  // namespace vnk::exporting
