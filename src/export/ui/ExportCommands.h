#pragma once

// The export commands as the window runs them: the output choice (options dialog, then
// the save dialog), and the two exports with the main window disabled and the wait window
// up. The writers themselves are widget-free (export/DelimitedWriter.h, Spreadsheet.h).

#include <QString>

class QAbstractItemView;
class QWidget;

namespace vnk::ui {

class TToolOptions;

// What the output-file save dialog keeps between uses within a run.
struct OutputSaveDialogState {
    QString defaultSuffix;  // left by the last delimited choice (none at first)
    int filterIndex = 1;    // type position selected the last time
};
OutputSaveDialogState& outputSaveDialogState();
void resetOutputSaveDialog();  // back to the start of a run (tests)

// Settles AppState's output options for one export. Interactive: the options dialog
// (`dialog`, by default the main window's), then, except for "XI", the save dialog with
// the types of the chosen format, from ReportPath; the chosen file's folder becomes
// ReportPath and is stored.
// False: stop (cancelled, or a message has been given).
bool ChooseOutput(TToolOptions* dialog = nullptr, QWidget* parent = nullptr);

// What SuspendScrollEvents takes away from the grid bound to the exported result.
struct TScrollEvents {
    bool updatesEnabled = true;
};
// Stops the grid repainting while an export reads the result.
TScrollEvents SuspendScrollEvents(QAbstractItemView* grid);
// Gives it back and repaints at once.
void RestoreScrollEvents(QAbstractItemView* grid, const TScrollEvents& saved);

// Writes the held result (db::dm1().ADOQry1) as delimited text to the output options'
// file, with the main window disabled and the wait window up; an interactive export of
// one row or more then opens the file with the desktop's application. Reports its own
// failures through ReportError and never raises.
void WriteDelimitedFile();

// Writes the held result as a spreadsheet ("XF": the output file in SpreadsheetFormat;
// "XI": a new workbook handed to the desktop's spreadsheet application), the worksheet
// named after the current document. Interactive runs open the finished workbook. After
// its clean-up (wait window closed, main window enabled) an error travels on to the caller.
void ExportToSpreadsheet(QAbstractItemView* grid);

// "Save &Result to File": with a held result of one record or more, ChooseOutput and the
// export it chose; otherwise the message "No data to export.". Spreadsheet errors travel on.
void SaveResultToFile();

}  // namespace vnk::ui
