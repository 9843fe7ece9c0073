#include "net/Base64Coder.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace sentrel {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char kNotInAlphabet = 254;
constexpr unsigned char kPad = 255;

// Value of each byte: the alphabet with or without bit 7, "=" as padding, 254 otherwise.
const std::array<unsigned char, 256>& DecodingTable() {
    static const std::array<unsigned char, 256> table = [] {
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
    return table;
}

std::size_t RoundedCapacity(std::size_t n) {
    return (n / 4096 + 1) * 4096;
}

} // namespace

void CBase64Coder::EncodeText(const char* text) {
    if (text) {
        Encode(reinterpret_cast<const unsigned char*>(text), std::strlen(text));
    }
}

void CBase64Coder::DecodeText(const char* text) {
    if (text) {
        Decode(text, std::strlen(text));
    }
}

const unsigned char* CBase64Coder::RawData() const {
    static const unsigned char empty = 0;
    return m_raw.empty() ? &empty : m_raw.data();
}

const char* CBase64Coder::TextData() const {
    return m_text.empty() ? "" : m_text.data();
}

void CBase64Coder::ReserveText(std::size_t n) {
    if (m_text.size() < n || m_text.empty()) {
        m_text.assign(RoundedCapacity(n), 0);
    } else {
        std::fill(m_text.begin(), m_text.end(), 0);
    }
    m_textLength = 0;
}

void CBase64Coder::ReserveRaw(std::size_t n) {
    if (m_raw.size() < n || m_raw.empty()) {
        m_raw.assign(RoundedCapacity(n), 0);
    } else {
        std::fill(m_raw.begin(), m_raw.end(), 0);
    }
    m_rawLength = 0;
}

void CBase64Coder::LoadText(const char* data, std::size_t length) {
    ReserveText(length);
    for (std::size_t i = 0; i < length; ++i) {
        if (!IsWhitespace(data[i])) {
            m_text[m_textLength++] = data[i];
        }
    }
}

void CBase64Coder::LoadRaw(const unsigned char* data, std::size_t length) {
    ReserveRaw(length);
    if (length > 0) {
        std::memcpy(m_raw.data(), data, length);
    }
    m_rawLength = length;
}

bool CBase64Coder::IsWhitespace(char c) const {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 7 && b <= 13) || b == 32;
}

void CBase64Coder::SplitGroup(const unsigned char* bytes, unsigned char* values) const {
    values[0] = bytes[0] >> 2;
    values[1] = static_cast<unsigned char>(((bytes[0] & 0x03) << 4) | (bytes[1] >> 4));
    values[2] = static_cast<unsigned char>(((bytes[1] & 0x0F) << 2) | (bytes[2] >> 6));
    values[3] = bytes[2] & 0x3F;
}

void CBase64Coder::JoinGroup(const unsigned char* values, unsigned char* bytes) const {
    // Only the low six bits of each value count.
    const unsigned v0 = values[0] & 0x3F, v1 = values[1] & 0x3F;
    const unsigned v2 = values[2] & 0x3F, v3 = values[3] & 0x3F;
    bytes[0] = static_cast<unsigned char>((v0 << 2) | (v1 >> 4));
    bytes[1] = static_cast<unsigned char>(((v1 & 0x0F) << 4) | (v2 >> 2));
    bytes[2] = static_cast<unsigned char>(((v2 & 0x03) << 6) | v3);
}

void CBase64Coder::EncodeGroup(const unsigned char* group, std::size_t count, char* out) const {
    unsigned char bytes[3] = {0, 0, 0};
    std::memcpy(bytes, group, std::min<std::size_t>(count, 3));
    unsigned char values[4];
    SplitGroup(bytes, values);
    for (int i = 0; i < 4; ++i) {
        out[i] = kAlphabet[values[i]];
    }
    if (count == 1) {
        out[2] = out[3] = '=';
    } else if (count == 2) {
        out[3] = '=';
    }
}

void CBase64Coder::DecodeGroup(const char* group, unsigned char* out) const {
    const auto& table = DecodingTable();
    unsigned char values[4];
    for (int i = 0; i < 4; ++i) {
        values[i] = table[static_cast<unsigned char>(group[i])];
    }
    for (int i = 2; i < 4; ++i) {
        if (values[i] == kPad) {
            values[i] = 0;
        }
    }
    JoinGroup(values, out);
}

void CBase64Coder::Encode(const unsigned char* data, std::size_t length) {
    LoadRaw(data, length);
    ReserveText(2 * length);
    std::size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        EncodeGroup(m_raw.data() + i, 3, m_text.data() + m_textLength);
        m_textLength += 4;
    }
    if (i < length) {
        EncodeGroup(m_raw.data() + i, length - i, m_text.data() + m_textLength);
        m_textLength += 4;
    }
}

void CBase64Coder::Decode(const char* data, std::size_t length) {
    LoadText(data, length);
    ReserveRaw(length);
    std::size_t i = 0;
    for (; i + 4 <= m_textLength; i += 4) {
        DecodeGroup(m_text.data() + i, m_raw.data() + m_rawLength);
        m_rawLength += 3;
    }
    if (i < m_textLength) {
        const std::size_t rest = m_textLength - i;
        // The missing characters count as the value 0, as "=" does in the last places.
        char group[4] = {'A', 'A', 'A', 'A'};
        std::memcpy(group, m_text.data() + i, rest);
        DecodeGroup(group, m_raw.data() + m_rawLength);
        m_rawLength += rest;
    }
}

} // namespace sentrel
