#include "HtmlSheetWriter.h"

#include "SpreadsheetIo.h"
#include "db/ValueFormat.h"

namespace vnk::exporting {

namespace {

// A format code with every lone hour code ("h") made two digits, quoted text left alone.
std::string twoDigitHours(const std::string& code) {
    std::string out;
    bool quoted = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char ch = code[i];
        out += ch;
        if (ch == '"')
            quoted = !quoted;
        const bool hour = !quoted && (ch == 'h' || ch == 'H');
        if (hour && (i == 0 || (code[i - 1] != 'h' && code[i - 1] != 'H')) &&
            (i + 1 == code.size() || (code[i + 1] != 'h' && code[i + 1] != 'H')))
            out += ch;
    }
    return out;
}

const char* formatClass(ColumnFormat f) {
    switch (f) {
    case ColumnFormat::General: return nullptr;
    case ColumnFormat::Text: return "t";
    case ColumnFormat::Date: return "d";
    case ColumnFormat::Time: return "tm";
    case ColumnFormat::DateTime: return "dt";
    }
    return nullptr;
}

// A number format code inside a CSS string.
std::string cssString(const QString& code) {
    std::string out = "\"";
    for (const char c : code.toStdString()) {
        if (c == '\\' || c == '"' || c == '/' || c == '@')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// Whether a spreadsheet program would take the text for a number.
bool readsAsNumber(std::string_view t) {
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '-' || t[i] == '+'))
        ++i;
    return i < t.size() && ((t[i] >= '0' && t[i] <= '9') || t[i] == '.');
}

class HtmlWriter final : public SheetWriter {
public:
    HtmlWriter(const QString& target, const db::UserFormats& formats)
        : file_(target), formats_(formats) {}

    bool wantsWidths() const override { return false; }

    void begin(const SheetLayout& layout) override {
        layout_ = &layout;
        display_ = std::make_unique<CellDisplay>(layout, formats_, formats_.decimalSeparator.toLatin1());
        std::string& out = file_.buffer();
        out += "<!DOCTYPE html>\r\n<html xmlns:x=\"urn:schemas-microsoft-com:office:excel\">\r\n"
               "<head>\r\n<meta charset=\"utf-8\">\r\n<title>";
        appendXmlText(out, layout.sheetName.toStdString());
        out += "</title>\r\n<style>\r\n"
               "table{border-collapse:collapse}\r\n"
               "th,td{white-space:pre;padding:1px 4px;vertical-align:bottom;text-align:left}\r\n"
               "th{font-weight:bold}\r\n"
               "thead th{position:sticky;top:0;background:#fff}\r\n"
               "td.n{text-align:right}\r\ntd.b{text-align:center}\r\n";
        for (const ColumnFormat f : {ColumnFormat::Text, ColumnFormat::Date, ColumnFormat::Time,
                                     ColumnFormat::DateTime}) {
            out += '.';
            out += formatClass(f);
            out += "{mso-number-format:";
            out += cssString(layout.formatCode(f));
            out += "}\r\n";
        }
        out += "</style>\r\n</head>\r\n<body>\r\n<table>\r\n";
        if (layout.withTitles) {
            out += "<thead><tr>";
            for (const SheetColumn& c : layout.columns) {
                out += "<th><b>";
                std::string fitted;
                const std::string t = c.title.toStdString();
                appendXmlText(out, fitCellText(t, fitted) ? fitted : t);
                out += "</b></th>";
            }
            out += "</tr></thead>\r\n";
        }
        out += "<tbody>\r\n";
        codes_.clear();
        for (const SheetColumn& c : layout.columns) {
            QString code = layout.formatCode(c.format);
            // Calc's html import drops a time format whose hour has one digit ("h:mm AM/PM")
            // and shows the bare day fraction; with two it keeps the format.
            codes_.push_back(c.format == ColumnFormat::Time ? twoDigitHours(code.toStdString())
                                                            : code.toStdString());
        }
    }

    void writeRow(std::int64_t, const std::vector<Cell>& cells) override {
        std::string& out = file_.buffer();
        out += "<tr>";
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const Cell& c = cells[i];
            const char* cls = formatClass(layout_->columns[i].format);
            bool calcValue = true;
            out += "<td";
            switch (c.type) {
            case Cell::Empty:
            case Cell::Text: break;
            case Cell::Number:
            case Cell::DateTime:
                out += " class=\"n";
                if (cls) {
                    out += ' ';
                    out += cls;
                    cls = nullptr;
                }
                out += '"';
                // Calc takes a value from sdval but drops a date format given with it, so
                // a cell with a date shows its text there (Excel reads x:num and the class).
                calcValue = c.type == Cell::Number || (c.number >= 0 && c.number < 1);
                if (calcValue) {
                    out += " sdval=\"";
                    out += db::roundTripText(c.number);
                    out += '"';
                }
                out += " x:num=\"";
                out += db::roundTripText(c.number);
                out += '"';
                break;
            case Cell::Boolean:
                out += " class=\"b\" x:bool=\"";
                out += c.boolean ? "TRUE" : "FALSE";
                out += '"';
                break;
            }
            // A text that reads as a number (an integer beyond a double's digits) is kept
            // as text, as in a text column.
            const bool textual = c.type == Cell::Text && !cls && readsAsNumber(c.text);
            if (textual)
                cls = formatClass(ColumnFormat::Text);
            if (cls) {
                out += " class=\"";
                out += cls;
                out += '"';
            }
            if (textual) {
                out += " sdnum=\"1033;1033;@\"";
            } else if (!codes_[i].empty() && calcValue) {
                out += " sdnum=\"1033;1033;";
                appendXmlText(out, codes_[i]);
                out += '"';
            } else if (c.type == Cell::Number) {
                // Without a format Calc ignores sdval and reads the shown text in its own
                // locale: "0,035" from a comma-decimal export would become 35.
                out += " sdnum=\"1033;1033;General\"";
            }
            out += '>';
            if (c.type == Cell::Text) {
                appendXmlText(out, c.text);
            } else {
                scratch_.clear();
                display_->append(scratch_, c, i);
                appendXmlText(out, scratch_);
            }
            out += "</td>";
        }
        out += "</tr>\r\n";
        file_.flushIfFull();
    }

    void finish(const std::vector<double>&) override {
        file_.buffer() += "</tbody>\r\n</table>\r\n</body>\r\n</html>\r\n";
        file_.commit();
    }

private:
    SheetOutputFile file_;
    db::UserFormats formats_;
    const SheetLayout* layout_ = nullptr;
    std::unique_ptr<CellDisplay> display_;
    std::vector<std::string> codes_;
    std::string scratch_;
};

}  // namespace

std::unique_ptr<SheetWriter> makeHtmlSheetWriter(const QString& target, const db::UserFormats& formats) {
    return std::make_unique<HtmlWriter>(target, formats);
}

}  // namespace vnk::exporting
