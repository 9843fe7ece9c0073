#pragma once

// HMAC-MD5 for CRAM-MD5 authentication, and the percent-escaping of URL query values.

#include <cstddef>
#include <string>
#include <string_view>

namespace sentrel {

// Writes the 16-byte HMAC-MD5 of the message under the key into `digest`.
void HmacMd5(const unsigned char* message, std::size_t messageLength, const unsigned char* key,
             std::size_t keyLength, unsigned char digest[16]);

// Returns the text with every byte that is reserved in a URL, every control byte, space,
// "{", "|", "}", "~", DEL and every byte from 0x80 up written as "%XX" (uppercase hex).
std::string EscapeForUrl(const std::string& text);

// The length of EscapeForUrl(text), without building it.
std::size_t EscapedLength(std::string_view text);

} // namespace sentrel
