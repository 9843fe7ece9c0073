#include "platform/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

namespace sentrel {
namespace {

TEST(Text, Utf8SequencesAreWellFormedOrNone) {
    // A length of 0: no sequence starts there, and decoding steps one byte on.
    const struct {
        std::string text;
        std::size_t length;
        char32_t codePoint;
    } cases[] = {
        {"a", 1, U'a'},
        {"\xC3\xA9", 2, U'\u00E9'},
        {"\xE2\x82\xAC", 3, U'\u20AC'},
        {"\xF0\x9F\x98\x80", 4, U'\U0001F600'},
        {"\xF4\x8F\xBF\xBF", 4, U'\U0010FFFF'},
        {"\xC3", 0, 0},             // cut short
        {"\xE2\x82", 0, 0},         // cut short
        {"\xC0\xAF", 0, 0},         // overlong
        {"\xE0\x80\xAF", 0, 0},     // overlong
        {"\xED\xA0\x80", 0, 0},     // a surrogate
        {"\xF4\x90\x80\x80", 0, 0}, // above U+10FFFF
        {"\x80", 0, 0},             // a continuation byte alone
        {"\xE9t\xE9", 0, 0},        // Windows-1252
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8SequenceLength(c.text, 0), c.length) << testing::PrintToString(c.text);
        std::size_t at = 0;
        const std::optional<char32_t> decoded = NextCodePoint(c.text, at);
        EXPECT_EQ(decoded.value_or(0), c.codePoint) << testing::PrintToString(c.text);
        EXPECT_EQ(decoded.has_value(), c.length != 0);
        EXPECT_EQ(at, std::max<std::size_t>(c.length, 1));
    }
    EXPECT_TRUE(IsUtf8("Caf\xC3\xA9 \xE2\x82\xAC"));
    EXPECT_FALSE(IsUtf8("Caf\xE9"));
}

TEST(Text, TrimAndCaseBlindComparison) {
    EXPECT_EQ(Trim(" \t\r\n\v\fa b\f\v\n\r\t "), "a b");
    EXPECT_EQ(Trim(" \t "), "");
    EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0"); // bytes above ASCII are never blanks
    EXPECT_TRUE(EqualsNoCase("HTTP", "http"));
    EXPECT_FALSE(EqualsNoCase("http", "https"));
    EXPECT_FALSE(EqualsNoCase("\xC9", "\xE9")); // only ASCII letters fold, whatever the locale
    EXPECT_FALSE(EqualsNoCase("[", "{"));       // nor the bytes beside them
    EXPECT_TRUE(StartsWithNoCase("+ok 3 1200", "+OK"));
    EXPECT_FALSE(StartsWithNoCase("+O", "+OK"));
}

TEST(Text, Windows1252BothWays) {
    EXPECT_EQ(Windows1252CodePoint(0x80), U'\u20AC');
    EXPECT_EQ(Windows1252CodePoint(0x9F), U'\u0178');
    EXPECT_EQ(Windows1252CodePoint(0x81), U'\u0081'); // undefined: its C1 control
    EXPECT_EQ(Windows1252CodePoint(0xE9), U'\u00E9');
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        EXPECT_EQ(Windows1252Byte(Windows1252CodePoint(static_cast<unsigned char>(b))), b);
    }
    EXPECT_EQ(Windows1252Byte(U'\u0080'), 0); // a C1 control that the code page does not hold
    EXPECT_EQ(Windows1252Byte(U'\u043D'), 0);
    EXPECT_EQ(Windows1252Byte(U'a'), 0);
}

} // namespace
} // namespace sentrel
