#pragma once

// Steps shared by the ways of connecting and the connection dialogs.

#include <QString>
#include <exception>

#include "share/Error.h"

class QWidget;

namespace vnk::ui {

class TQueryExport;

// A DbError the database layer marked as refused credentials.
bool isLoginFailure(const std::exception& e);

// WorkFolder, or the current directory when none is known.
QString connectionWorkFolder();

// WorkFolder + "/ConFiles/" (the current directory when no work folder is known).
QString conFilesFolder();

// Hands connString to the data module's connection (an empty or blank text becomes "-"
// when substituteDash is set, in connString too) and opens it while `disable` is disabled.
// With the login prompt on, asks for user and password first (never in a batch run);
// Cancel fails the open with kLoginCancelledMessage. Returns whether the connection is
// open; raises what the open raised.
bool openStep(QWidget* disable, QString& connString, bool substituteDash);

// Closes the data module's connection before another is opened. The held result belongs
// to it: the grid lets go of it and the query is closed first.
void closeConnection();

inline const QString kLoginCancelledMessage = QStringLiteral("Login cancelled by the user.");

}  // namespace vnk::ui
