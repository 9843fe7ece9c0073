// sentrelctl run, check-watch and send-alert, run as the real program on stores made here.

#include "model/DateTime.h"
#include "model/SentrelDoc.h"
#include "tests/support/Programs.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

namespace sentrel {
namespace {

using Outcome = test::ProgramResult;

// sentrelctl with the given arguments under a locale.
std::vector<std::string> CtlCommand(const std::vector<std::string>& args) {
    std::vector<std::string> command{SENTRELCTL_PATH};
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

Outcome RunCtl(const std::vector<std::string>& args, const std::string& locale,
               const test::TempDir&) {
    return test::RunProgram(CtlCommand(args), {"LC_ALL=" + locale});
}

// Trace lines without their time stamps.
std::vector<std::string> TraceEvents(const std::string& trace) {
    std::vector<std::string> events;
    std::istringstream in(trace);
    std::string line;
    while (std::getline(in, line)) {
        EXPECT_EQ(line.back(), '\r');
        events.push_back(line.substr(line.find(' ') + 1, line.size() - line.find(' ') - 2));
    }
    return events;
}

// A store with a bare watch and a bare alert tied by one activation, next due an hour ago
// in the US-English form, every minute.
class EngineCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        CSentrelDoc doc(StorePath());
        doc.traceOn = true;
        auto watch = std::make_unique<CWatch>();
        watch->name = "always";
        auto alert = std::make_unique<CAlert>();
        alert->name = "nowhere";
        auto activation = std::make_unique<CActivation>();
        activation->name = "minutely";
        activation->enabled = true;
        activation->watch.push_back(watch.get());
        activation->alerts.push_back(alert.get());
        activation->interval = "1";
        std::time_t t = std::time(nullptr) - 3600;
        std::tm local{};
        localtime_r(&t, &local);
        const int hour12 = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
        char date[32], time[32];
        std::snprintf(date, sizeof date, "%d/%d/%d", local.tm_mon + 1, local.tm_mday,
                      local.tm_year + 1900);
        std::snprintf(time, sizeof time, "%d:%02d:%02d %s", hour12, local.tm_min, local.tm_sec,
                      local.tm_hour < 12 ? "AM" : "PM");
        activation->nextDate = date;
        activation->nextTime = time;
        doc.watches.push_back(std::move(watch));
        doc.alerts.push_back(std::move(alert));
        doc.activations.push_back(std::move(activation));
        ASSERT_TRUE(doc.Save());
    }
    std::string StorePath() const { return dir.File("Sentrel.bin"); }

    test::TempDir dir;
};

TEST_F(EngineCommandsTest, RunTracesTheFiringAndSavesTheAdvancedSchedule) {
    test::WriteFile(dir.File("trace.txt"), "old line\r\n");
    const std::time_t started = std::time(nullptr);
    const Outcome outcome = RunCtl({"run", StorePath(), "--seconds", "2"}, "en_US.UTF-8", dir);
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(TraceEvents(test::ReadFile(dir.File("trace.txt"))),
              (std::vector<std::string>{"line", "TRACE Trace Switched on",
                                        "Sentrel Activations started", "minutely:always Triggered",
                                        "minutely:nowhere Triggered", "Sentrel Exited"}));

    CSentrelDoc saved(StorePath());
    ASSERT_FALSE(saved.Load(false));
    ASSERT_EQ(saved.activations.size(), 1u);
    const CActivation& a = *saved.activations[0];
    // Written in ISO form though the command ran under en_US; the next run lies within the
    // coming minute.
    const CDateTime next = CDateTime::Parse(a.nextDate + " " + a.nextTime);
    std::tm local{};
    localtime_r(&started, &local);
    const CDateTime start =
        CDateTime::FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                             local.tm_min, local.tm_sec);
    EXPECT_EQ(a.nextDate, next.FormatIsoDate());
    EXPECT_EQ(a.nextTime, next.FormatIsoTime());
    EXPECT_TRUE(next > start) << a.nextDate << " " << a.nextTime;
    EXPECT_TRUE(next <= start.AddSeconds(62)) << a.nextDate << " " << a.nextTime;
    EXPECT_TRUE(saved.traceOn);
}

