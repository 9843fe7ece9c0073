// The POP mailbox watch checked by sentrelctl against a real server (Dovecot).

#include "model/SentrelDoc.h"
#include "tests/net/DovecotServer.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/Programs.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestSupport.h"
#include "watches/POPWatch.h"
#include "watches/WatchKinds.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace sentrel {
namespace {

std::unique_ptr<CPOPWatch> MailboxWatch(const std::string& name, const std::string& server,
                                        const std::string& password) {
    auto watch = std::make_unique<CPOPWatch>();
    watch->name = name;
    watch->popServer = server;
    watch->popUserName = "ann";
    watch->popPassword = password;
    watch->oneText = "One new e-mail";
    watch->oneIncludeSubject = 1;
    watch->manyText = " waiting";
    watch->manyIncludeCount = 1;
    watch->manyIncludeFrom = 1;
    watch->manyIncludeContent = 1;
    return watch;
}

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
        const std::string address = "127.0.0.1:" + std::to_string(server.Port());
        doc.watches.push_back(MailboxWatch("mailbox", address, "secret"));
        doc.watches.push_back(MailboxWatch("wrong password", address, "guess"));
        ASSERT_TRUE(doc.Save());
    }

    // The output of check-watch, which exits with `exitCode`.
    std::string CheckWatch(const std::string& name, int exitCode = 0) {
        const test::ProgramResult result =
            test::RunProgram({SENTRELCTL_PATH, "check-watch", dir.File("Sentrel.bin"), name});
        EXPECT_EQ(result.exitCode, exitCode) << result.err;
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
    // The first run had nothing to remember from, and the trace says so.
    const std::string trace = test::ReadFile(dir.File("trace.txt"));
    EXPECT_NE(trace.find(" Sentrel Run state " + dir.File("Sentrel.state") +
                         " not read (there is none yet)"),
              std::string::npos)
        << trace;
}

TEST_F(POPWatchCtlTest, MailReportedIsRememberedFromRunToRunBesideTheStore) {
    const std::string store = test::ReadFile(dir.File("Sentrel.bin"));
    EXPECT_EQ(CheckWatch("mailbox").substr(0, 27), "triggered\n2 emails waiting\n");
    EXPECT_EQ(CheckWatch("mailbox"), "not triggered\n");
    server.Deliver("ann", "From: Di <di@example.org>\r\nSubject: Later\r\n\r\nMore.\r\n");
    EXPECT_EQ(CheckWatch("mailbox"), "triggered\nOne new e-mail\nLater\n");
    // The store is as it was; what was seen is in a file of its own, for the owner only.
    EXPECT_EQ(test::ReadFile(dir.File("Sentrel.bin")), store);
    struct stat st {};
    ASSERT_EQ(stat(dir.File("Sentrel.state").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A damaged file costs the memory, not the check.
    test::WriteFile(dir.File("Sentrel.state"), "sentrel-state 1\nline u1\n");
    EXPECT_EQ(CheckWatch("mailbox").substr(0, 27), "triggered\n3 emails waiting\n");
    const std::string trace = test::ReadFile(dir.File("trace.txt"));
    EXPECT_NE(trace.find(" not read (damaged: line 2 is not an entry): mail already reported may "
                         "be reported again\r\n"),
              std::string::npos)
        << trace;
    EXPECT_EQ(CheckWatch("mailbox"), "not triggered\n");
}

TEST_F(POPWatchCtlTest, WrongPasswordCannotCheckAndIsLogged) {
    EXPECT_EQ(CheckWatch("wrong password", 1),
              "cannot check: The server answered: -ERR [AUTH] Authentication failed.\n");
    const std::string trace = test::ReadFile(dir.File("trace.txt"));
    EXPECT_NE(trace.find(" POP watch Failed to connect to: 127.0.0.1:" +
                         std::to_string(server.Port()) + "\r\n"),
              std::string::npos)
        << trace;
}

// In a network namespace of the test's own, where it may take the standard ports: TLS from
// the start on 995 (IPv4 and IPv6), and STLS on 110 for a server named without a port,
// as every store before ports could be named has it.
TEST(POPWatchCtlTls, ReportsNewMailThroughTlsOnTheStandardPorts) {
    const auto& certificates = test::Certificates();
    test::TempDir dir;
    const std::string store = dir.File("Sentrel.bin");
    const std::vector<std::pair<std::string, std::string>> watches = {
        {"pop3s", "127.0.0.1:995"}, {"pop3s six", "[::1]:995"}, {"stls", "localhost"}};
    {
        RegisterWatchKinds();
        CSentrelDoc doc(store);
        for (const auto& [name, server] : watches) {
            doc.watches.push_back(MailboxWatch(name, server, "secret"));
        }
        ASSERT_TRUE(doc.Save());
    }
    test::NetNamespaceOptions options;
    options.limitMs = 60000;
    const test::NetNamespaceRun run = test::RunInNetNamespace(options, [&] {
        test::CDovecotServer server(&certificates.valid);
        server.UsePorts(110, 995);
        server.AddUser("ann", "secret");
        server.Deliver("ann", "From: Bob <bob@example.org>\r\nSubject: Lunch\r\n\r\nNoon?\r\n");
        std::string error;
        if (!server.Start(&error)) {
            return error;
        }
        std::string out;
        for (const auto& watch : watches) {
            const test::ProgramResult result =
                test::RunProgram({SENTRELCTL_PATH, "check-watch", store, watch.first},
                                 {certificates.TrustFileSetting()});
            out += watch.first + ": " + result.out + result.err;
        }
        return out + "--- log\n" + server.Log();
    });
    ASSERT_TRUE(run.ok) << run.error;
    const std::string& out = run.output;
    for (const auto& watch : watches) {
        EXPECT_NE(out.find(watch.first + ": triggered\nOne new e-mail\nLunch\n"), std::string::npos)
            << out;
    }
    // Every login was inside TLS.
    std::size_t logins = 0;
    for (auto at = out.find("Login: user=<ann>"); at != std::string::npos;
         at = out.find("Login: user=<ann>", at + 1)) {
        const std::string line = out.substr(at, out.find('\n', at) - at);
        EXPECT_NE(line.find(", TLS"), std::string::npos) << line;
        ++logins;
    }
    EXPECT_EQ(logins, watches.size()) << out;
}

} // namespace
} // namespace sentrel
