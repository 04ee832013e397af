#pragma once

#include "SpreadsheetModel.h"

#include <cstdint>
#include <vector>

namespace vnk::exporting {

// One spreadsheet file format. The export calls begin() once (the titles go out there
// when the layout has them), writeRow() for every record in order, and finish() with the
// fitted column widths to complete the file. A writer destroyed without finish() leaves
// nothing behind.
class SheetWriter {
public:
    virtual ~SheetWriter() = default;
    virtual void begin(const SheetLayout& layout) = 0;
    // row: 0-based sheet row of the record; cells: one per column of the layout.
    virtual void writeRow(std::int64_t row, const std::vector<Cell>& cells) = 0;
    virtual void finish(const std::vector<double>& widths) = 0;
    // Whether the format stores column widths (the export measures them only then).
    virtual bool wantsWidths() const { return true; }
};

}  // namespace vnk::exporting
