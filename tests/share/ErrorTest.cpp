#include "share/Error.h"
#include "share/Settings.h"

#include <gtest/gtest.h>
#include <exception>
#include <stdexcept>
#include <string>

using namespace vnk;

namespace {

// A layer error of its own kind, as the layers derive theirs.
class LayerError : public Error {
public:
    using Error::Error;
};

}  // namespace

TEST(ErrorText, EveryCaughtExceptionBecomesItsMessage) {
    const QString accented = QStringLiteral("Zürich: €5 – 日本");
    // A NUL inside the text: what() stops there, the message does not.
    const QString withNul = QStringLiteral("before") + QChar(u'\0') + QStringLiteral("after");
    struct Case {
        const char* name;
        std::exception_ptr raised;
        QString expected;
    };
    const Case cases[] = {
        {"layer error", std::make_exception_ptr(LayerError(accented)), accented},
        {"layer error holding NUL", std::make_exception_ptr(LayerError(withNul)), withNul},
        {"settings error", std::make_exception_ptr(SettingsError()),
         QStringLiteral("Error creating system registry entry")},
        {"std::exception, UTF-8 what()",
         std::make_exception_ptr(std::runtime_error(accented.toStdString())), accented},
        {"no std::exception", std::make_exception_ptr(42), QStringLiteral("Unknown error")},
        {"nothing raised", std::exception_ptr(), QStringLiteral("Unknown error")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(errorText(c.raised), c.expected) << c.name;
}

TEST(ErrorText, WithoutArgumentReadsTheExceptionBeingHandled) {
    const QString text = QStringLiteral("Größe");
    QString seen;
    try {
        throw LayerError(text);
    } catch (...) {
        seen = errorText();
    }
    EXPECT_EQ(seen, text);
    try {
        throw std::string("not an exception class");
    } catch (...) {
        seen = errorText();
    }
    EXPECT_EQ(seen, QStringLiteral("Unknown error"));
}

TEST(ErrorBase, WhatHoldsTheMessageAsUtf8) {
    const QString text = QStringLiteral("Kein Zugriff auf „Ä“");
    const LayerError e(text);
    EXPECT_EQ(e.message(), text);
    EXPECT_EQ(std::string(e.what()), text.toStdString());
    const std::exception& base = e;
    EXPECT_EQ(QString::fromUtf8(base.what()), text);
}
