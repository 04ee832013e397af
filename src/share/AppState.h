#pragma once

#include <QString>
#include <QStringList>

namespace vnk {

// How the server of the open connection reads a string literal, which decides how a value
// is quoted so that it arrives as exactly the text typed.
enum class StringLiteralRule {
    Standard,          // '...': only a doubled single quote is special (SQLite, PostgreSQL)
    BackslashEscapes,  // '...' in which a backslash escapes (MariaDB/MySQL by default)
    EscapeString,      // a backslash escapes in '...', so E'...' is written (PostgreSQL with
                       // standard_conforming_strings off): the form whose rule never changes
};

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

// The rule of the program's connection: set when it opens, Standard while none is open.
// Kept outside the record: the connection opens on a worker thread, and the rule follows
// the connection, not resetAppState().
StringLiteralRule connectionLiteralRule();
void setConnectionLiteralRule(StringLiteralRule rule);

// Resets the record to its start values (tests start each case from a clean state).
void resetAppState();

}  // namespace vnk
