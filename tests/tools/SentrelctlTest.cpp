// Runs the built sentrelctl on stores in a temporary folder.

#include "alerts/AlertKinds.h"
#include "alerts/MessageAlert.h"
#include "model/SentrelDoc.h"
#include "tests/model/StoreBytes.h"
#include "tests/support/Programs.h"
#include "watches/WatchKinds.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>

namespace sentrel {
namespace {

using namespace test;
using Json = nlohmann::ordered_json;

using Result = ProgramResult;

class SentrelctlTest : public ::testing::Test {
protected:
    Result Run(std::vector<std::string> args) {
        args.insert(args.begin(), SENTRELCTL_PATH);
        return RunProgram(args);
    }

    std::string Store(const std::string& name, const std::string& bytes) {
        const std::string path = dir.File(name);
        WriteFile(path, bytes);
        return path;
    }

    TempDir dir;
};

// A store as another program would write it: Windows-1252 and wide text, a date-time, a
// time stamp before 1970, and an activation that uses the second alert and watch.
std::string SampleStore() {
    return Hex("01000000") + Hex("0200") + NewClass("CMessageAlert") + Str("Caf\xE9 \x80\x81") +
           NewClass("CRunProgramAlert") + Hex("FF FEFF 02 A900 3D04") + Str("-v") +
           Str("/bin/\xC3\xA9") + Hex("0200") + NewClass("CDateTimeWatch") + Str("D") +
           DateTime(0, 0.5) + Int(1) + Int(0) + DateTime(2, 0) + DateTime(0, 0) + Str("D") +
           Int(0) + Int(1) + Int(0) + Int(0) + Int(0) + Int(0) + Int(0) + Str("m") +
           DateTime(0, 46363.5) + NewClass("CFileWatch") + Str("F") + Str("") + Str("") +
           Str("/f") + Str("") + Int(0) + Int(1) + Str("") + Int(-2) + Hex("0100") +
           NewClass("CActivation") + Hex("0200 0400 0200 0100 0800") + Int(0) + Int(1) +
           Str("act") + Int(1) + Str("") + Str("spam") + Str("07/12/2026") + Str("5:00p") +
           Str("5") + Str("9:00a") + Str("09:00:00") + Int(0);
}

TEST_F(SentrelctlTest, DumpPrintsTheStoreAsJson) {
    const Result r = Run({"dump", Store("s.bin", SampleStore())});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const Json j = Json::parse(r.out);
    std::vector<std::string> keys;
    for (const auto& item : j.items()) {
        keys.push_back(item.key());
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"trace", "alerts", "watches", "activations"}));
    EXPECT_EQ(j["trace"], true);

    EXPECT_EQ(j["alerts"][0], Json::parse(R"({"class":"CMessageAlert","name":"Café €\u0081"})"));
    EXPECT_EQ(j["alerts"][1], Json::parse(R"({"class":"CRunProgramAlert","name":"\u00a9\u043d",
                                             "arguments":"-v","program":"/bin/é"})"));
    const Json& d = j["watches"][0];
    EXPECT_EQ(d["class"], "CDateTimeWatch");
    EXPECT_EQ(d["dailyTime"], Json::parse(R"({"status":0,"day":0.5})"));
    EXPECT_EQ(d["onceDate"], Json::parse(R"({"status":2,"day":0.0})"));
    EXPECT_EQ(d["lastCheck"], Json::parse(R"({"status":0,"day":46363.5})"));
    EXPECT_EQ(d["dailyOn"], true);
    EXPECT_EQ(d["onMonday"], true);
    EXPECT_EQ(d["onFriday"], false);
    EXPECT_EQ(j["watches"][1]["lastModified"], -2);
    EXPECT_EQ(j["watches"][1]["watchMode"], 1);

    EXPECT_EQ(j["activations"][0], Json::parse(R"({
        "class": "CActivation", "name": "act", "alerts": [1, 0], "watch": [1],
        "containsFilterOn": false, "excludesFilterOn": true, "enabled": true,
        "containsWords": "", "excludesWords": "spam", "nextDate": "07/12/2026",
        "endTime": "5:00p", "interval": "5", "startTime": "9:00a", "nextTime": "09:00:00",
        "windowOn": false})"));

    // An alert that the store holds only inside an activation is shown in its place.
    const std::string unlisted = kNoTrace + kEmptyList + Hex("0100") + NewClass("CWatch") +
                                 Str("w") + Hex("0100") + NewClass("CActivation") + Hex("0100") +
                                 NewClass("CSoundAlert") + Str("hidden") + Str("/x.wav") +
                                 Hex("0100 0200") + Hex("00000000 00000000") + Str("a") +
                                 Hex("01000000 00 00 00 00 00 00 00 00000000");
    const Result u = Run({"dump", Store("u.bin", unlisted)});
    ASSERT_EQ(u.exitCode, 0) << u.err;
    EXPECT_EQ(Json::parse(u.out)["activations"][0]["alerts"],
              Json::parse(R"([{"class":"CSoundAlert","name":"hidden","soundFile":"/x.wav"}])"));
}

