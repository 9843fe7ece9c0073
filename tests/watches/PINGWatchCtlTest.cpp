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

// A store with one ping watch "loopback" for 127.0.0.1, and sentrelctl beside it, all
// owned by `owner` so that user can run the tool and save the store.
class PINGWatchCtlTest : public ::testing::Test {
protected:
    void MakeStore(uid_t owner) {
        RegisterWatchKinds();
        CSentrelDoc doc(dir.File("Sentrel.bin"));
        auto watch = std::make_unique<CPINGWatch>();
        watch->name = "loopback";
        watch->hostName = "127.0.0.1";
        watch->packetSizeText = "32";
        watch->timeToLiveText = "10";
        watch->timeoutText = "3000";
        watch->failureMessage = "loopback is down";
        doc.watches.push_back(std::move(watch));
        ASSERT_TRUE(doc.Save());
        std::filesystem::copy_file(SENTRELCTL_PATH, dir.File("sentrelctl"));
        for (const char* name : {"", "/Sentrel.bin", "/sentrelctl"}) {
            ASSERT_EQ(::chown((dir.Path() + name).c_str(), owner, owner), 0);
        }
    }

    std::vector<std::string> Command() const {
        return {dir.File("sentrelctl"), "check-watch", dir.File("Sentrel.bin"), "loopback"};
    }

    test::TempDir dir;
};

TEST_F(PINGWatchCtlTest, LoopbackAnswersRoot) {
    ASSERT_EQ(::geteuid(), 0u) << "the raw-socket ping needs root";
    MakeStore(0);
    std::string output;
    EXPECT_TRUE(test::RunAndCapture(Command(), output));
    EXPECT_EQ(output, "not triggered\n");
}

TEST_F(PINGWatchCtlTest, LoopbackAnswersAnOrdinaryUserWhereTheSystemAllows) {
    MakeStore(65534);
    test::NetNamespaceOptions options;
    options.asNobody = true;
    options.openPingGroupRange = true;
    const auto command = Command();
    auto run = test::RunInNetNamespace(options, [&] {
        std::string output;
        return std::string(test::RunAndCapture(command, output) ? "0 " : "1 ") + output;
    });
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(run.output, "0 not triggered\n");

    // Without the system's leave the echo cannot be made: the watch triggers.
    options.openPingGroupRange = false;
    run = test::RunInNetNamespace(options, [&] {
        std::string output;
        return std::string(test::RunAndCapture(command, output) ? "0 " : "1 ") + output;
    });
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(run.output, "0 triggered\nloopback is down\n");
}

} // namespace
} // namespace sentrel
