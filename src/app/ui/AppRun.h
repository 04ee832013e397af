#pragma once

#include <QString>

namespace vnk::ui {

// Chooses the kind of run from the arguments: none or one an interactive window,
// two or more the batch run without a window. Returns the process exit code.
int runVarnock(int argc, char** argv);

// The checks every run with arguments makes on its first argument (trimmed):
// the file must exist and be a query file (".vnk"). Returns the error message, or the
// empty text when the argument passes.
QString checkQueryFileArgument(const QString& firstArgument);

}  // namespace vnk::ui
