#include "platform/CanberraSound.h"

#include "tests/support/TestSupport.h"
#include "tests/support/WavFile.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>

namespace sentrel {
namespace {

using Clock = std::chrono::steady_clock;

// No sound server to talk to, as on a build machine: playing must fail fast, never hang.
TEST(CanberraSoundWithoutServer, ReturnsPromptlyAndTriesTheDefaultSound) {
    test::TempDir dir;
    setenv("PULSE_SERVER", ("unix:" + dir.File("no-server.sock")).c_str(), 1);
    const std::string wav = dir.File("tone.wav");
    test::WriteToneWav(wav, 0.2);

    CanberraSound sound;
    auto start = Clock::now();
    EXPECT_FALSE(sound.PlayFile(dir.File("deleted.wav")));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_LT(sound.LastFileResult(), 0);
    EXPECT_NE(sound.LastDefaultResult(), CanberraSound::kNotTried);

    start = Clock::now();
    sound.PlayFile(wav);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    unsetenv("PULSE_SERVER");
}

// How long a sound is waited for comes from its header, checked against the file.
TEST(CanberraSoundWaitLimit, TheSoundsOwnLengthAndAMarginAtMost) {
    test::TempDir dir;
    const std::string wav = dir.File("second.wav");
    test::WriteToneWav(wav, 1.0);
    const auto second = std::chrono::seconds(1) + CanberraSound::kEndMargin;
    EXPECT_EQ(CanberraSound::WaitLimit(wav), second);

    std::string bytes = test::ReadFile(wav);
    bytes.replace(40, 4, "\xFF\xFF\xFF\xFF"); // data size "unknown": what the file holds
    test::WriteFile(wav, bytes);
    EXPECT_EQ(CanberraSound::WaitLimit(wav), second);
    bytes.replace(28, 4, std::string("\x01\0\0\0", 4)); // one byte a second: hours long
    test::WriteFile(wav, bytes);
    EXPECT_EQ(CanberraSound::WaitLimit(wav),
              CanberraSound::kLongestSound + CanberraSound::kEndMargin);

    test::WriteFile(wav, "RIFF not really a sound");
    EXPECT_EQ(CanberraSound::WaitLimit(wav), CanberraSound::kUnknownLengthWait);
    EXPECT_EQ(CanberraSound::WaitLimit(dir.File("missing.wav")), CanberraSound::kUnknownLengthWait);
}

} // namespace
} // namespace sentrel
