// The ping watch checked by the real sentrelctl, as root and as an ordinary user.

#include "model/SentrelDoc.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TestSupport.h"
#include "watches/PINGWatch.h"
#include "watches/WatchKinds.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace sentrel {
namespace {

// A store with the ping watches "loopback" for 127.0.0.1 and "loopback6" for ::1, and
// sentrelctl beside it, all owned by `owner` so that user can run the tool and save the
// store.
class PINGWatchCtlTest : public ::testing::Test {
protected:
    void MakeStore(uid_t owner) {
        RegisterWatchKinds();
        CSentrelDoc doc(dir.File("Sentrel.bin"));
        for (const char* host : {"127.0.0.1", "::1"}) {
            auto watch = std::make_unique<CPINGWatch>();
            watch->name = host[0] == ':' ? "loopback6" : "loopback";
            watch->hostName = host;
            watch->packetSizeText = "32";
            watch->timeToLiveText = "10";
            watch->timeoutText = "3000";
            watch->failureMessage = watch->name + " is down";
            doc.watches.push_back(std::move(watch));
        }
        ASSERT_TRUE(doc.Save());
        std::filesystem::copy_file(SENTRELCTL_PATH, dir.File("sentrelctl"));
        for (const char* name : {"", "/Sentrel.bin", "/sentrelctl"}) {
            ASSERT_EQ(::chown((dir.Path() + name).c_str(), owner, owner), 0);
        }
    }

    std::vector<std::string> Command(const std::string& watch = "loopback") const {
        return {dir.File("sentrelctl"), "check-watch", dir.File("Sentrel.bin"), watch};
    }

    test::TempDir dir;
};

TEST_F(PINGWatchCtlTest, LoopbackAnswersRoot) {
    ASSERT_EQ(::geteuid(), 0u) << "the raw-socket ping needs root";
    MakeStore(0);
    std::string output;
    EXPECT_TRUE(test::RunAndCapture(Command(), output));
    EXPECT_EQ(output, "not triggered\n");
    EXPECT_TRUE(test::RunAndCapture(Command("loopback6"), output));
    EXPECT_EQ(output, "not triggered\n");
}

TEST_F(PINGWatchCtlTest, LoopbackAnswersAnOrdinaryUserWhereTheSystemAllows) {
    MakeStore(65534);
    test::NetNamespaceOptions options;
    options.asNobody = true;
    options.openPingGroupRange = true;
    // Both watches checked in one namespace: "<exit code> <output>" of each.
    const auto checkBoth = [&] {
        return test::RunInNetNamespace(options, [&] {
            std::string result;
            for (const char* watch : {"loopback", "loopback6"}) {
                std::string output;
                result += (test::RunAndCapture(Command(watch), output) ? "0 " : "1 ") + output;
            }
            return result;
        });
    };
    auto run = checkBoth();
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(run.output, "0 not triggered\n0 not triggered\n");

    // Without the system's leave no ICMP socket can be opened: that says nothing about the
    // hosts, and the watches cannot check.
    options.openPingGroupRange = false;
    run = checkBoth();
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(run.output, "1 cannot check: Cannot open an ICMP socket: Permission denied\n"
                          "1 cannot check: Cannot open an ICMP socket: Permission denied\n");
}

} // namespace
} // namespace sentrel
