#pragma once

#include "QueryParameter.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace vnk::params {

// What the preparation reads from the SQL editor. Positions are offsets into `text`, in
// which a line break counts one character. The editor itself is never changed.
struct EditorState {
    QString text;
    qsizetype selectionStart = 0;
    qsizetype selectionLength = 0;  // 0: nothing selected
    qsizetype caretPosition = 0;
};

// Asks the user for the values of the parameters (the "Query Parameters" dialog).
class ParameterPrompt {
public:
    virtual ~ParameterPrompt() = default;
    // On confirmation fills the entered values of every record and the chosen FieldText and
    // OperatorText of Choice parts, and returns true. Returns false when cancelled, closed
    // or not built (the prompt has shown its own message then).
    virtual bool ask(ParameterList& parameters) = 0;
};

enum class PrepareOutcome {
    Ready,         // ExecutedSql holds the statement to run
    NothingToRun,  // the caret is on a blank line below a blank line or on a blank first line;
                   // nothing to report
    InvalidType,   // message: "Invalid parameter type ..."; the caller shows or reports it
    Cancelled,     // the prompt was not confirmed; nothing to report
    Failed,        // message: any other error (too many parameters, a value that cannot be
                   // written); the caller reports it with ReportError
    BatchRefused,  // a batch run met a parameter; message: BatchParameterMessage(). The caller
                   // writes it to the event log and ends the process without running anything
};

struct PrepareResult {
    PrepareOutcome outcome = PrepareOutcome::NothingToRun;
    QString message;    // the text to report; empty for Ready, NothingToRun and Cancelled
    QString panelText;  // what the executed-SQL panel shows after the preparation
    bool ready() const { return outcome == PrepareOutcome::Ready; }
};

// "Error - The application is being terminated because the query has a parameter."
QString BatchParameterMessage();
// "Query cannot be empty."
QString EmptyQueryMessage();

// The lines of an editor or multi-line edit text, split at line breaks; a last empty line
// after a final line break is not a line, and an empty text has no lines.
QStringList SplitEditorLines(const QString& text);

// The statement to prepare, or nullopt when there is nothing to run.
// In a batch run the whole text. Otherwise, with L the caret's line: when line L is blank
// (only codes 0 to 32, or past the last line) and L is 0 or line L-1 is blank too, nothing
// runs, even with a selection; a blank L otherwise means line L-1. Then the selected text
// when there is a selection, else the block of lines around L bounded by blank lines,
// joined by line breaks.
std::optional<QString> ExtractStatement(const EditorState& editor, bool batchRun);

// Takes the statement, scans its tokens, asks for their values through `prompt` (not used
// without parameters; a null prompt counts as cancelled), and substitutes them.
// Uses the shared state: empties AppState::ExecutedSql and appParameterList() at the start;
// clears AppState::CancelFlag before asking and sets it when the prompt is not confirmed.
// ExecutedSql receives the final statement on Ready and stays empty on every other outcome,
// so an unprepared statement with its tokens can never be run by mistake.
// The panel text is empty when nothing runs, the extracted statement when the preparation
// stops after taking it, and the final statement on Ready.
// Order of refusals: an unknown type word first (also in a batch run), then the batch
// refusal when there is any parameter, then the parameter limit.
// `showStatement`, when given, receives the extracted statement as soon as it is taken,
// before any parameter is asked for, so the executed-SQL panel shows it while the prompt
// is open.
PrepareResult PrepareStatement(const EditorState& editor, bool batchRun, ParameterPrompt* prompt,
                               const std::function<void(const QString&)>& showStatement = {});

}  // namespace vnk::params
