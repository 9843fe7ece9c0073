// Sound against a real sound server: PulseAudio with a null sink, started by the test on
// a private socket, so that playing takes as long as the sound does.

#include "platform/CanberraSound.h"

#include "tests/support/Programs.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WavFile.h"

#include <canberra.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace sentrel {
namespace {

using Clock = std::chrono::steady_clock;

class CanberraSoundOnNullSink : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = std::make_unique<test::TempDir>();
        const std::string home = dir->File("home");
        const std::string runtime = dir->File("run");
        std::filesystem::create_directory(home);
        std::filesystem::create_directory(runtime);
        const std::string socket = dir->File("pulse.sock");
        const std::string log = dir->File("pulse.log");
        const std::string nativeModule =
            "module-native-protocol-unix auth-anonymous=1 socket=" + socket;
        server = fork();
        ASSERT_GE(server, 0);
        if (server == 0) {
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, 1);
            dup2(out, 2);
            const std::string homeVar = "HOME=" + home;
            const std::string runtimeVar = "XDG_RUNTIME_DIR=" + runtime;
            const char* env[] = {homeVar.c_str(), runtimeVar.c_str(), "PATH=/usr/bin:/bin",
                                 nullptr};
            execle("/usr/bin/pulseaudio", "pulseaudio", "-n", "--daemonize=no",
                   "--exit-idle-time=-1", "--disable-shm=yes", "--use-pid-file=no", "-L",
                   "module-null-sink sink_name=nullsink", "-L", nativeModule.c_str(), nullptr, env);
            _exit(127);
        }
        const auto deadline = Clock::now() + std::chrono::seconds(15);
        while (access(socket.c_str(), F_OK) != 0 && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_EQ(access(socket.c_str(), F_OK), 0) << "pulseaudio did not start:\n"
                                                   << test::ReadFile(log);
        setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
    }

    static void TearDownTestSuite() {
        if (server > 0) {
            kill(server, SIGTERM);
            int status = 0;
            waitpid(server, &status, 0);
            server = -1;
        }
        unsetenv("PULSE_SERVER");
        dir.reset();
    }

    void SetUp() override {
        if (server <= 0) {
            GTEST_FAIL() << "no sound server";
        }
    }

    static inline std::unique_ptr<test::TempDir> dir;
    static inline pid_t server = -1;
};

TEST_F(CanberraSoundOnNullSink, BlocksUntilTheSoundHasPlayed) {
    const std::string wav = dir->File("second.wav");
    test::WriteToneWav(wav, 1.0);
    CanberraSound sound;
    const auto start = Clock::now();
    EXPECT_TRUE(sound.PlayFile(wav));
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(sound.LastFileResult(), CA_SUCCESS);
    EXPECT_EQ(sound.LastDefaultResult(), CanberraSound::kNotTried);
    EXPECT_GE(elapsed, std::chrono::milliseconds(950));
    EXPECT_LT(elapsed, std::chrono::seconds(10));

    // A Latin-1 file name, as old files copied from elsewhere have: not valid UTF-8.
    const std::string latin1 = dir->File("caf\xe9.wav");
    test::WriteToneWav(latin1, 0.3);
    sound.PlayFile(latin1);
    EXPECT_EQ(sound.LastFileResult(), CA_SUCCESS);

    const std::string bytes8 = dir->File("byte.wav");
    test::WriteToneWav(bytes8, 0.3, 8);
    sound.PlayFile(bytes8);
    EXPECT_EQ(sound.LastFileResult(), CA_SUCCESS);
}

// A server that stops answering while the sound plays never reports its end: playing gives
// up after the sound's own length and a margin, and does not try the default sound on the
// same silent server.
TEST_F(CanberraSoundOnNullSink, AServerThatNeverReportsTheEndIsNotWaitedForEver) {
    const std::string wav = dir->File("frozen.wav");
    test::WriteToneWav(wav, 3.0);
    CanberraSound sound;
    auto playing = std::async(std::launch::async, [&] { return sound.PlayFile(wav); });
    // Stopped as soon as it holds the sound's stream.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (test::RunProgram({"pactl", "list", "short", "sink-inputs"}).out.empty() &&
           Clock::now() < deadline) {
    }
    kill(server, SIGSTOP);
    const bool returned = playing.wait_for(std::chrono::seconds(40)) == std::future_status::ready;
    kill(server, SIGCONT);
    ASSERT_TRUE(returned);
    EXPECT_FALSE(playing.get());
    EXPECT_EQ(sound.LastFileResult(), CanberraSound::kTimedOut);
    EXPECT_EQ(sound.LastDefaultResult(), CanberraSound::kNotTried);
}

TEST_F(CanberraSoundOnNullSink, UnplayableFilesPlayTheDefaultSoundInstead) {
    CanberraSound sound;
    EXPECT_FALSE(sound.PlayFile(dir->File("deleted.wav")));
    EXPECT_EQ(sound.LastFileResult(), CA_ERROR_NOTFOUND);
    EXPECT_EQ(sound.LastDefaultResult(), CA_SUCCESS);

    const std::string wide = dir->File("wide.wav");
    test::WriteToneWav(wide, 0.3, 32);
    sound.PlayFile(wide);
    EXPECT_EQ(sound.LastFileResult(), CA_ERROR_NOTSUPPORTED);
    EXPECT_EQ(sound.LastDefaultResult(), CA_SUCCESS);

    const std::string junk = dir->File("junk.wav");
    test::WriteFile(junk, "RIFF not really a sound");
    sound.PlayFile(junk);
    EXPECT_LT(sound.LastFileResult(), 0);
    EXPECT_EQ(sound.LastDefaultResult(), CA_SUCCESS);
}

} // namespace
} // namespace sentrel
