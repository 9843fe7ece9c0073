#pragma once

// Helpers for writing store bytes by hand in tests.

#include "tests/support/TestSupport.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace sentrel::test {

inline std::string Le16(std::uint16_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

inline std::string Le32(std::uint32_t v) {
    return Le16(v & 0xFFFF) + Le16(v >> 16);
}

inline std::string LeDouble(double d) {
    std::string out(8, '\0');
    std::memcpy(out.data(), &d, 8);
    return out;
}

// A narrow string shorter than 255 bytes: one length byte, then the text.
inline std::string Str(const std::string& s) {
    return std::string(1, static_cast<char>(s.size())) + s;
}

inline std::string Int(std::int32_t v) {
    return Le32(static_cast<std::uint32_t>(v));
}

inline std::string DateTime(std::int32_t status, double day) {
    return Int(status) + LeDouble(day);
}

// The tag and descriptor of a class's first record.
inline std::string NewClass(const std::string& name) {
    return Hex("FFFF 0000") + Le16(static_cast<std::uint16_t>(name.size())) + name;
}

inline std::string ClassRef(std::uint16_t number) {
    return Le16(0x8000 | number);
}

inline const std::string kNoTrace = Hex("00000000");
inline const std::string kEmptyList = Hex("0000");

} // namespace sentrel::test
