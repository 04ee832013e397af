#pragma once

#include "share/Error.h"

#include <QString>

class QFileDevice;

namespace vnk::exporting {

// The one error an export raises: a message text for ReportError.
class ExportError : public Error {
public:
    explicit ExportError(const QString& message) : Error(message) {}
};

// The input/output error text of an operating-system error number, in the words users
// of the program know: "File not found", "Invalid filename", "Too many open files",
// "File access denied", "Disk full", otherwise "I/O error <n>".
QString fileErrorText(int osError);

// The error of a failed open, write or commit of a file. osError is errno as saved right
// after the failing call (0 when unknown); without it the device's error kind decides.
ExportError fileError(const QFileDevice& file, int osError);

// Why a file cannot be created, asked of the system in the same folder (QSaveFile only
// reports that the open failed); saved is errno as the failed open left it.
int fileCreateError(const QString& fileName, int saved);

} // namespace vnk::exporting
