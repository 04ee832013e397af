#include "ExportCommands.h"

#include "TProcessingMsg.h"
#include "TToolOptions.h"
#include "app/ui/Prompter.h"
#include "app/ui/TQueryExport.h"
#include "db/DataModule.h"
#include "db/ResultSet.h"
#include "export/DelimitedWriter.h"
#include "export/ExportErrors.h"
#include "export/OutputSelection.h"
#include "export/Spreadsheet.h"
#include "db/ValueText.h"
#include "share/AppState.h"
#include "share/Error.h"
#include "share/ErrorReport.h"
#include "share/Settings.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <exception>
#include <memory>

namespace vnk::ui {

namespace {

// Keeps the wait window painted while a writer runs; input stays with the disabled window.
class KeepPainted final : public exporting::ExportProgress {
public:
    void rowsWritten(std::int64_t) override {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
};

// The windows of one export: the main window disabled and the wait window up from
// construction to destruction, on every way out; the grid frozen while rows are read.
class ExportWindows {
public:
    explicit ExportWindows(QAbstractItemView* grid) : grid_(grid) {
        if (TQueryExport* main = mainWindow()) {
            main_ = main;
            wait_ = main->processingMsg();
            focus_ = QApplication::focusWidget();
            main->setEnabled(false);
        }
        if (wait_)
            wait_->showProcessing();
    }
    ~ExportWindows() {
        restoreGrid();
        if (wait_)
            wait_->closeProcessing();
        if (main_)
            main_->setEnabled(true);
        // Disabling took the focus away; the user goes on where they were.
        if (focus_ && focus_->isEnabled())
            focus_->setFocus();
    }
    ExportWindows(const ExportWindows&) = delete;
    ExportWindows& operator=(const ExportWindows&) = delete;