TEST_F(SentrelctlTest, CheckAndResave) {
    const std::string store = Store("s.bin", SampleStore());
    Result r = Run({"check", store});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "2 alerts, 2 watches, 1 activation, trace on\n");

    // Resaving writes the program's bytes: narrow where the store had wide text.
    const std::string copy = dir.File("copy.bin");
    r = Run({"resave", store, copy});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    struct stat st {};
    ASSERT_EQ(stat(copy.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string again = dir.File("again.bin");
    EXPECT_EQ(Run({"resave", copy, again}).exitCode, 0);
    EXPECT_EQ(ReadFile(again), ReadFile(copy));
    EXPECT_EQ(Run({"dump", copy}).out, Run({"dump", store}).out);

    // A store cut short: the error as the program words it, what was read, exit 1; resave
    // writes what was read.
    const std::string cut = SampleStore().substr(0, 60);
    r = Run({"check", Store("cut.bin", cut)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("damaged at byte"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "read before the error: 1 alert, 0 watches, 0 activations\n");
    r = Run({"resave", dir.File("cut.bin"), dir.File("partial.bin")});
    EXPECT_EQ(r.exitCode, 1);
    r = Run({"check", dir.File("partial.bin")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "1 alert, 0 watches, 0 activations, trace on\n");

    r = Run({"resave", store, dir.File("no/such/folder/out.bin")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Unable to create Sentrel.bin"), std::string::npos) << r.err;
}

TEST_F(SentrelctlTest, LargeList) {
    RegisterWatchKinds();
    RegisterAlertKinds();
    CSentrelDoc doc;
    for (int i = 0; i < 70000; ++i) {
        doc.alerts.push_back(std::make_unique<CMessageAlert>());
    }
    const std::string store = Store("big.bin", doc.Encode());
    const Result r = Run({"check", store});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "70000 alerts, 0 watches, 0 activations, trace off\n");
    const std::string dump = Run({"dump", store}).out;
    std::size_t records = 0;
    for (auto at = dump.find("\"CMessageAlert\""); at != std::string::npos;
         at = dump.find("\"CMessageAlert\"", at + 1)) {
        ++records;
    }
    EXPECT_EQ(records, 70000u);
}

TEST_F(SentrelctlTest, BadArgumentsGiveUsageAndExitTwo) {
    const std::string store = Store("s.bin", SampleStore());
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate", store},
        {"dump"},
        {"check", store, store},
        {"resave", store},
        {"dump", dir.File("missing.bin")},
        {"resave", dir.File("missing.bin"), dir.File("out.bin")},
    };
    for (const auto& args : cases) {
        const Result r = Run(args);
        EXPECT_EQ(r.exitCode, 2) << testing::PrintToString(args);
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("sentrelctl: "), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(std::ifstream(dir.File("out.bin")).good());
}

// A store that is there but cannot be read, or that is damaged, is never written to;
// every command says why and exits 1. A pipe in its place must not block.
TEST_F(SentrelctlTest, UnreadableOrDamagedStoreStaysAsItIs) {
    const std::string folder = dir.File("folder.bin");
    const std::string pipe = dir.File("pipe.bin");
    const std::string damaged = Store("cut.bin", SampleStore().substr(0, 60));
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const struct {
        std::string store;
        const char* says;
    } stores[] = {
        {folder, "Sentrel.bin cannot be read: Is a directory"},
        {pipe, "Sentrel.bin cannot be read: not a regular file"},
        {damaged, "damaged at byte"},
    };
    for (const auto& s : stores) {
        for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
                 {"check", s.store},
                 {"dump", s.store},
                 {"run", s.store, "--seconds", "0"},
                 {"check-watch", s.store, "D"},
                 {"send-alert", s.store, "Caf\xE9 \x80\x81", "x"},
                 {"resave", s.store, s.store + ".out"},
             }) {
            std::vector<std::string> command{"timeout", "10", SENTRELCTL_PATH};
            command.insert(command.end(), args.begin(), args.end());
            const Result r = RunProgram(command);
            EXPECT_EQ(r.exitCode, 1) << testing::PrintToString(args) << r.err;
            EXPECT_NE(r.err.find(s.says), std::string::npos) << r.err;
        }
    }
    EXPECT_FALSE(std::ifstream(folder + ".out").good());
    EXPECT_FALSE(std::ifstream(pipe + ".out").good());
    struct stat st {};
    EXPECT_TRUE(stat(pipe.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_EQ(ReadFile(damaged), SampleStore().substr(0, 60));
    EXPECT_FALSE(std::ifstream(damaged + ".damaged").good()); // nothing saved over it
}

// examples/Sentrel.bin is what make_example_store writes, and it dumps cleanly.
TEST_F(SentrelctlTest, ExampleStoreIsUpToDate) {
    const std::string example = std::string(SENTREL_SOURCE_DIR) + "/examples/Sentrel.bin";
    const std::string fresh = dir.File("example.bin");
    const Result made = RunProgram({MAKE_EXAMPLE_STORE_PATH, fresh});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_EQ(ReadFile(fresh), ReadFile(example));
    const Result r = Run({"dump", example});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_GE(Json::parse(r.out)["activations"].size(), 2u);
}

} // namespace
} // namespace sentrel
