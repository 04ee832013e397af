#pragma once

#include <QString>

namespace vnk::ui {

// The interactive run: no argument, or one query file to open. Returns the process exit
// code (always 0). Two or more arguments are the batch run (app/batch/BatchRun.h), which
// main() starts instead: it creates no window.
int runVarnock(int argc, char** argv);

}  // namespace vnk::ui
