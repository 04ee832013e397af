#pragma once

#include <QString>
#include <QStringList>

namespace vnk {


// Options of the pending export (filled by the output selection).
struct OutputOptions {
    QString OutputFormat;  // "DF", "XF" or "XI"
    QString OutputDelimiter;
    QString OutputWithHeader;  // "0" or "1"
    QString OutputFileName;
    int SpreadsheetFormat = 0;  // 1 to 6
};

// The one process-wide state record. Every window and routine reads and writes it
// directly on the user-interface thread.
struct AppState {
    // connection reference
    QString ConnName;
    QString ConnString;

    // current document
    QString CurrentFileName = QStringLiteral("<NoName>....");
    bool IsModified = false;
    QString SavedText;

    bool IsBatchRun = false;
    QString RegistryKeyName = QStringLiteral("Varnock Dozidizur");
    QString WorkFolder;
    QString QueryPath;
    QString ReportPath;
    QString VersionText;
    QStringList RecentFiles;  // at most 10, most recent first
    int SchemaPanelWidth = 204;
    int SaveTypeIndex = 0;

    // editor font
    QString QueryFontName = QStringLiteral("Courier New");
    int QueryFontSize = 9;
    int QueryFontCharSet = 0;
    int QueryFontColor = 0;
    int QueryFontStyle = 0;

    QString ExecutedSql;
    bool CancelFlag = false;
    long long ResultRowCount = 0;

    // batch run
    QStringList BatchArguments;  // the command-line arguments as given
    QString BatchOutputFile;
    QString BatchOutputKind;
    QString BatchFormat;

    OutputOptions Output;

    // The parameter list is owned by the parameter layer (appParameterList()).
};

AppState& appState();

// Resets the record to its start values (tests start each case from a clean state).
void resetAppState();

}  // namespace vnk
