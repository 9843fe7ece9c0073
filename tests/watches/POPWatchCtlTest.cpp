// The POP mailbox watch checked by sentrelctl against a real server (Dovecot).

#include "model/SentrelDoc.h"
#include "tests/net/DovecotServer.h"
#include "tests/support/Programs.h"
#include "tests/support/TestSupport.h"
#include "watches/POPWatch.h"
#include "watches/WatchKinds.h"

#include <gtest/gtest.h>

namespace sentrel {
namespace {

class POPWatchCtlTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.AddUser("ann", "secret");
        server.Deliver("ann", "From: Bob <bob@example.org>\r\nSubject: Lunch\r\n\r\nAt noon?\r\n");
        server.Deliver("ann", "From: Cy <cy@example.org>\r\nSubject: Report\r\n\r\nAttached.\r\n");
        std::string error;
        ASSERT_TRUE(server.Start(&error)) << error;

        RegisterWatchKinds();
        CSentrelDoc doc(dir.File("Sentrel.bin"));
        doc.traceOn = true;
        for (const char* name : {"mailbox", "wrong password"}) {
            auto watch = std::make_unique<CPOPWatch>();
            watch->name = name;
            watch->popServer = "127.0.0.1:" + std::to_string(server.Port());
            watch->popUserName = "ann";
            watch->popPassword = watch->name == "mailbox" ? "secret" : "guess";
            watch->oneText = "One new e-mail";
            watch->oneIncludeSubject = 1;
            watch->manyText = " waiting";
            watch->manyIncludeCount = 1;
            watch->manyIncludeFrom = 1;
            watch->manyIncludeContent = 1;
            doc.watches.push_back(std::move(watch));
        }
        ASSERT_TRUE(doc.Save());
    }

    std::string CheckWatch(const std::string& name) {
        const test::ProgramResult result =
            test::RunProgram({SENTRELCTL_PATH, "check-watch", dir.File("Sentrel.bin"), name});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.out;
    }

    test::TempDir dir;
    test::CDovecotServer server;
};

TEST_F(POPWatchCtlTest, PrintsTheMessageBuiltFromTheTemplates) {
    EXPECT_EQ(CheckWatch("mailbox"), "triggered\n"
                                     "2 emails waiting\n"
                                     "Bob <bob@example.org>\n"
                                     "At noon?\n"
                                     "Cy <cy@example.org>\n"
                                     "Attached.\n");
    // What has been seen is not stored: the next run reports the mail again.
    server.Deliver("ann", "From: Di <di@example.org>\r\nSubject: Later\r\n\r\nMore.\r\n");
    EXPECT_EQ(CheckWatch("mailbox").substr(0, 27), "triggered\n3 emails waiting\n");
}

TEST_F(POPWatchCtlTest, WrongPasswordIsNotTriggeredAndLogged) {
    EXPECT_EQ(CheckWatch("wrong password"), "not triggered\n");
    const std::string trace = test::ReadFile(dir.File("trace.txt"));
    EXPECT_NE(trace.find(" POP watch Failed to connect to: 127.0.0.1:" +
                         std::to_string(server.Port()) + "\r\n"),
              std::string::npos)
        << trace;
}

} // namespace
} // namespace sentrel
