// The export commands of the main window: "Save &Result to File" and "Execute to &File".

#include "TQueryExport.h"

#include "Prompter.h"
#include "db/DataModule.h"
#include "db/ResultSet.h"
#include "export/OutputSelection.h"
#include "export/ui/ExportCommands.h"
#include "export/ui/TProcessingMsg.h"
#include "export/ui/TToolOptions.h"
#include "share/AppState.h"
#include "share/Error.h"
#include "share/ErrorReport.h"
#include "share/Text.h"

#include <QPlainTextEdit>
#include <QTableView>
#include <QToolButton>
#include <exception>

namespace vnk::ui {

void TQueryExport::createExportCommands() {
    dlgToolOptions_ = new TToolOptions(this);
    dlgProcessingMsg_ = new TProcessingMsg(this);
    // A spreadsheet error reaches the general error display, a message box.
    connect(tbSaveResultToFile_, &QToolButton::clicked, this,
            [this] { runCommand([this] { tbSaveResultToFileClick(); }); });
}

void TQueryExport::tbSaveResultToFileClick() {
    SaveResultToFile();
}

void TQueryExport::tbExecToFileClick() {
    AppState& st = appState();
    st.ExecutedSql.clear();
    try {
        if (TrimText(memoQuery_->toPlainText()).isEmpty())
            return;
        if (prompter().confirm(this, QStringLiteral("Confirm to execute?"), Buttons::YesNo) !=
            Answer::Yes)
            return;
        // The output is settled before the statement runs: a cancelled choice runs nothing.
        if (!ChooseOutput())
            return;
        if (fnPrepareStatement())
            ExecuteQuery();
        if (st.ExecutedSql.isEmpty())
            return;

        const db::ResultSet* result = db::dm1().ADOQry1.result();
        if (result && result->recordCount() >= 1) {
            if (st.Output.OutputFormat == exporting::kDelimitedFile)
                WriteDelimitedFile();
            else
                ExportToSpreadsheet(dbgResult_);
        } else {
            ReportError(exporting::kNoDataMessage);
        }
    } catch (...) {
        ReportError(errorText());
    }
}

}  // namespace vnk::ui
