#include "PrepareStatement.h"

#include "ParamError.h"
#include "ParameterScan.h"
#include "Substitution.h"
#include "share/AppState.h"
#include "share/Error.h"

#include <algorithm>

namespace vnk::params {

namespace {

bool isBlankLine(const QString& line) {
    return std::all_of(line.begin(), line.end(), [](QChar c) { return c.unicode() <= 32; });
}

}  // namespace

QString EmptyQueryMessage() {
    return QStringLiteral("Query cannot be empty.");
}

QString BatchParameterMessage() {
    return QStringLiteral(
        "Error - The application is being terminated because the query has a parameter.");
}

QStringList SplitEditorLines(const QString& text) {
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(u'\n');
    if (lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

std::optional<QString> ExtractStatement(const EditorState& editor, bool batchRun) {
    const QString& text = editor.text;
    if (batchRun)
        return text;

    const QStringList lines = SplitEditorLines(text);
    const qsizetype caret = std::clamp<qsizetype>(editor.caretPosition, 0, text.size());
    qsizetype line = QStringView(text).left(caret).count(u'\n');
    auto blank = [&](qsizetype i) { return i >= lines.size() || isBlankLine(lines.at(i)); };

    if (blank(line)) {
        if (line == 0 || blank(line - 1))
            return std::nullopt;
        --line;
    }

    if (editor.selectionLength > 0) {
        const qsizetype start = std::clamp<qsizetype>(editor.selectionStart, 0, text.size());
        const qsizetype length = std::min(editor.selectionLength, text.size() - start);
        return text.mid(start, length);
    }

    qsizetype first = 0;
    for (qsizetype i = 0; i < line; ++i) {
        if (blank(i))
            first = i + 1;
    }
    qsizetype last = lines.size();  // one past the block
    for (qsizetype i = line + 1; i < lines.size(); ++i) {
        if (blank(i)) {
            last = i;
            break;
        }
    }
    return lines.mid(first, last - first).join(u'\n');
}

PrepareResult PrepareStatement(const EditorState& editor, bool batchRun, ParameterPrompt* prompt,
                               const std::function<void(const QString&)>& showStatement) {
    AppState& state = appState();
    ParameterList& parameters = appParameterList();
    parameters.clear();
    state.ExecutedSql.clear();

    PrepareResult result;
    const std::optional<QString> statement = ExtractStatement(editor, batchRun);
    if (!statement) {
        result.outcome = PrepareOutcome::NothingToRun;
        return result;
    }
    result.panelText = *statement;
    if (showStatement)
        showStatement(result.panelText);

    auto fail = [&](PrepareOutcome outcome, const QString& message) {
        result.outcome = outcome;
        result.message = message;
        return result;
    };

    try {
        try {
            parameters = ScanParameters(*statement);
        } catch (const ParamError& e) {
            if (e.reason() == ParamError::Reason::InvalidType)
                return fail(PrepareOutcome::InvalidType, e.message());
            // More parameters than a list holds: still a statement with parameters.
            if (batchRun)
                return fail(PrepareOutcome::BatchRefused, BatchParameterMessage());
            throw;
        }

        state.CancelFlag = false;
        if (!parameters.isEmpty()) {
            if (batchRun)
                return fail(PrepareOutcome::BatchRefused, BatchParameterMessage());
            const bool confirmed = prompt != nullptr && prompt->ask(parameters);
            state.CancelFlag = !confirmed;
        }
        if (state.CancelFlag) {
            result.outcome = PrepareOutcome::Cancelled;
            return result;
        }

        const QString finalText = SubstituteParameters(*statement, parameters);
        state.ExecutedSql = finalText;
        result.panelText = finalText;
        result.outcome = PrepareOutcome::Ready;
        return result;
    } catch (const ParamError& e) {
        return fail(PrepareOutcome::Failed, e.message());
    } catch (const std::exception&) {
        return fail(PrepareOutcome::Failed, errorText());
    }
}

}  // namespace vnk::params
