#include "alerts/MessageAlert.h"
#include "alerts/RunProgramAlert.h"
#include "alerts/SoundAlert.h"

#include "platform/ProgramStarter.h"
#include "services/EventLog.h"
#include "tests/support/ArgRecording.h"
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace sentrel {
namespace {

using Args = std::vector<std::string>;

class RecordingStarter : public IProgramStarter {
public:
    bool Start(const std::string& program, const std::string& arguments) override {
        started.push_back(program + "|" + arguments);
        return false;
    }
    std::vector<std::string> started;
};

class RecordingSound : public ISound {
public:
    bool PlayFile(const std::string& path) override {
        played.push_back(path);
        return !path.empty();
    }
    std::vector<std::string> played;
};

TEST(MessageAlert, EverySendOpensOneMorePopupWithItsMessage) {
    test::FakeAlertPopup popups;
    PlatformServices services;
    services.alertPopup = &popups;
    ScopedPlatform scoped(services);

    CMessageAlert alert;
    EXPECT_TRUE(alert.Send("first\r\nline two"));
    alert.Send("second");
    alert.Send("");
    EXPECT_EQ(popups.opened, (Args{"first\r\nline two", "second", ""}));
    EXPECT_TRUE(popups.closed.empty()); // nothing waits for or closes a popup
}

TEST(RunProgramAlert, StartsTheProgramWithItsArgumentsNotTheMessage) {
    RecordingStarter starter;
    PlatformServices services;
    services.programStarter = &starter;
    ScopedPlatform scoped(services);
    CRunProgramAlert alert;
    alert.program = "/opt/beep tool/beep";
    alert.arguments = "say \"hi\" \\";
    EXPECT_FALSE(alert.Send("the message is not passed"));
    EXPECT_EQ(alert.FailureText(), "Failed to start the program: /opt/beep tool/beep");
    EXPECT_EQ(starter.started, Args{"/opt/beep tool/beep|say \"hi\" \\"});
}

class RunProgramAlertStarts : public ::testing::Test {
protected:
    void SetUp() override {
        recordPath = dir.File("record");
        setenv("SENTREL_RECORD_TO", recordPath.c_str(), 1);
        std::filesystem::create_directory(dir.File("alert tools"));
        program = dir.File("alert tools/record args");
        std::filesystem::copy_file(ARG_RECORDER_PATH, program);
        chmod(program.c_str(), 0755);
        PlatformServices services;
        services.programStarter = &starter;
        scoped = std::make_unique<ScopedPlatform>(services);
        CTraceFile::Instance().SetPath(dir.File("trace.txt"));
        CTraceFile::Instance().SwitchOn();
    }
    void TearDown() override {
        CTraceFile::Instance().SwitchOff();
        unsetenv("SENTREL_RECORD_TO");
    }
    test::TempDir dir;
    std::string recordPath;
    std::string program;
    PosixProgramStarter starter;
    std::unique_ptr<ScopedPlatform> scoped;
};

TEST_F(RunProgramAlertStarts, ExactlyTheStoredFileGetsTheArgumentsAsOne) {
    // An executable named like the path up to its first blank must not be the one started.
    std::filesystem::copy_file(ARG_RECORDER_PATH, dir.File("alert"));
    chmod(dir.File("alert").c_str(), 0755);

    CRunProgramAlert alert;
    alert.program = program; // unquoted, with blanks
    alert.arguments = "$(touch pwned); rm -rf `echo x` it's";
    alert.Send("ignored");
    test::ArgRecord record = test::WaitForRecord(recordPath);
    ASSERT_TRUE(record.found);
    EXPECT_EQ(record.args, Args{"$(touch pwned); rm -rf `echo x` it's"});
    EXPECT_FALSE(std::filesystem::exists("pwned"));

    // Double quotes and backslashes in the arguments stay inside the one argument.
    std::filesystem::remove(recordPath);
    alert.arguments = "a \"b c\" d\\\"";
    alert.Send("");
    record = test::WaitForRecord(recordPath);
    ASSERT_TRUE(record.found);
    EXPECT_EQ(record.args, (Args{"a \"b c\" d\\\""}));

    std::filesystem::remove(recordPath);
    alert.arguments.clear();
    alert.Send("");
    record = test::WaitForRecord(recordPath);
    ASSERT_TRUE(record.found);
    EXPECT_EQ(record.args, Args{});
}

TEST_F(RunProgramAlertStarts, MissingProgramReturnsAndLogsNothing) {
    CRunProgramAlert alert;
    alert.program = dir.File("uninstalled/tool.exe");
    alert.arguments = "x";
    EXPECT_FALSE(alert.Send("m"));
    alert.program.clear();
    EXPECT_FALSE(alert.Send("m"));
    EXPECT_EQ(test::ReadFile(dir.File("trace.txt")), "");
}

TEST(SoundAlert, PlaysItsFileWhateverTheMessage) {
    RecordingSound sound;
    PlatformServices services;
    services.sound = &sound;
    ScopedPlatform scoped(services);
    CSoundAlert alert;
    alert.soundFile = "/media/chime.wav";
    EXPECT_TRUE(alert.Send("not a file name"));
    alert.soundFile = "";
    EXPECT_FALSE(alert.Send("x")); // not played
    EXPECT_EQ(sound.played, (Args{"/media/chime.wav", ""}));
}

} // namespace
} // namespace sentrel
