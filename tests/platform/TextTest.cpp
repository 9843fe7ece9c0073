#include "platform/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace sentrel {
namespace {

TEST(Text, Utf8SequencesAreWellFormedOrNone) {
    const struct {
        std::string text;
        std::size_t length;
    } cases[] = {
        {"a", 1},
        {"\xC3\xA9", 2},
        {"\xE2\x82\xAC", 3},
        {"\xF0\x9F\x98\x80", 4},
        {"\xC3", 0},             // cut short
        {"\xE2\x82", 0},         // cut short
        {"\xC0\xAF", 0},         // overlong
        {"\xE0\x80\xAF", 0},     // overlong
        {"\xED\xA0\x80", 0},     // a surrogate
        {"\xF4\x90\x80\x80", 0}, // above U+10FFFF
        {"\x80", 0},             // a continuation byte alone
        {"\xE9t\xE9", 0},        // Windows-1252
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8SequenceLength(c.text, 0), c.length) << testing::PrintToString(c.text);
    }
    EXPECT_TRUE(IsUtf8("Caf\xC3\xA9 \xE2\x82\xAC"));
    EXPECT_FALSE(IsUtf8("Caf\xE9"));
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
