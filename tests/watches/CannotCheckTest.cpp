// Each watch kind that looks at something outside itself, failing to look: against the
// real servers (nginx, Dovecot) and real files, the watch cannot check, says why in the
// words its trace writes, never with a password, and reports nothing.

#include "services/EventLog.h"
#include "tests/net/DovecotServer.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TestSupport.h"
#include "watches/FileWatch.h"
#include "watches/POPWatch.h"
#include "watches/WebPageWatch.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <unistd.h>

namespace sentrel {
namespace {

const std::string kPassword = "pass-8c41";

std::unique_ptr<CWatch> Page(const std::string& url, const std::string& user = "") {
    auto watch = std::make_unique<CWebPageWatch>();
    watch->url = url;
    watch->mode = 1; // triggers at every page it can fetch
    watch->webUserName = user;
    watch->webPassword = user.empty() ? "" : kPassword;
    return watch;
}

std::unique_ptr<CWatch> Mailbox(const std::string& server) {
    auto watch = std::make_unique<CPOPWatch>();
    watch->popServer = server;
    watch->popUserName = "ann";
    watch->popPassword = kPassword;
    return watch;
}

std::unique_ptr<CWatch> File(const std::string& path) {
    auto watch = std::make_unique<CFileWatch>();
    watch->fileName = path;
    watch->watchMode = 2; // "contains" an empty text: fires on every file it can read
    return watch;
}

TEST(CannotCheckTest, EachKindSaysWhyItCouldNotLook) {
    test::TempDir dir;
    test::NginxServer nginx;
    std::string error;
    ASSERT_TRUE(nginx.AddUser("ann", "right", &error)) << error;
    nginx.AddServerConfig("location /private/ { " + nginx.AuthBasic("Shop") + " }");
    nginx.AddFile("/private/index.html", "<p>hello</p>");
    ASSERT_TRUE(nginx.Start(&error)) << error;
    test::CDovecotServer dovecot;
    dovecot.AddUser("ann", "right");
    ASSERT_TRUE(dovecot.Start(&error)) << error;
    test::NginxServer gone; // a port where nothing listens any more
    ASSERT_TRUE(gone.Start(&error)) << error;
    const std::string goneAt = "127.0.0.1:" + std::to_string(gone.Port());
    gone.Stop();
    const std::string huge = dir.File("huge.log");
    test::WriteFile(huge, "");
    ASSERT_EQ(truncate(huge.c_str(), kMaxWatchedFileBytes + 1), 0);

    struct Case {
        const char* what;
        std::function<std::unique_ptr<CWatch>()> make;
        std::string reason;
        bool whole = true; // else the reason begins so (the system's text goes on)
    };
    const Case cases[] = {
        {"page: no server", [&] { return Page("http://" + goneAt + "/"); },
         "Failed to connect to 127.0.0.1 port " + std::to_string(gone.Port()), false},
        {"page: missing", [&] { return Page(nginx.Url("/missing.html")); },
         "The server answered with status 404"},
        {"page: wrong password", [&] { return Page(nginx.Url("/private/index.html"), "ann"); },
         "The server answered with status 401"},
        {"mailbox: no server", [&] { return Mailbox(goneAt); },
         "Cannot connect to " + goneAt + ": Connection refused"},
        {"mailbox: wrong password",
         [&] { return Mailbox("127.0.0.1:" + std::to_string(dovecot.Port())); },
         "The server answered: -ERR [AUTH] Authentication failed."},
        {"file: missing", [&] { return File(dir.File("gone.txt")); },
         "Cannot open " + dir.File("gone.txt") + ": No such file or directory"},
        {"file: a folder", [&] { return File(dir.Path()); },
         "Cannot open " + dir.Path() + ": Is a directory"},
        {"file: unreadable", [] { return File("/proc/self/mem"); },
         "Cannot read /proc/self/mem: Input/output error"},
        {"file: too long", [&] { return File(huge); },
         "Cannot open " + huge + ": it is longer than 67108864 bytes"},
    };
    CTraceFile::Instance().SetPath(dir.File("trace.txt"));
    CTraceFile::Instance().SwitchOn();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::unique_ptr<CWatch> watch = c.make();
        std::string message = "untouched";
        EXPECT_FALSE(watch->Check(message));
        EXPECT_EQ(message, "untouched");
        const std::string& reason = watch->FailureText();
        if (c.whole) {
            EXPECT_EQ(reason, c.reason);
        } else {
            EXPECT_EQ(reason.substr(0, c.reason.size()), c.reason) << reason;
        }
        EXPECT_EQ(reason.find(kPassword), std::string::npos) << reason;
        // The trace says the same.
        EXPECT_NE(test::ReadFile(dir.File("trace.txt")).find(" " + reason + "\r\n"),
                  std::string::npos);
    }
    CTraceFile::Instance().SwitchOff();

    // A check that can look again says nothing of the failure before it.
    const std::unique_ptr<CWatch> watch = File(dir.File("back.txt"));
    std::string message;
    EXPECT_FALSE(watch->Check(message));
    EXPECT_FALSE(watch->FailureText().empty());
    test::WriteFile(dir.File("back.txt"), "here");
    EXPECT_TRUE(watch->Check(message));
    EXPECT_EQ(watch->FailureText(), "");
}

} // namespace
} // namespace sentrel
