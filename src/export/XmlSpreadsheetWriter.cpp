#include "XmlSpreadsheetWriter.h"

#include "SpreadsheetIo.h"
#include "db/ValueFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace vnk::exporting {

std::string xmlSpreadsheetDateTime(db::DateTimeValue v) {
    const db::DateTimeParts p = db::toParts(v);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", p.year, p.month, p.day,
                  p.hour, p.minute, p.second, p.msec);
    return buf;
}

bool xmlSpreadsheetTimeOnly(db::DateTimeValue v) {
    return v >= 0 && v < db::kMsPerDay;
}

namespace {

const char* styleId(ColumnFormat f) {
    switch (f) {
    case ColumnFormat::General: return nullptr;
    case ColumnFormat::Text: return "sText";
    case ColumnFormat::Date: return "sDate";
    case ColumnFormat::Time: return "sTime";
    case ColumnFormat::DateTime: return "sDateTime";
    }
    return nullptr;
}

std::string numberText(double v) {
    std::string s = db::roundTripText(v);
    for (char& c : s) {
        if (c == 'e')
            c = 'E';
    }
    return s;
}

// Booleans are numbers 1 and 0 shown as TRUE and FALSE: a Boolean cell would be lost by
// spreadsheet programs other than Excel, this format is read as a Boolean by all of them.
constexpr const char* kBooleanStyle = "sBool";
constexpr const char* kBooleanFormat = "&quot;TRUE&quot;;&quot;TRUE&quot;;&quot;FALSE&quot;";

class XmlWriter final : public SheetWriter {
public:
    explicit XmlWriter(const QString& target) : file_(target) {}

    void begin(const SheetLayout& layout) override {
        layout_ = &layout;
        for (const SheetColumn& c : layout.columns)
            styles_.push_back(styleId(c.format));
        if (!layout.withTitles)
            return;
        std::string& out = rows_.buffer();
        out += "   <Row>\r\n";
        for (const SheetColumn& c : layout.columns) {
            std::string fitted;
            const std::string t = c.title.toStdString();
            const std::string& text = fitCellText(t, fitted) ? fitted : t;
            if (text.empty()) {
                out += "    <Cell ss:StyleID=\"sTitle\"/>\r\n";
                continue;
            }
            out += "    <Cell ss:StyleID=\"sTitle\"><Data ss:Type=\"String\">";
            appendXmlText(out, text);
            out += "</Data></Cell>\r\n";
        }
        out += "   </Row>\r\n";
    }

    void writeRow(std::int64_t, const std::vector<Cell>& cells) override {
        std::string& out = rows_.buffer();
        out += "   <Row>";
        bool skipped = false;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const Cell& c = cells[i];
            const char* style = styles_[i];
            if (c.type == Cell::Boolean && !style)
                style = kBooleanStyle;
            if (c.type == Cell::Empty && !style) {
                skipped = true;
                continue;
            }
            out += "<Cell";
            if (skipped) {
                out += " ss:Index=\"";
                out += std::to_string(i + 1);
                out += '"';
                skipped = false;
            }
            if (style) {
                out += " ss:StyleID=\"";
                out += style;
                out += '"';
            }
            switch (c.type) {
            case Cell::Empty: out += "/>"; continue;
            case Cell::Number:
                out += "><Data ss:Type=\"Number\">";
                out += numberText(c.number);
                break;
            case Cell::DateTime:
                // A time of day alone is its fraction of a day: as a date-time it would
                // need a day 0, which only Excel's calendar has.
                if (xmlSpreadsheetTimeOnly(c.dateTime)) {
                    out += "><Data ss:Type=\"Number\">";
                    out += numberText(c.number);
                } else {
                    out += "><Data ss:Type=\"DateTime\">";
                    out += xmlSpreadsheetDateTime(c.dateTime);
                }
                break;
            case Cell::Boolean:
                out += "><Data ss:Type=\"Number\">";
                out += c.boolean ? '1' : '0';
                break;
            case Cell::Text:
                out += "><Data ss:Type=\"String\">";
                appendXmlText(out, c.text);
                break;
            }
            out += "</Data></Cell>";
        }
        out += "</Row>\r\n";
        rows_.flushIfFull();
    }

