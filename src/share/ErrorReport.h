#pragma once

#include <QString>
#include <functional>

namespace vnk {

// Writes one error entry under the given source: to the JSON-lines file named by
// VARNOCK_EVENT_LOG when that is set, otherwise to syslog (LOG_ERR). Never reports
// its own failure.
void WriteEventLog(const QString& source, const QString& message);

// How many entries WriteEventLog has written (or tried to write) in this process: a batch
// run that logged anything ends with a failure exit code.
int eventLogEntryCount();

// In a batch run: WriteEventLog("Varnock", message). Otherwise the interactive sink
// (a message box, installed by the UI) shows it. Never raises.
void ReportError(const QString& message);

// The UI installs the message-box form here; without one, interactive reports go to stderr.
using ErrorSink = std::function<void(const QString&)>;
void setInteractiveErrorSink(ErrorSink sink);

}  // namespace vnk
