#include "Spreadsheet.h"

#include "DelimitedWriter.h"
#include "ExportErrors.h"
#include "HtmlSheetWriter.h"
#include "SpreadsheetCsv.h"
#include "SpreadsheetModel.h"
#include "SpreadsheetWriter.h"
#include "XlsWriter.h"
#include "XlsxWriter.h"
#include "XmlSpreadsheetWriter.h"
#include "db/ResultSet.h"

#include <QDir>
#include <QTemporaryDir>

namespace vnk::exporting {

namespace {

std::unique_ptr<SheetWriter> makeWriter(SheetFormat format, const QString& target,
                                        const db::UserFormats& formats) {
    switch (format) {
    case SheetFormat::Xlsx: return makeXlsxWriter(target);
    case SheetFormat::Xls: return makeXlsWriter(target);
    case SheetFormat::Html: return makeHtmlSheetWriter(target, formats);
    case SheetFormat::Csv: return makeSpreadsheetCsvWriter(target, formats);
    case SheetFormat::XmlSpreadsheet: return makeXmlSpreadsheetWriter(target);
    case SheetFormat::Excel95: break;
    }
    throw ExportError(kFormatRefusedMessage);
}

// A file name for the workbook handed to the desktop: the worksheet name without the
// characters file managers and spreadsheet programs stumble over.
QString liveFileName(const QString& sheetName) {
    QString name;
    for (const QChar c : sheetName) {
        if (c.unicode() >= 32 && !QStringLiteral("<>:\"/\\|?*").contains(c))
            name += c;
    }
    name = name.trimmed();
    return (name.isEmpty() ? kDefaultSheetName : name) + QStringLiteral(".xlsx");
}

constexpr std::int64_t kProgressEvery = 4096;

}  // namespace

QString exportToSpreadsheet(db::RowSource& rows, const SpreadsheetOptions& options,
                            const db::UserFormats& formats, ExportProgress* progress) {
    // The writers play a spreadsheet application of the 2010 generation: 5.0/95 workbooks
    // are beyond it, as is any number outside the list.
    SheetFormat format = SheetFormat::Xlsx;
    if (!options.liveInstance) {
        if (options.format < 1 || options.format > 6)
            throw ExportError(kFormatRefusedMessage);
        format = static_cast<SheetFormat>(options.format);
    }

    const QString sheetName = worksheetNameFor(options.documentName);
    checkWorksheetName(sheetName);
    const SheetLimits limits = sheetLimits(format);
    const SheetLayout layout =
        makeSheetLayout(rows.fields(), sheetName, options.withTitles, formats, limits);
    if (format == SheetFormat::Excel95)
        throw ExportError(kFormatRefusedMessage);

    QString target = options.fileName;
    std::unique_ptr<QTemporaryDir> liveDir;
    if (options.liveInstance) {
        liveDir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/varnock-XXXXXX"));
        if (!liveDir->isValid())
            throw ExportError(liveDir->errorString());
        target = liveDir->filePath(liveFileName(sheetName));
    }

    std::unique_ptr<SheetWriter> writer = makeWriter(format, target, formats);
    writer->begin(layout);
    CellReader reader(layout, formats);
    ColumnWidths widths(layout, formats);
    const bool measure = writer->wantsWidths();
    if (layout.withTitles && measure)
        widths.addTitles();

    std::int64_t row = layout.firstDataRow();
    std::int64_t count = 0;
    while (rows.next()) {
        if (row >= limits.rows)
            throw ExportError(kRowLimitMessage.arg(limits.rows));
        const std::vector<Cell>& cells = reader.read(rows);
        if (measure)
            widths.addRow(cells);
        writer->writeRow(row, cells);
        ++row;
        ++count;
        if (progress && count % kProgressEvery == 0)
            progress->rowsWritten(count);
    }
    writer->finish(widths.widths());
    if (progress)
        progress->rowsWritten(count);
    if (liveDir)
        liveDir->setAutoRemove(false);  // the desktop's application opens it from there
    return target;
}

}  // namespace vnk::exporting