    void finish(const std::vector<double>& widths) override {
        const SheetLayout& layout = *layout_;
        std::string& out = file_.buffer();
        out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
               "<?mso-application progid=\"Excel.Sheet\"?>\r\n"
               "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"\r\n"
               " xmlns:o=\"urn:schemas-microsoft-com:office:office\"\r\n"
               " xmlns:x=\"urn:schemas-microsoft-com:office:excel\"\r\n"
               " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\"\r\n"
               " xmlns:html=\"http://www.w3.org/TR/REC-html40\">\r\n"
               " <Styles>\r\n"
               "  <Style ss:ID=\"Default\" ss:Name=\"Normal\"><Alignment ss:Vertical=\"Bottom\"/></Style>\r\n"
               "  <Style ss:ID=\"sTitle\"><Font ss:Bold=\"1\"/></Style>\r\n";
        out += "  <Style ss:ID=\"";
        out += kBooleanStyle;
        out += "\"><NumberFormat ss:Format=\"";
        out += kBooleanFormat;
        out += "\"/></Style>\r\n";
        for (const ColumnFormat f : {ColumnFormat::Text, ColumnFormat::Date, ColumnFormat::Time,
                                     ColumnFormat::DateTime}) {
            out += "  <Style ss:ID=\"";
            out += styleId(f);
            out += "\"><NumberFormat ss:Format=\"";
            appendXmlText(out, layout.formatCode(f).toStdString());
            out += "\"/></Style>\r\n";
        }
        out += " </Styles>\r\n <Worksheet ss:Name=\"";
        appendXmlText(out, layout.sheetName.toStdString());
        out += "\">\r\n  <Table>\r\n";
        for (const double w : widths) {
            // Character units to points: seven pixels a character and five of padding.
            // Not printf: it would write the decimal comma of the user's locale.
            const double points = (std::round(w * 7) + 5) * 0.75;
            char buf[32];
            const auto r = std::to_chars(buf, buf + sizeof buf, points, std::chars_format::fixed, 2);
            out += "   <Column ss:AutoFitWidth=\"0\" ss:Width=\"";
            out.append(buf, r.ptr);
            out += "\"/>\r\n";
        }
        rows_.copyTo(file_);
        out += "  </Table>\r\n"
               "  <WorksheetOptions xmlns=\"urn:schemas-microsoft-com:office:excel\">\r\n"
               "   <Selected/>\r\n";
        if (layout.withTitles) {
            out += "   <FreezePanes/>\r\n"
                   "   <FrozenNoSplit/>\r\n"
                   "   <SplitHorizontal>1</SplitHorizontal>\r\n"
                   "   <TopRowBottomPane>1</TopRowBottomPane>\r\n"
                   "   <ActivePane>2</ActivePane>\r\n"
                   "   <Panes>\r\n"
                   "    <Pane><Number>3</Number></Pane>\r\n"
                   "    <Pane><Number>2</Number><ActiveRow>1</ActiveRow><ActiveCol>0</ActiveCol></Pane>\r\n"
                   "   </Panes>\r\n";
        }
        out += "  </WorksheetOptions>\r\n </Worksheet>\r\n</Workbook>\r\n";
        file_.commit();
    }

private:
    SheetOutputFile file_;
    SpoolFile rows_;
    const SheetLayout* layout_ = nullptr;
    std::vector<const char*> styles_;
};

}  // namespace

std::unique_ptr<SheetWriter> makeXmlSpreadsheetWriter(const QString& target) {
    return std::make_unique<XmlWriter>(target);
}

}  // namespace vnk::exporting
