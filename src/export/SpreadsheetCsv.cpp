#include "SpreadsheetCsv.h"

#include "SpreadsheetIo.h"

namespace vnk::exporting {

void appendCsvField(std::string& out, std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += value;
        return;
    }
    out += '"';
    for (const char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

namespace {

class CsvSheetWriter final : public SheetWriter {
public:
    CsvSheetWriter(const QString& target, const db::UserFormats& formats)
        : file_(target), formats_(formats) {}

    bool wantsWidths() const override { return false; }

    void begin(const SheetLayout& layout) override {
        display_ = std::make_unique<CellDisplay>(layout, formats_, '.');
        if (!layout.withTitles)
            return;
        std::string& out = file_.buffer();
        for (std::size_t i = 0; i < layout.columns.size(); ++i) {
            if (i > 0)
                out += ',';
            std::string fitted;
            const std::string t = layout.columns[i].title.toStdString();
            appendCsvField(out, fitCellText(t, fitted) ? fitted : t);
        }
        out += "\r\n";
    }

    void writeRow(std::int64_t, const std::vector<Cell>& cells) override {
        std::string& out = file_.buffer();
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i > 0)
                out += ',';
            const Cell& c = cells[i];
            if (c.type == Cell::Text) {
                appendCsvField(out, c.text);
            } else if (c.type != Cell::Empty) {
                // A date format may hold a comma ("MMM d, yyyy").
                scratch_.clear();
                display_->append(scratch_, c, i);
                appendCsvField(out, scratch_);
            }
        }
        out += "\r\n";
        file_.flushIfFull();
    }

    void finish(const std::vector<double>&) override { file_.commit(); }

private:
    SheetOutputFile file_;
    db::UserFormats formats_;
    std::unique_ptr<CellDisplay> display_;
    std::string scratch_;
};

}  // namespace

std::unique_ptr<SheetWriter> makeSpreadsheetCsvWriter(const QString& target,
                                                       const db::UserFormats& formats) {
    return std::make_unique<CsvSheetWriter>(target, formats);
}

}  // namespace vnk::exporting
