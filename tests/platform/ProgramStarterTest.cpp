#include "platform/ProgramStarter.h"

#include "tests/support/ArgRecording.h"
#include "tests/support/TestSupport.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sentrel {
namespace {

using test::TempDir;
using test::WaitForRecord;
using Args = std::vector<std::string>;

TEST(SplitArguments, CommandLineRules) {
    EXPECT_EQ(SplitArguments(""), Args{});
    EXPECT_EQ(SplitArguments("  \t "), Args{});
    EXPECT_EQ(SplitArguments(" a  b\tc "), (Args{"a", "b", "c"}));
    EXPECT_EQ(SplitArguments("\"a b\" c"), (Args{"a b", "c"}));
    EXPECT_EQ(SplitArguments("x\"a b\"y"), Args{"xa by"}); // quotes group inside a word
    EXPECT_EQ(SplitArguments("\"\""), Args{""});           // an empty quoted argument counts
    EXPECT_EQ(SplitArguments("\"unclosed arg"), Args{"unclosed arg"});
    EXPECT_EQ(SplitArguments("$HOME ; `id` 'q'"), (Args{"$HOME", ";", "`id`", "'q'"}));
    // Backslashes: literal unless before a quote, where pairs halve and an odd one escapes.
    EXPECT_EQ(SplitArguments(R"(C:\dir\ a\\b)"), (Args{R"(C:\dir\)", R"(a\\b)"}));
    EXPECT_EQ(SplitArguments(R"(\"a)"), Args{R"("a)"});
    EXPECT_EQ(SplitArguments(R"(\\"a b")"), Args{R"(\a b)"});
    EXPECT_EQ(SplitArguments(R"(\\\"a b)"), (Args{R"(\"a)", "b"}));
    EXPECT_EQ(SplitArguments(R"("C:\dir\\" x)"), (Args{R"(C:\dir\)", "x"}));
    // A doubled quote inside quotes is one literal quote and quoting goes on.
    EXPECT_EQ(SplitArguments(R"("say ""hi"" now")"), Args{R"(say "hi" now)"});
    // What a quote inside the alert's quoted arguments becomes.
    EXPECT_EQ(SplitArguments(R"("a "b c" d")"), (Args{"a b", "c d"}));
}

void MakeExecutable(const std::string& path) {
    test::WriteFile(path, "#!/bin/sh\nexit 0\n");
    ASSERT_EQ(chmod(path.c_str(), 0755), 0);
}

TEST(ParseCommandLine, FindsTheProgramAsTheLoaderDoes) {
    TempDir dir;
    const std::string tools = dir.File("my tools");
    ASSERT_TRUE(std::filesystem::create_directory(tools));
    ASSERT_TRUE(std::filesystem::create_directory(tools + "/run")); // a folder
    test::WriteFile(tools + "/run me", "not executable");           // not executable
    MakeExecutable(tools + "/run me now");
    MakeExecutable(tools + "/run me now please");

    // Unquoted with blanks: the shortest prefix naming an executable file wins.
    ParsedCommandLine parsed = ParseCommandLine(tools + "/run me now please \"-n 3\"");
    EXPECT_EQ(parsed.program, tools + "/run me now");
    EXPECT_EQ(parsed.arguments, (Args{"please", "-n 3"}));

    parsed = ParseCommandLine("\"" + tools + "/run me now please\" x \"y z\"");
    EXPECT_EQ(parsed.program, tools + "/run me now please");
    EXPECT_EQ(parsed.arguments, (Args{"x", "y z"}));

    parsed = ParseCommandLine("  sh -c");
    EXPECT_TRUE(parsed.program.ends_with("/sh")) << parsed.program;
    EXPECT_EQ(parsed.arguments, Args{"-c"});

    for (const std::string& none : {std::string(), std::string("   "), tools + "/run me",
                                    tools + "/missing \"x\"", "\"" + tools + "/run\" x"}) {
        EXPECT_EQ(ParseCommandLine(none).program, "") << none;
    }
}

class ProgramStarterTest : public ::testing::Test {
protected:
    void SetUp() override {
        recordPath = dir.File("record");
        setenv("SENTREL_RECORD_TO", recordPath.c_str(), 1);
        unsetenv("SENTREL_RECORD_DELAY_MS");
        // The recorder, in a folder with a blank, under a name with a blank.
        const std::string folder = dir.File("test tools");
        std::filesystem::create_directory(folder);
        program = folder + "/arg recorder";
        std::filesystem::copy_file(ARG_RECORDER_PATH, program);
        chmod(program.c_str(), 0755);
    }
    void TearDown() override {
        unsetenv("SENTREL_RECORD_TO");
        unsetenv("SENTREL_RECORD_DELAY_MS");
    }
    TempDir dir;
    std::string recordPath;
    std::string program;
    PosixProgramStarter starter;
};

TEST_F(ProgramStarterTest, ArgumentsArriveLiterallyWithoutAShell) {
    // Held open across the start: the program must not inherit it.
    const int inherited = open(recordPath.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(inherited, 3);
    unlink(recordPath.c_str());

    const std::string arguments = "$HOME; echo `id` > /tmp/x | it's \\\"q\" a\\\\b";
    ASSERT_TRUE(starter.Start(program, arguments));
    close(inherited);
    test::ArgRecord record = WaitForRecord(recordPath);
    ASSERT_TRUE(record.found);
    EXPECT_EQ(record.args, Args{arguments});
    EXPECT_EQ(record.openFds, "");
    // Not our child, in a session of its own, and nothing left for us to reap.
    EXPECT_NE(record.parent, static_cast<long>(getpid()));
    EXPECT_NE(record.session, static_cast<long>(getsid(0)));
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    // A program text that is not a file is a command line: its words come first.
    unlink(recordPath.c_str());
    ASSERT_TRUE(starter.Start(program + " -n \"3 4\"", "x y"));
    record = WaitForRecord(recordPath);
    ASSERT_TRUE(record.found);
    EXPECT_EQ(record.args, (Args{"-n", "3 4", "x y"}));
}

TEST_F(ProgramStarterTest, ProgramOutlivesTheProcessThatStartedIt) {
    setenv("SENTREL_RECORD_DELAY_MS", "1500", 1); // ample time to see it absent first
    const pid_t starterProcess = fork();
    ASSERT_GE(starterProcess, 0);
    if (starterProcess == 0) {
        PosixProgramStarter inChild;
        _exit(inChild.Start(program, "after") ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(starterProcess, &status, 0), starterProcess);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // The starting process is gone; the program has not yet written its record.
    EXPECT_NE(access(recordPath.c_str(), F_OK), 0);
    const test::ArgRecord record = WaitForRecord(recordPath);
    ASSERT_TRUE(record.found);
    EXPECT_EQ(record.args, Args{"after"});
}

TEST_F(ProgramStarterTest, MissingProgramFailsWithoutLeavingAChild) {
    EXPECT_FALSE(starter.Start(dir.File("gone.exe"), "x"));
    EXPECT_FALSE(starter.Start("", ""));
    // An existing file is run as named or not at all, never a prefix of its path.
    test::WriteFile(program + " notes", "not a program");
    EXPECT_FALSE(starter.Start(program + " notes", ""));
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_NE(access(recordPath.c_str(), F_OK), 0);
}

} // namespace
} // namespace sentrel
