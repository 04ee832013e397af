#include "AppState.h"

namespace vnk {

namespace {
AppState& instance() {
    static AppState state;
    return state;
}
}  // namespace

AppState& appState() {
    return instance();
}

void resetAppState() {
    instance() = AppState{};
}

}  // namespace vnk
