#pragma once

#include <QString>

namespace vnk::ui {

// The interactive run: no argument, or one query file to open. Returns the process exit
// code (always 0). Two or more arguments are the batch run (app/batch/BatchRun.h), which
// main() starts instead: it creates no window.
int runVarnock(int argc, char** argv);

// The checks every run with arguments makes on its first argument (trimmed):
// the file must exist and be a query file (".vnk"). Returns the error message, or the
// empty text when the argument passes.
QString checkQueryFileArgument(const QString& firstArgument);

}  // namespace vnk::ui
