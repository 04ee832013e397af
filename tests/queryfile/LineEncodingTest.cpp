#include "queryfile/LineEncoding.h"

#include <gtest/gtest.h>

#include <string>

using namespace vnk::queryfile;

namespace {

// The same digits with NUL separators.
QByteArray nul(QByteArray hyphenated) {
    return hyphenated.replace('-', '\0');
}

std::string str(const QByteArray& bytes) {
    return bytes.toStdString();
}

}  // namespace

TEST(LineEncoding, WorkedExamplesBothWaysWithBothSeparators) {
    const struct {
        const char* text;
        const char* encoded;
    } cases[] = {
        {"abc", "100-35-44-103-103-103-29-"},
        {"cab", "100-35-44-102-102-105-29-"},
        {"", "97-32-41-26-"},
        {"a", "98-33-42-99-27-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const QByteArray text(c.text), encoded(c.encoded);
        EXPECT_EQ(str(EncodeLineBytes(text, '-')), str(encoded));
        EXPECT_EQ(str(EncodeLineBytes(text, '\0')), str(nul(encoded)));
        EXPECT_EQ(str(DecodeLineBytes(encoded, '-')), str(text));
        EXPECT_EQ(str(DecodeLineBytes(nul(encoded), '\0')), str(text));
    }
}

TEST(LineEncoding, EveryByteValueSurvivesWithEitherSeparator) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    for (const char separator : {'-', '\0'}) {
        const QByteArray encoded = EncodeLineBytes(all, separator);
        EXPECT_EQ(encoded.count(separator), all.size() + 4);
        EXPECT_FALSE(encoded.contains('\n') || encoded.contains('\r'));
        EXPECT_EQ(DecodeLineBytes(encoded, separator), all);
    }
}

TEST(LineEncoding, TextCountsUtf8BytesAndHyphensBecomeNumbers) {
    // é is two bytes, C3 A9, stored last byte first.
    EXPECT_EQ(EncodeLine(QStringLiteral("é"), '-'), QStringLiteral("99-34-43-172-199-28-"));
    const QString connString = QStringLiteral("Data Source=a-b-c.db;User=Zoë");
    const QString encoded = EncodeLine(connString, '-');
    EXPECT_EQ(encoded.count(u'-'), connString.toUtf8().size() + 4);
    EXPECT_EQ(DecodeLine(encoded, '-'), connString);
    // Each line has its own separator.
    EXPECT_EQ(DecodeLine(encoded, '\0'), QString());
    EXPECT_EQ(DecodeLine(EncodeLine(connString, '\0'), '-'), QString());
}

TEST(LineEncoding, MalformedLines) {
    const struct {
        const char* line;
        const char* text;
    } cases[] = {
        {"", ""},
        {"100", ""},                          // no separator at all
        {"98-33-42-99-27", "a"},              // trailer without its separator
        {"98-33-42-99-", "a"},                // no trailer
        {"98-33-42-99-27-100-7-", "a"},       // numbers after the characters
        {"98-33-42-99-27-abc", "a"},          // text after the last separator
        {"98-x-y-99-zz-", "a"},               // fillers and trailer are never read
        {"98---99--", "a"},                   // ... not even when empty
        {"100-35-44-103-103-", "bc"},         // cut short: the last bytes of the text
        {"98-33-42-9x-27-", ""},              // a character number that is no number
        {"98-33-42--27-", ""},                // an empty character number
        {"x8-33-42-99-27-", ""},              // a header that is no number
        {"-33-42-99-27-", ""},                // an empty header
        {"-- note", ""},                      // a comment line read as a connection string
        {"+98-33-42-99-27-", ""},             // digits only: no sign
        {" 98-33-42-99-27-", ""},             // ... and no blank
        {"96-33-42-99-27-", ""},              // a header below 97: no character
        {"97-32-41-26-", ""},                 // 97 makes 32 the header: negative length
        {"97-98-x-y-99-27-", "a"},            // ... so after 97 the next number is the header
        {"2147483648-33-42-99-27-", ""},      // beyond the 32-bit range
        {"98-33-42-4294967395-27-", ""},      // ... also in a character number
        {"98-33-42-355-27-", "a"},            // codes are taken modulo 256
        {"98-33-42-1-27-", "\xFF"},           // ... also below the offset
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(str(DecodeLineBytes(QByteArray(c.line), '-')), std::string(c.text));
        EXPECT_EQ(str(DecodeLineBytes(nul(QByteArray(c.line)), '\0')), std::string(c.text));
    }
}

TEST(LineEncoding, DecodedBytesThatAreNotUtf8AreWindows1252) {
    EXPECT_EQ(DecodeLine(QStringLiteral("98-33-42-235-27-"), '-'), QStringLiteral("é"));  // E9
    EXPECT_EQ(DecodeLine(QStringLiteral("98-33-42-130-27-"), '-'), QStringLiteral("€"));  // 80
    EXPECT_EQ(DecodeLine(QStringLiteral("99-34-43-172-199-28-"), '-'), QStringLiteral("é"));
    // A character outside ASCII is no digit, but only where a number is read.
    EXPECT_EQ(DecodeLine(QStringLiteral("98-ü-42-99-27-"), '-'), QStringLiteral("a"));
    EXPECT_EQ(DecodeLine(QStringLiteral("9ü-33-42-99-27-"), '-'), QString());
}
