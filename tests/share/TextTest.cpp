#include "share/Text.h"
#include "share/Version.h"

#include <gtest/gtest.h>

using namespace vnk;

TEST(IsNumericText, FollowsTheStandardIntegerConversion) {
    struct Case {
        const char* text;
        bool numeric;
        int value;
    };
    const Case cases[] = {
        {"93", true, 93},
        {"  93", true, 93},
        {"93 ", false, 0},
        {"", false, 0},
        {" ", false, 0},
        {"-17", true, -17},
        {"+17", true, 17},
        {"$1F", true, 31},
        {"0x1f", true, 31},
        {"X10", true, 16},
        {"$FFFFFFFF", true, -1},
        {"$100000000", false, 0},
        {"2147483647", true, 2147483647},
        {"2147483648", false, 0},
        {"-2147483648", true, -2147483647 - 1},
        {"abc", false, 0},
        {"12a", false, 0},
        {"1.5", false, 0},
        {"-", false, 0},
        {"$", false, 0},
    };
    for (const Case& c : cases) {
        const QString t = QString::fromLatin1(c.text);
        EXPECT_EQ(IsNumericText(t), c.numeric) << c.text;
        EXPECT_EQ(NumericTextValue(t), c.value) << c.text;
    }
}

TEST(TrimText, RemovesControlCharactersAndBlanksAtBothEnds) {
    EXPECT_EQ(TrimText(QStringLiteral("\t\r\n x y \x01")), QStringLiteral("x y"));
    EXPECT_EQ(TrimText(QStringLiteral(" \n ")), QString());
}

TEST(FileKind, IsTheUpperCasedLastFourCharacters) {
    EXPECT_EQ(FileKind(QStringLiteral("/a/q.Vnk")), QStringLiteral(".VNK"));
    EXPECT_EQ(FileKind(QStringLiteral("x")), QStringLiteral("X"));
}

TEST(GetVersionText, ShowsThreeNumbersAndAFinalDot) {
    const QString expected = QStringLiteral(" Ver %1.%2.%3.")
                                 .arg(VARNOCK_VERSION_MAJOR)
                                 .arg(VARNOCK_VERSION_MINOR)
                                 .arg(VARNOCK_VERSION_PATCH);
    EXPECT_EQ(GetVersionText(), expected);
}
