#pragma once

// Settling the output of one export: the output-options record, the values the options
// dialog remembers, the save dialog's types, and the batch run's arguments. No widgets:
// the dialogs live in export/ui and only feed and read what is here.

#include "DelimitedWriter.h"
#include "Spreadsheet.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace vnk {
struct AppState;
struct OutputOptions;
}  // namespace vnk

namespace vnk::exporting {

// OutputFormat codes.
inline const QString kDelimitedFile = QStringLiteral("DF");
inline const QString kSpreadsheetFile = QStringLiteral("XF");
inline const QString kSpreadsheetInstance = QStringLiteral("XI");

// The stored delimiter text that means one tab character.
inline const QString kTabWord = QStringLiteral("TAB");

// The delimiter a delimiter text stands for: kTabWord (compared with `cs`; the command
// line accepts it in any case, the options dialog stores it exactly) is one tab
// character, any other text is itself.
QString delimiterOfText(const QString& text, Qt::CaseSensitivity cs = Qt::CaseSensitive);

// The spreadsheet type (1 to 6, as in the save dialog) a command-line format word names:
// "XLSX" 1, "XLS" 2, "HTML" 3, "CSV" 4, "XML" 6, in any case; 0 for any other word
// (the 5.0/95 type has no word).
int spreadsheetFormatOfWord(const QString& word);

inline const QString kBlankDelimiterMessage = QStringLiteral("Blank delimiter is not allowed.");
inline const QString kNoDataMessage = QStringLiteral("No data to export.");

// What the options dialog remembers under [Options]: Delimiter, WithHeader, FileFormat.
struct StoredOutputOptions {
    QString delimiter;   // "TAB" or the delimiter box's text, untrimmed (may be empty)
    QString withHeader;  // "1" or "0"
    QString fileFormat;  // "DF", "XF" or "XI"
};

// A missing value reads as the empty text.
StoredOutputOptions readStoredOutputOptions();
// Writes Delimiter, WithHeader and FileFormat, in this order. Raises SettingsError.
void writeStoredOutputOptions(const StoredOutputOptions& values);

// The state of the options dialog's controls.
enum class OutputKind { ExcelInstance, ExcelFile, DelimitedText };
enum class DelimiterChoice { None, Tab, Other };  // None: neither radio button selected

struct OutputChoice {
    OutputKind kind = OutputKind::DelimitedText;
    DelimiterChoice delimiter = DelimiterChoice::None;
    QString delimiterText = QStringLiteral(",");
    bool withHeader = true;
};

// The controls as the dialog opens with the stored values. `lastShown` is how the
// controls were left the last time (at the first opening: a default OutputChoice): a
// spreadsheet format keeps its delimiter selection and box text from there.
OutputChoice openingChoice(const StoredOutputOptions& stored, const OutputChoice& lastShown);

// The values OK stores for a choice ("TAB" or the box text; "1"/"0"; the format code).
StoredOutputOptions storedValuesOf(const OutputChoice& choice);

// The message that keeps the dialog open on OK, or the empty text when OK may close it:
// a delimited export needs a delimiter (a box of spaces is not blank).
QString refusalOf(const OutputChoice& choice);

// The save dialog for the output file, as set for one use.
struct OutputSaveSetup {
    QStringList filters;                    // in type order; positions count from 1
    std::optional<QString> defaultSuffix;   // nullopt: leave the remembered one as it is
};

// For a spreadsheet file the six spreadsheet types; for delimited text (delimiter already
// a tab character where "TAB" was chosen) the types and default extension by delimiter:
// ",": csv then txt ("csv"); a tab: xls then txt ("xls"); anything else: txt only ("txt").
OutputSaveSetup outputSaveSetup(const QString& outputFormat, const QString& delimiter);

// The extension of spreadsheet type 1 to 6 in the save dialog (empty outside the range).
QString spreadsheetTypeExtension(int spreadsheetFormat);

// The full path of the folder that holds path (the path followed by "/.." and resolved).
QString containingFolder(const QString& path);

// ChooseOutput's batch form: the output file, kind and format from the command-line
// arguments (BatchOutputFile, BatchOutputKind, BatchFormat), which the batch run's
// argument checks have already accepted and reported on. The output file's folder is
// created when missing (one level, a failure left to the export); ReportPath follows it
// in memory only. "D" gives delimited text ("TAB" in any case a tab character, any other
// text as passed; an empty one stops without a message); "X" a spreadsheet file from
// spreadsheetFormatOfWord. False: nothing to export (arguments the checks would have
// refused give false too, without a second report).
bool chooseOutputFromArguments(AppState& state);

// The writers' options for the output settled in `output`.
DelimitedOptions delimitedOptionsOf(const OutputOptions& output);
// documentName: the query document (CurrentFileName), which names the worksheet.
SpreadsheetOptions spreadsheetOptionsOf(const OutputOptions& output, const QString& documentName);

}  // namespace vnk::exporting
