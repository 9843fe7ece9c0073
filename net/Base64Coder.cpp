#include "net/Base64Coder.h"

#include <array>

namespace sentrel {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char kNotInAlphabet = 254;
constexpr unsigned char kPad = 255;

// Value of each byte: the alphabet with or without bit 7, "=" as padding, 254 otherwise.
constexpr std::array<unsigned char, 256> kDecodingTable = [] {
    std::array<unsigned char, 256> t{};
    t.fill(kNotInAlphabet);
    for (unsigned char v = 0; v < 64; ++v) {
        const auto c = static_cast<unsigned char>(kAlphabet[v]);
        t[c] = v;
        t[c | 0x80] = v;
    }
    t['='] = kPad;
    t['=' | 0x80] = kPad;
    return t;
}();

constexpr bool IsWhitespace(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 7 && b <= 13) || b == 32;
}

// Four values to three bytes; only the low six bits of each value count.
void JoinGroup(const unsigned char* values, std::string& out) {
    const unsigned v0 = values[0] & 0x3F, v1 = values[1] & 0x3F;
    const unsigned v2 = values[2] & 0x3F, v3 = values[3] & 0x3F;
    out += static_cast<char>((v0 << 2) | (v1 >> 4));
    out += static_cast<char>(((v1 & 0x0F) << 4) | (v2 >> 2));
    out += static_cast<char>(((v2 & 0x03) << 6) | v3);
}

} // namespace

std::string CBase64Coder::Encode(std::string_view bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t count = std::min<std::size_t>(bytes.size() - i, 3);
        unsigned group = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            group = (group << 8) | (k < count ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        }
        for (std::size_t k = 0; k < 4; ++k) {
            text += k <= count ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
        }
    }
    return text;
}

std::string CBase64Coder::Decode(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3 + 3);
    unsigned char values[4];
    std::size_t held = 0;
    for (const char c : text) {
        if (IsWhitespace(c)) {
            continue;
        }
        const unsigned char value = kDecodingTable[static_cast<unsigned char>(c)];
        values[held] = value == kPad && held >= 2 ? 0 : value;
        if (++held == 4) {
            JoinGroup(values, bytes);
            held = 0;
        }
    }
    if (held > 0) {
        std::fill(values + held, values + 4, 0);
        JoinGroup(values, bytes);
        bytes.resize(bytes.size() - 3 + held);
    }
    return bytes;
}

} // namespace sentrel
