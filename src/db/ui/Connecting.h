#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace vnk::ui {

class TQueryExport;

// Runs a blocking call on a worker thread while `disable` (may be null) is disabled
// and the event loop keeps running (without a widget, user input waits until the call is
// done); rethrows what the call raised.
void runWithEvents(QWidget* disable, const std::function<void()>& call);

// Start-up: reopens the last connection opened from the connection dialog, or asks for one.
void ReconnectLast(TQueryExport& main);

// Opening a query file: connects with the reference stored in it. False when an error
// was reported.
bool ConnectQueryFile(TQueryExport& main, const QString& connName, const QString& connString,
                      const QString& queryFilePath);
// The same without a window (a batch run on QCoreApplication): main may be null.
bool ConnectQueryFile(TQueryExport* main, const QString& connName, const QString& connString,
                      const QString& queryFilePath);

}  // namespace vnk::ui