TEST_F(EngineCommandsTest, RunEndsOnSigtermLikeExit) {
    test::CStartedProgram program(CtlCommand({"run", StorePath()}), {"LC_ALL=de_DE.UTF-8"});
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(program.Pid(), SIGTERM);
    const Outcome outcome = program.Wait();
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    const auto events = TraceEvents(test::ReadFile(dir.File("trace.txt")));
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), "Sentrel Exited");
    EXPECT_EQ(std::count(events.begin(), events.end(), "minutely:always Triggered"), 1);
    CSentrelDoc saved(StorePath());
    ASSERT_FALSE(saved.Load(false));
    // Rewritten in ISO form, not the German one the command ran under.
    const CActivation& a = *saved.activations[0];
    EXPECT_EQ(a.nextDate, CDateTime::Parse(a.nextDate).FormatIsoDate()) << a.nextDate;
}

TEST_F(EngineCommandsTest, RunRefusesMissingStoresAndBadArguments) {
    EXPECT_EQ(RunCtl({"run", dir.File("nothing.bin")}, "C.UTF-8", dir).exitCode, 1);
    EXPECT_FALSE(std::ifstream(dir.File("nothing.bin")).good()); // not created either
    EXPECT_EQ(RunCtl({"run", StorePath(), "--seconds", "x"}, "C.UTF-8", dir).exitCode, 2);
    EXPECT_EQ(RunCtl({"run", StorePath(), "--minutes", "1"}, "C.UTF-8", dir).exitCode, 2);
}

// One engine per store: while a run holds it, the commands that would run a second one
// refuse; those that only read go on. A run killed outright lets the store go.
TEST_F(EngineCommandsTest, AStoreInUseIsRefusedUntilItsHolderEndsHoweverItEnds) {
    test::CStartedProgram first(CtlCommand({"run", StorePath()}), {"LC_ALL=C.UTF-8"});
    const std::string lock = StorePath() + ".lock";
    const std::string holder = std::to_string(first.Pid()) + "\n";
    for (int i = 0; i < 100 && test::ReadFile(lock) != holder; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_EQ(test::ReadFile(lock), holder);
    const std::string refusal = "sentrelctl: Sentrel.bin is in use by another Sentrel (pid " +
                                std::to_string(first.Pid()) + ")\n";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"run", StorePath(), "--seconds", "0"},
          {"check-watch", StorePath(), "always"},
          {"send-alert", StorePath(), "nowhere", "x"}}) {
        const Outcome refused = RunCtl(args, "C.UTF-8", dir);
        EXPECT_EQ(refused.exitCode, 1) << args[0];
        EXPECT_EQ(refused.err, refusal) << args[0];
    }
    EXPECT_EQ(RunCtl({"check", StorePath()}, "C.UTF-8", dir).exitCode, 0);
    EXPECT_EQ(RunCtl({"dump", StorePath()}, "C.UTF-8", dir).exitCode, 0);

    kill(first.Pid(), SIGKILL);
    first.Wait();
    const Outcome next = RunCtl({"check-watch", StorePath(), "always"}, "C.UTF-8", dir);
    EXPECT_EQ(next.exitCode, 0) << next.err;
}

TEST_F(EngineCommandsTest, CheckWatchAndSendAlertByName) {
    Outcome outcome = RunCtl({"check-watch", StorePath(), "always"}, "C.UTF-8", dir);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "triggered\n\n");
    outcome = RunCtl({"check-watch", StorePath(), "Always"}, "C.UTF-8", dir);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.out, "");

    outcome = RunCtl({"send-alert", StorePath(), "nowhere", "test message"}, "C.UTF-8", dir);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(RunCtl({"send-alert", StorePath(), "elsewhere", "x"}, "C.UTF-8", dir).exitCode, 1);
    EXPECT_EQ(RunCtl({"send-alert", StorePath(), "nowhere"}, "C.UTF-8", dir).exitCode, 2);
}

} // namespace
} // namespace sentrel
