#pragma once

// Small PCM WAV files for the sound tests.

#include "tests/support/TestSupport.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace sentrel::test {

// A mono 440 Hz tone of `seconds` at 8000 samples per second, `bits` per sample (8, 16 or
// 32; 32-bit files are what the sound library refuses).
inline void WriteToneWav(const std::string& path, double seconds, int bits = 16) {
    const std::uint32_t rate = 8000;
    const std::uint32_t samples = static_cast<std::uint32_t>(seconds * rate);
    const std::uint32_t bytesPerSample = static_cast<std::uint32_t>(bits / 8);
    std::string data;
    for (std::uint32_t i = 0; i < samples; ++i) {
        const double v = std::sin(2 * 3.14159265358979 * 440.0 * i / rate) * 0.3;
        std::int64_t s;
        if (bits == 8) {
            s = static_cast<std::int64_t>(128 + v * 127);
        } else {
            s = static_cast<std::int64_t>(v * ((std::int64_t{1} << (bits - 1)) - 1));
        }
        for (std::uint32_t b = 0; b < bytesPerSample; ++b) {
            data += static_cast<char>((s >> (8 * b)) & 0xff);
        }
    }
    auto le = [](std::uint32_t v, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) {
            out += static_cast<char>((v >> (8 * i)) & 0xff);
        }
        return out;
    };
    std::string wav = "RIFF" + le(36 + static_cast<std::uint32_t>(data.size()), 4) + "WAVE";
    wav += "fmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(rate, 4) + le(rate * bytesPerSample, 4) +
           le(bytesPerSample, 2) + le(static_cast<std::uint32_t>(bits), 2);
    wav += "data" + le(static_cast<std::uint32_t>(data.size()), 4) + data;
    WriteFile(path, wav);
}

} // namespace sentrel::test
