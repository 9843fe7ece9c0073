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
    sound.PlayFile(dir.File("deleted.wav"));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_LT(sound.LastFileResult(), 0);
    EXPECT_NE(sound.LastDefaultResult(), CanberraSound::kNotTried);

    start = Clock::now();
    sound.PlayFile(wav);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    unsetenv("PULSE_SERVER");
}

} // namespace
} // namespace sentrel
