#pragma once

// Small helpers for the program's byte strings: which bytes are blanks, trimming and
// comparing without regard to case, where a UTF-8 character ends and what it stands for,
// and Windows-1252, the code page of stores written on Windows. The one home of these:
// every layer above takes them from here.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace sentrel {

// The blanks between the words of one line: a protocol reply, a command line, the text
// of a web page.
constexpr bool IsSpaceOrTab(char c) {
    return c == ' ' || c == '\t';
}

// White space as the "C" locale has it: space, tab, line feed, vertical tab, form feed
// and carriage return; what is trimmed from typed and received values.
constexpr bool IsWhiteSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// An ASCII decimal digit, whatever the locale says.
constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// An ASCII letter in lower case; every other byte as it is, whatever the locale.
constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The text without the white space (IsWhiteSpace) at either end.
std::string_view Trim(std::string_view text);

// Equal but for the case of ASCII letters (AsciiLower); every other byte must match
// exactly (protocol keywords, URL schemes, am/pm markers).
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// The length of the well-formed UTF-8 sequence that starts at text[at] (1 for ASCII), or 0
// when none does: a stray continuation byte, an overlong form, a surrogate, a code point
// above U+10FFFF or a sequence cut short.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

// True when the whole text is well-formed UTF-8.
bool IsUtf8(std::string_view text);

// The code point of the well-formed UTF-8 sequence at text[at], with `at` moved past it;
// nothing, with `at` moved one byte on, where no such sequence starts (Utf8SequenceLength).
std::optional<char32_t> NextCodePoint(std::string_view text, std::size_t& at);

// The code point a byte stands for in Windows-1252. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep their C1 control code points.
char32_t Windows1252CodePoint(unsigned char byte);

// The byte of 0x80 to 0xFF that stands for a code point in Windows-1252; 0 when none does.
unsigned char Windows1252Byte(char32_t codePoint);

// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string& out, char32_t codePoint);

} // namespace sentrel
