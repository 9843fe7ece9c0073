#include "net/Encoders.h"

#include <cstring>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace sentrel {

void HmacMd5(const unsigned char* message, std::size_t messageLength, const unsigned char* key,
             std::size_t keyLength, unsigned char digest[16]) {
    // A key longer than the 64-byte block is first hashed, as HMAC requires.
    unsigned int length = 16;
    static const unsigned char nothing = 0;
    if (!HMAC(EVP_md5(), keyLength ? key : &nothing, static_cast<int>(keyLength),
              messageLength ? message : &nothing, messageLength, digest, &length)) {
        std::memset(digest, 0, 16);
    }
}

namespace {

bool NeedsEscape(char c) {
    static constexpr char kReserved[] = "\"<>%\\^[]`+$,@:;/!#?=&";
    const auto value = static_cast<signed char>(c);
    return value <= 32 || value >= 123 || std::strchr(kReserved, c) != nullptr;
}

} // namespace

std::size_t EscapedLength(std::string_view text) {
    std::size_t length = 0;
    for (char c : text) {
        length += NeedsEscape(c) ? 3 : 1;
    }
    return length;
}

std::string EscapeForUrl(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size() * 3);
    for (char c : text) {
        if (NeedsEscape(c)) {
            const auto byte = static_cast<unsigned char>(c);
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0x0F];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

} // namespace sentrel
