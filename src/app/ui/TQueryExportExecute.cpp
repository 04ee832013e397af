// The run commands of the main window: "&Execute", ExecuteQuery and what a run shows in
// the status bar and the executed-SQL panel.

#include "TQueryExport.h"

#include "Prompter.h"
#include "db/DataModule.h"
#include "db/DbError.h"
#include "params/PrepareStatement.h"
#include "share/AppState.h"
#include "share/Error.h"
#include "share/ErrorReport.h"
#include "share/Text.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextEdit>

namespace vnk::ui {

namespace {

const QString kExecuting = QStringLiteral("Executing query. Please wait...");
const QString kNoRow = QStringLiteral("No row returned");
const QString kSucceeded = QStringLiteral("Query executed successfully");
const QString kFailed = QStringLiteral("Query executed with error");

// "hh:nn:ss.zzz"; the hours wrap after 24.
QString elapsedText(qint64 ms) {
    const qint64 hours = (ms / 3600000) % 24;
    const qint64 minutes = (ms / 60000) % 60;
    const qint64 seconds = (ms / 1000) % 60;
    return QStringLiteral("%1:%2:%3.%4")
        .arg(hours, 2, 10, QChar(u'0'))
        .arg(minutes, 2, 10, QChar(u'0'))
        .arg(seconds, 2, 10, QChar(u'0'))
        .arg(ms % 1000, 3, 10, QChar(u'0'));
}

// The editor as the preparation reads it. A plain-text document counts each line break as
// one position, as the preparation does, so cursor positions carry over unchanged.
params::EditorState editorState(const QPlainTextEdit& editor) {
    const QTextCursor cursor = editor.textCursor();
    params::EditorState state;
    state.text = editor.toPlainText();
    state.selectionStart = cursor.selectionStart();
    state.selectionLength = cursor.selectionEnd() - cursor.selectionStart();
    state.caretPosition = cursor.position();
    return state;
}

}  // namespace

void TQueryExport::tbExecToScreenClick() {
    appState().ExecutedSql.clear();
    if (TrimText(memoQuery_->toPlainText()).isEmpty())
        return;
    if (prompter().confirm(this, QStringLiteral("Confirm to execute?"), Buttons::YesNo) !=
        Answer::Yes)
        return;
    if (fnPrepareStatement())
        ExecuteQuery();
}

// tbExecToFileClick is with the export commands (TQueryExportExport.cpp).

bool TQueryExport::fnPrepareStatement() {
    // Emptied first; the extracted statement shows before the parameters are asked for.
    richEditTemp_->clear();
    const params::PrepareResult prepared = params::PrepareStatement(
        editorState(*memoQuery_), false, parameterPrompt_,
        [this](const QString& statement) { richEditTemp_->setPlainText(statement); });
    richEditTemp_->setPlainText(prepared.panelText);

    switch (prepared.outcome) {
    case params::PrepareOutcome::Ready:
        return true;
    case params::PrepareOutcome::NothingToRun:
    case params::PrepareOutcome::Cancelled:
        return false;
    case params::PrepareOutcome::InvalidType:
        // A plain message box, in every run.
        prompter().message(this, prepared.message);
        return false;
    case params::PrepareOutcome::Failed:
        ReportError(prepared.message);
        return false;
    case params::PrepareOutcome::BatchRefused:
        return false;  // only a run without a window refuses parameters
    }
    return false;
}

void TQueryExport::ExecuteQuery() {
    AppState& st = appState();
    db::Query& query = db::dm1().ADOQry1;

    setStatusText(1, kExecuting);
    statusBar()->repaint();  // shows while the statement blocks the window

    try {
        query.setSql(st.ExecutedSql);
        if (query.active())
            query.close();  // the grid lets go of the rows first

        QElapsedTimer clock;
        clock.start();
        setStatusText(3, QString());
        query.open();  // sends the statement and holds every row
        setStatusText(3, elapsedText(clock.elapsed()));

        db::ResultSet* result = query.result();
        st.ResultRowCount = result ? result->recordCount() : 0;
        dbgResult_->setResult(result);
        if (st.ResultRowCount <= 0)
            setStatusText(1, kNoRow);
        else
            setStatusText(1, QStringLiteral("Row %1 of %2").arg(result->recNo()).arg(st.ResultRowCount));
        setStatusText(4, kSucceeded);
        dbgResult_->fnAutofitColumnWidth();
    } catch (const std::exception&) {
        const QString message = errorText();
        if (message == db::kNoResultSetMessage) {
            setStatusText(4, kSucceeded);
        } else {
            setStatusText(4, kFailed);
            ReportError(message);
            appendExecutionError(message);
        }
        setStatusText(1, kNoRow);
    }
}

void TQueryExport::appendExecutionError(const QString& message) {
    // Line breaks are paragraphs in the panel: its plain text reads "\n" for each.
    QString text = QStringLiteral("\n\n[ Query executed with error: ]\n[ ") + message +
                   QStringLiteral(" ]");
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor cursor(richEditTemp_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
}

}  // namespace vnk::ui
