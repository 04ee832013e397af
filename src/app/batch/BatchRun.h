#pragma once

// The unattended run: `varnock QUERY.vnk OUT KIND FORMAT HEADER`. No window and no display:
// it runs on a QCoreApplication, and every failure is one event-log entry.

#include <QStringList>

namespace vnk {
struct AppState;
}

namespace vnk::batch {

// The whole batch run for two or more program arguments (argv without the program name
// in `arguments` order): start-up values, the argument checks, the batch form of
// "Execute to File". Returns the process exit code: 1 when anything was written to the
// event log, 0 otherwise.
int runBatch(int argc, char** argv);

// The argument checks, in order, each failure reported through ReportError. The first
// failing check ends the run (false). On true the five arguments are in AppState:
// BatchOutputFile, BatchOutputKind, BatchFormat (trimmed, case kept) and
// Output.OutputWithHeader.
bool checkBatchArguments(AppState& state, const QStringList& arguments);

// "Execute to File" in its batch form: load the query file and connect, settle the output
// from the arguments, prepare the whole statement (refusing any parameter), run it and
// stream its rows into the output file. "No data to export." when it gives no row; no
// file is created then. Reports every failure itself and never raises.
void execToFile(AppState& state);

}  // namespace vnk::batch
