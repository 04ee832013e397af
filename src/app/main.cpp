#include "ui/AppRun.h"

int main(int argc, char** argv) {
    return vnk::ui::runVarnock(argc, argv);
}
