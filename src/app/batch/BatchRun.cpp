#include "BatchRun.h"

#include "LookAheadRows.h"
#include "app/load/QueryFileLoad.h"
#include "db/CursorRows.h"
#include "db/DataModule.h"
#include "db/DbError.h"
#include "export/DelimitedWriter.h"
#include "export/ExportErrors.h"
#include "export/OutputSelection.h"
#include "export/Spreadsheet.h"
#include "db/ValueText.h"
#include "params/PrepareStatement.h"
#include "queryfile/QueryFile.h"
#include "share/AppState.h"
#include "share/Error.h"
#include "share/ErrorReport.h"
#include "share/Settings.h"
#include "share/Text.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <clocale>
#include <exception>
#include <memory>

namespace vnk::batch {

namespace {

const QString kAppTitle = QStringLiteral("Varnock (Dozidizur Module)");
const QString kEventSource = QStringLiteral("Varnock");

QString invalidArgument(const char* position, const QString& argument) {
    return QString::fromLatin1(position) + QStringLiteral(" parameter is invalid: ") + argument +
           u'.';
}

// A statement that failed after it was sent: its own message, then, as after any run
// that left nothing to export, "No data to export.".
void reportStatementError(const QString& message) {
    ReportError(message);
    ReportError(exporting::kNoDataMessage);
}

// Whether the statement may run a second time without changing anything: a query
// (SELECT, WITH or VALUES first, after blanks and comments), one statement, no RETURNING.
bool repeatableQuery(const QString& sql) {
    qsizetype i = 0;
    const qsizetype n = sql.size();
    for (;;) {
        while (i < n && (sql.at(i).unicode() <= 32 || sql.at(i) == u'('))
            ++i;
        if (sql.mid(i, 2) == u"--") {
            const qsizetype end = sql.indexOf(u'\n', i);
            i = end < 0 ? n : end + 1;
        } else if (sql.mid(i, 2) == u"/*") {
            const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else {
            break;
        }
    }
    static const QRegularExpression query(QStringLiteral("^(select|with|values)\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression returning(QStringLiteral("\\breturning\\b"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression second(QStringLiteral(";\\s*\\S"));
    const QString rest = sql.mid(i);
    return query.match(rest).hasMatch() && !returning.match(rest).hasMatch() &&
           !second.match(rest).hasMatch();
}

// Rows read from PostgreSQL in one portion: a few megabytes held at a time.
constexpr int kPortionRows = 10000;

// PostgreSQL drivers hold a whole result in the client; psqlODBC's own mode of reading in
// portions (UseDeclareFetch) can crash inside SQLFetch when the server goes away. A query
// is therefore read through a cursor the run declares itself, every portion an ordinary
// result of its own. Anything else, or a declaration the server refuses, runs as it is.
std::unique_ptr<db::RowSource> runStatement(db::Connection& conn, const QString& sql,
                                            bool repeatable) {
    if (repeatable && conn.dbmsName().compare(u"PostgreSQL", Qt::CaseInsensitive) == 0) {
        if (std::unique_ptr<db::CursorRows> rows = db::CursorRows::open(conn, sql, kPortionRows))
            return rows;
    }
    return conn.execute(sql);
}

void writeOutput(db::RowSource& rows, const AppState& st) {
    const db::UserFormats formats = db::UserFormats::system();
    if (st.Output.OutputFormat == exporting::kDelimitedFile) {
        (void)exporting::writeDelimitedFile(rows, exporting::delimitedOptionsOf(st.Output), formats);
    } else {
        (void)exporting::exportToSpreadsheet(
            rows, exporting::spreadsheetOptionsOf(st.Output, st.CurrentFileName), formats);
    }
}

// Runs the prepared statement and streams its rows into the output file. Nothing is
// held: the first row is read ahead to know that there is something to write.
void exportStatement(AppState& st) {
    db::Connection& conn = db::dm1().ADOConn1;
    const bool repeatable = repeatableQuery(st.ExecutedSql);
    std::unique_ptr<db::RowSource> rows;
    try {
        rows = runStatement(conn, st.ExecutedSql, repeatable);
    } catch (const db::DbError& e) {
        reportStatementError(e.message());
        return;
    }
    // An update, insert or create: done at the database, nothing to write.
    if (!rows) {
        ReportError(exporting::kNoDataMessage);
        return;
    }

    // A column with values of several kinds is written as the window writes it (the whole
    // column widened) only from a held result: such a result is read again and held, when
    // reading it again changes nothing.
    bool rowsRead = false;
    try {
        LookAheadRows ahead(*rows, repeatable);
        if (!ahead.peek()) {
            ReportError(exporting::kNoDataMessage);
            return;
        }
        rowsRead = true;
        writeOutput(ahead, st);
        return;
    } catch (const MixedValueKinds&) {
        // The unfinished file has been dropped; the result is read once more below.
    } catch (const db::DbError& e) {
        // The rows stopped coming and the unfinished file was dropped. Before the first
        // row the statement failed as any failing statement does; after it, rows were
        // there, and "No data to export." would misstate what happened.
        if (rowsRead)
            ReportError(e.message());
        else
            reportStatementError(e.message());
        return;
    }

    rows.reset();
    try {
        std::unique_ptr<db::RowSource> again = conn.execute(st.ExecutedSql);
        std::unique_ptr<db::ResultSet> held;
        if (again) {
            held = db::ResultSet::fetchAll(*again);
            again.reset();
        }
        if (!held || held->recordCount() <= 0) {
            ReportError(exporting::kNoDataMessage);
            return;
        }
        writeOutput(*held->rows(), st);
    } catch (const db::DbError& e) {
        reportStatementError(e.message());
    }
}

}  // namespace

bool checkBatchArguments(AppState& st, const QStringList& args) {
    const QString first = TrimText(args.value(0));
    // The file checks come before the count check.
    if (const QString error = app::checkQueryFileArgument(first); !error.isEmpty()) {
        ReportError(error);
        st.IsBatchRun = false;
        return false;
    }
    if (args.size() != 5) {
        ReportError(QStringLiteral("Error - Total number of parameter must either be 1 or 5."));
        st.IsBatchRun = false;
        return false;
    }

    st.BatchOutputFile = TrimText(args.at(1));

    st.BatchOutputKind = TrimText(args.at(2));
    const QString kind = st.BatchOutputKind.toUpper();
    if (kind != u"D" && kind != u"X") {
        ReportError(invalidArgument("3rd", st.BatchOutputKind));
        return false;
    }

    st.BatchFormat = TrimText(args.at(3));
    if (kind == u"X") {
        if (exporting::spreadsheetFormatOfWord(st.BatchFormat) == 0) {
            ReportError(invalidArgument("4th", st.BatchFormat));
            return false;
        }
    }

    const QString header = TrimText(args.at(4));
    if (header != u"0" && header != u"1") {
        ReportError(invalidArgument("5th", header));
        return false;
    }
    // Without a delimiter nothing could be written; a run that silently writes nothing
    // would look like success to the scheduler. Checked last, so that the checks above
    // report in their own order.
    if (kind == u"D" && st.BatchFormat.isEmpty()) {
        ReportError(invalidArgument("4th", st.BatchFormat));
        return false;
    }
    st.Output.OutputWithHeader = header;
    return true;
}

void execToFile(AppState& st) {
    st.ExecutedSql.clear();
    try {
        // The loaded statement is kept in SavedText: there is no editor to hold it.
        if (!app::loadQueryFile(TrimText(st.BatchArguments.value(0))))
            return;
        if (!exporting::chooseOutputFromArguments(st))
            return;

        // An empty statement is a failure: a scheduler would read a quiet end as success.
        if (TrimText(st.SavedText).isEmpty()) {
            ReportError(params::EmptyQueryMessage());
            return;
        }
        params::EditorState editor;
        editor.text = st.SavedText;
        const params::PrepareResult prepared = params::PrepareStatement(editor, true, nullptr);
        switch (prepared.outcome) {
        case params::PrepareOutcome::Ready:
            break;
        case params::PrepareOutcome::BatchRefused:
            // Nothing with a parameter runs unattended: logged, and the run ends here.
            WriteEventLog(kEventSource, prepared.message);
            return;
        case params::PrepareOutcome::InvalidType:
        case params::PrepareOutcome::Failed:
            // Nobody is there to read a message box.
            ReportError(prepared.message);
            return;
        case params::PrepareOutcome::NothingToRun:
        case params::PrepareOutcome::Cancelled:
            ReportError(params::EmptyQueryMessage());
            return;
        }
        if (st.ExecutedSql.isEmpty()) {
            ReportError(params::EmptyQueryMessage());
            return;
        }
        exportStatement(st);
    } catch (...) {
        ReportError(errorText());
    }
}

int runBatch(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(kAppTitle);
    // The application object gave the C library the user's locale; its numbers go back to
    // "C", as Qt advises, so that no library or driver writes or reads a decimal comma
    // where a file format wants a point. Texts for people follow QLocale, not this.
    std::setlocale(LC_NUMERIC, "C");

    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    AppState& st = appState();
    const int logged = eventLogEntryCount();
    st.IsBatchRun = true;
    st.BatchArguments = args;
    st.WorkFolder = QDir::currentPath();
    st.QueryPath = ReadSetting(key::Options, QString::fromLatin1(opt::QueryPath));
    st.ReportPath = ReadSetting(key::Options, QString::fromLatin1(opt::ReportPath));

    if (checkBatchArguments(st, args))
        execToFile(st);

    // The layout a batch run would write back is the one it read: nothing to store.
    db::Connection& conn = db::dm1().ADOConn1;
    if (conn.isOpen()) {
        try {
            conn.close();
        } catch (...) {
            // Closing at the end reports nothing.
        }
    }
    return eventLogEntryCount() > logged ? 1 : 0;
}

}  // namespace vnk::batch
