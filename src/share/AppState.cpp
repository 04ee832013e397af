#include "AppState.h"

#include <atomic>

namespace vnk {

namespace {
AppState& instance() {
    static AppState state;
    return state;
}

std::atomic<StringLiteralRule> literalRule{StringLiteralRule::Standard};
}  // namespace

AppState& appState() {
    return instance();
}

void resetAppState() {
    instance() = AppState{};
}

StringLiteralRule connectionLiteralRule() {
    return literalRule.load();
}

void setConnectionLiteralRule(StringLiteralRule rule) {
    literalRule.store(rule);
}

}  // namespace vnk