    void suspendGrid() {
        if (grid_ && !suspended_) {
            saved_ = SuspendScrollEvents(grid_);
            suspended_ = true;
        }
    }
    void restoreGrid() {
        if (grid_ && suspended_) {
            RestoreScrollEvents(grid_, saved_);
            suspended_ = false;
        }
    }

private:
    QPointer<QAbstractItemView> grid_;
    QPointer<QWidget> main_;
    QPointer<TProcessingMsg> wait_;
    QPointer<QWidget> focus_;
    TScrollEvents saved_;
    bool suspended_ = false;
};

// Says why the desktop could not show a finished export. The file is kept: it is the
// user's output and can be opened by hand.
void showOpenFailure(const QString& message) {
    prompter().message(mainWindow(), message);
}

// A workbook handed to the desktop lives in a folder of its own that nobody else knows
// of; when no application can show it, it is removed with its folder.
void showLiveWorkbookFailure(const QString& workbook, const QString& message) {
    QFile::remove(workbook);
    QDir().rmdir(QFileInfo(workbook).absolutePath());
    prompter().message(mainWindow(), message);
}

// The held result an export reads; the callers have checked it holds records.
db::ResultSet& heldResult() {
    db::ResultSet* result = db::dm1().ADOQry1.result();
    if (!result)
        throw exporting::ExportError(exporting::kNoDataMessage);
    return *result;
}

}  // namespace

OutputSaveDialogState& outputSaveDialogState() {
    static OutputSaveDialogState state;
    return state;
}

void resetOutputSaveDialog() {
    outputSaveDialogState() = OutputSaveDialogState{};
}

bool ChooseOutput(TToolOptions* dialog, QWidget* parent) {
    AppState& st = appState();
    try {
        TQueryExport* main = mainWindow();
        if (!parent)
            parent = main;
        std::unique_ptr<TToolOptions> own;
        if (!dialog && main)
            dialog = main->toolOptionsDialog();
        if (!dialog) {
            own = std::make_unique<TToolOptions>(parent);
            dialog = own.get();
        }
        if (!dialog->choose())
            return false;

        OutputOptions& out = st.Output;
        if (out.OutputFormat == exporting::kSpreadsheetInstance)
            return true;  // no file: the workbook goes to the desktop's application
        const bool spreadsheet = out.OutputFormat == exporting::kSpreadsheetFile;
        if (!spreadsheet)  // the stored value keeps "TAB"
            out.OutputDelimiter = exporting::delimiterOfText(out.OutputDelimiter);

        OutputSaveDialogState& memory = outputSaveDialogState();
        const exporting::OutputSaveSetup setup =
            exporting::outputSaveSetup(out.OutputFormat, out.OutputDelimiter);
        if (setup.defaultSuffix)
            memory.defaultSuffix = *setup.defaultSuffix;

        FileDialogSpec fileDialog;
        fileDialog.startFolder = st.ReportPath;
        fileDialog.filters = setup.filters;
        fileDialog.filterIndex =
            memory.filterIndex >= 1 && memory.filterIndex <= setup.filters.size() ? memory.filterIndex : 1;
        fileDialog.confirmOverwrite = true;
        // A spreadsheet name typed without an extension takes that of the type offered
        // first, not the last delimited choice's, so the file is what its name says.
        fileDialog.defaultSuffix =
            spreadsheet ? exporting::spreadsheetTypeExtension(fileDialog.filterIndex) : memory.defaultSuffix;

        const std::optional<FileChoice> choice = prompter().saveFile(parent, fileDialog);
        if (!choice)
            return false;
        memory.filterIndex = choice->filterIndex;

        st.ReportPath = exporting::containingFolder(choice->path);
        WriteSetting(key::Options, QString::fromLatin1(opt::ReportPath), st.ReportPath);
        out.OutputFileName = choice->path;
        out.SpreadsheetFormat = choice->filterIndex;
        return !out.OutputFileName.isEmpty();
    } catch (...) {
        ReportError(errorText());
        return false;
    }
}

TScrollEvents SuspendScrollEvents(QAbstractItemView* grid) {
    TScrollEvents saved;
    if (!grid)
        return saved;
    saved.updatesEnabled = grid->updatesEnabled();
    grid->setUpdatesEnabled(false);
    return saved;
}

void RestoreScrollEvents(QAbstractItemView* grid, const TScrollEvents& saved) {
    if (!grid)
        return;
    grid->setUpdatesEnabled(saved.updatesEnabled);
    grid->viewport()->update();
}

void WriteDelimitedFile() {
    const AppState& st = appState();
    TQueryExport* main = mainWindow();
    ExportWindows windows(main ? main->resultGrid() : nullptr);
    try {
        const exporting::DelimitedOptions options = exporting::delimitedOptionsOf(st.Output);
        windows.suspendGrid();
        const std::unique_ptr<db::RowSource> rows = heldResult().rows();
        KeepPainted painter;
        const std::int64_t written = exporting::writeDelimitedFile(
            *rows, options, db::UserFormats::system(), &painter);
        windows.restoreGrid();
        if (written > 0)
            prompter().openWithDesktop(options.fileName, showOpenFailure);
    } catch (...) {
        ReportError(errorText());
    }
}

void ExportToSpreadsheet(QAbstractItemView* grid) {
    const AppState& st = appState();
    ExportWindows windows(grid);
    const exporting::SpreadsheetOptions options =
        exporting::spreadsheetOptionsOf(st.Output, st.CurrentFileName);
    windows.suspendGrid();
    const std::unique_ptr<db::RowSource> rows = heldResult().rows();
    KeepPainted painter;
    const QString written = exporting::exportToSpreadsheet(
        *rows, options, db::UserFormats::system(), &painter);
    windows.restoreGrid();
    // The workbook is left with the user, as a spreadsheet application would show it.
    if (options.liveInstance)
        prompter().openWithDesktop(written, [written](const QString& message) {
            showLiveWorkbookFailure(written, message);
        });
    else
        prompter().openWithDesktop(written, showOpenFailure);
}

void SaveResultToFile() {
    TQueryExport* main = mainWindow();
    const db::ResultSet* result = db::dm1().ADOQry1.result();
    if (!result || result->recordCount() <= 0) {
        prompter().message(main, exporting::kNoDataMessage);
        return;
    }
    if (!ChooseOutput())
        return;
    if (appState().Output.OutputFormat == exporting::kDelimitedFile)
        WriteDelimitedFile();
    else
        ExportToSpreadsheet(main ? main->resultGrid() : nullptr);
}

}  // namespace vnk::ui
