#include "batch/BatchRun.h"
#include "ui/AppRun.h"

// Two or more arguments are the unattended run, which needs no display; otherwise the window.
int main(int argc, char** argv) {
    if (argc >= 3)
        return vnk::batch::runBatch(argc, argv);
    return vnk::ui::runVarnock(argc, argv);
}
