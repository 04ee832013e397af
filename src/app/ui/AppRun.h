#pragma once

namespace vnk::ui {

// Chooses the kind of run from the arguments: none or one an interactive window,
// two or more the batch run without a window. Returns the process exit code.
int runVarnock(int argc, char** argv);

}  // namespace vnk::ui
