#pragma once

// Cutting a message into SMS-sized pieces, or to what a service takes, never inside a
// character.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace sentrel {

// How the size of a piece is counted: in bytes, in characters of its URL-escaped form, or
// in characters.
enum class PieceMeasure { Bytes, UrlEscaped, Characters };

// The length in bytes of the first piece of `text`: its longest start of whole characters
// whose size is at most `limit`. A well-formed UTF-8 sequence is one character, and
// any other byte (text from a Windows store) is a character of its own. When the first
// character alone is larger than a positive limit, it is the piece, whole. 0 for an empty
// text or a limit of 0 or less.
std::size_t FirstPieceLength(std::string_view text, std::int64_t limit, PieceMeasure measure);

} // namespace sentrel
