// The POP mailbox watch against a real server (Dovecot) and a scripted one.

#include "watches/POPWatch.h"

#include "services/EventLog.h"
#include "tests/net/DovecotServer.h"
#include "tests/net/LoopbackServer.h"
#include "tests/support/FakeNetwork.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

namespace sentrel {
namespace {

std::string Mail(const std::string& from, const std::string& subject, const std::string& body) {
    return "From: " + from + "\r\nSubject: " + subject + "\r\n\r\n" + body + "\r\n";
}

// A message of exactly `size` bytes.
std::string MailOfSize(const std::string& subject, std::size_t size) {
    std::string mail = Mail("big@example.org", subject, "");
    mail.insert(mail.size() - 2, std::string(size - mail.size(), 'x'));
    return mail;
}

class POPWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.AddUser("ann", "secret");
        std::string error;
        ASSERT_TRUE(server.Start(&error)) << error;
        watch.popServer = "127.0.0.1:" + std::to_string(server.Port());
        watch.popUserName = "ann";
        watch.popPassword = "secret";
        watch.oneText = "You have mail";
        watch.manyText = "New mail";
        CTraceFile::Instance().SetPath(dir.File("trace.txt"));
        CTraceFile::Instance().SwitchOn();
    }
    void TearDown() override { CTraceFile::Instance().SwitchOff(); }
    std::string Trace() { return test::ReadFile(dir.File("trace.txt")); }

    test::TempDir dir;
    test::CDovecotServer server;
    CPOPWatch watch;
};

TEST_F(POPWatchTest, ReportsAllMailFirstThenOnlyWhatIsNew) {
    server.Deliver("ann", Mail("Bob <bob@example.org>", "One", "first body"));
    server.Deliver("ann", Mail("Cy <cy@example.org>", "Two", "second body"));
    server.Deliver("ann", Mail("Di <di@example.org>", "Three", "third body"));
    watch.manyIncludeCount = 1;
    watch.manyIncludeFrom = 1;
    watch.manyIncludeSubject = 1;
    watch.oneIncludeFrom = 1;
    watch.oneIncludeSubject = 1;
    watch.oneIncludeContent = 1;

    std::string message;
    ASSERT_TRUE(watch.Check(message)) << server.Log();
    EXPECT_EQ(message, "3 emailsNew mail\n"
                       "Bob <bob@example.org>\nOne\n"
                       "Cy <cy@example.org>\nTwo\n"
                       "Di <di@example.org>\nThree");
    EXPECT_EQ(watch.seenUids.size(), 3u);

    message = "untouched";
    EXPECT_FALSE(watch.Check(message)); // the mail is still there, but not new
    EXPECT_EQ(message, "untouched");

    // Checked as the engine checks it, on a copy: the copy knows the mail reported, and
    // hands back what it saw.
    server.Deliver("ann", Mail("Ed <ed@example.org>", "Four", "fourth body"));
    const std::unique_ptr<CObject> copy = watch.Clone();
    auto& checked = dynamic_cast<CPOPWatch&>(*copy);
    ASSERT_TRUE(checked.Check(message));
    EXPECT_EQ(message, "You have mail\nEd <ed@example.org>\nFour\nfourth body");
    watch.TakeRunState(checked);
    EXPECT_FALSE(watch.Check(message));

    // Without the count and with bodies: the many-mail text leads straight on.
    watch.manyIncludeCount = 0;
    watch.manyIncludeFrom = 0;
    watch.manyIncludeSubject = 0;
    watch.manyIncludeContent = 1;
    server.Deliver("ann", Mail("f@example.org", "Five", "fifth"));
    server.Deliver("ann", Mail("g@example.org", "Six", "sixth"));
    ASSERT_TRUE(watch.Check(message));
    EXPECT_EQ(message, "New mail\nfifth\nsixth");
    // Nothing failed; each login, to a server on this machine, went out in clear.
    const std::string trace = Trace();
    EXPECT_EQ(trace.find("Failed"), std::string::npos) << trace;
    EXPECT_NE(trace.find(" POP watch The login to " + watch.popServer + " was not encrypted\r\n"),
              std::string::npos)
        << trace;
}

TEST_F(POPWatchTest, ForgetsMailGoneFromTheServerAndStartsAfreshForAnotherMailbox) {
    server.Deliver("ann", Mail("a@example.org", "One", "x"));
    server.Deliver("ann", Mail("b@example.org", "Two", "y"));
    std::string message;
    ASSERT_TRUE(watch.Check(message));
    ASSERT_EQ(watch.seenUids.size(), 2u);
    const std::string second = watch.seenUids[1];
    server.Remove("ann", 1);
    EXPECT_FALSE(watch.Check(message));
    EXPECT_EQ(watch.seenUids, std::vector<std::string>{second});

    // The same mailbox named another way is another mailbox as far as the watch knows:
    // what it has seen was seen elsewhere.
    watch.popServer = "localhost:" + std::to_string(server.Port());
    EXPECT_EQ(watch.LastingLines(), std::vector<std::string>());
    ASSERT_TRUE(watch.Check(message));
    EXPECT_EQ(message, "You have mail");
}

TEST_F(POPWatchTest, UppercaseFilterDropsForGood) {
    watch.skipUppercaseSubject = 1;
    watch.oneIncludeSubject = 1;
    server.Deliver("ann", Mail("a@example.org", "URGENT!", "buy"));
    server.Deliver("ann", Mail("a@example.org", "2024 - 50%", "digits only"));
    std::string message;
    EXPECT_FALSE(watch.Check(message));
    EXPECT_EQ(watch.seenUids.size(), 2u);

    // Dropped mail is not reported later either, even with the filter off.
    watch.skipUppercaseSubject = 0;
    EXPECT_FALSE(watch.Check(message));

    watch.skipUppercaseSubject = 1;
    server.Deliver("ann", Mail("a@example.org", "", "no subject"));
    ASSERT_TRUE(watch.Check(message));
    EXPECT_EQ(message, "You have mail\n");

    // Of two new messages one is dropped: the one-mail text is used. Case is Unicode's:
    // a subject whose small letters are Cyrillic is not all capitals.
    server.Deliver("ann", Mail("a@example.org", "SALE", "x"));
    server.Deliver("ann", Mail("a@example.org", "ПРОДАЖА!", "x"));
    server.Deliver("ann", Mail("a@example.org", "привет", "y"));
    ASSERT_TRUE(watch.Check(message));
    EXPECT_EQ(message, "You have mail\nпривет");
}

TEST(POPWatchUpperCase, IsUnicodeCaseOnUtf8AndLatin1) {
    EXPECT_TRUE(IsAllUpperCase("URGENT! 50%"));
    EXPECT_TRUE(IsAllUpperCase("ÉTÉ ПРИВЕТ ΣΑΣ"));
    EXPECT_FALSE(IsAllUpperCase("ÉTé"));
    EXPECT_FALSE(IsAllUpperCase("STRAßE"));           // ß has no single capital
    EXPECT_FALSE(IsAllUpperCase("\xF0\x90\x90\xA8")); // a small letter outside the BMP
    EXPECT_FALSE(IsAllUpperCase("CAF\xE9"));          // Latin-1 é
    EXPECT_TRUE(IsAllUpperCase("CAF\xC9"));           // Latin-1 É
    // Sequences that are not UTF-8 are Latin-1 too: overlong (À), a surrogate (í), cut short.
    EXPECT_TRUE(IsAllUpperCase("A\xC0\x80"));
    EXPECT_FALSE(IsAllUpperCase("A\xED\xA0\x80"));
    EXPECT_TRUE(IsAllUpperCase("\xC3"));
}

TEST_F(POPWatchTest, SizeFilterCountsWholeKilobytes) {
    watch.skipIfOverSize = 1;
    watch.maxSizeKb = 10;
    watch.manyIncludeSubject = 1;
    server.Deliver("ann", MailOfSize("eleven", 11264));
    server.Deliver("ann", MailOfSize("ten", 11263));
    server.Deliver("ann", MailOfSize("small", 200));
    std::string message;
    ASSERT_TRUE(watch.Check(message));
    EXPECT_EQ(message, "New mail\nten\nsmall");

    // With the filter off the same sizes pass.
    watch.skipIfOverSize = 0;
    server.Deliver("ann", MailOfSize("twelve", 12300));
    watch.oneIncludeSubject = 1;
    ASSERT_TRUE(watch.Check(message));
    EXPECT_EQ(message, "You have mail\ntwelve");
}

TEST_F(POPWatchTest, FailedLoginIsLoggedAndChangesNothing) {
    server.Deliver("ann", Mail("a@example.org", "Hi", "x"));
    watch.popPassword = "wrong";
    std::string message = "untouched";
    EXPECT_FALSE(watch.Check(message));
    EXPECT_EQ(message, "untouched");
    EXPECT_TRUE(watch.seenUids.empty());
    const std::string trace = Trace();
    EXPECT_NE(trace.find(" POP watch Failed to connect to: " + watch.popServer + "\r\n"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find(" POP watch The server answered: -ERR"), std::string::npos) << trace;

    // The mail is reported once the password is right.
    watch.popPassword = "secret";
    EXPECT_TRUE(watch.Check(message));
    EXPECT_EQ(message, "You have mail");
}

// A scripted mailbox: the exact traffic of a check.
class POPWatchScriptedTest : public ::testing::Test {
protected:
    static void LogInAsAnn(CPOPWatch& watch, const test::CLoopbackServer& server) {
        watch.popServer = "127.0.0.1:" + std::to_string(server.Port());
        watch.popUserName = "ann";
        watch.popPassword = "secret";
    }
    // With `hangUpAt`, the server closes the connection when that command comes.
    // With `uidlReply`, UIDL is answered so, after `uidlDelayMs`.
    static test::CLoopbackServer::Handler Mailbox(std::string statReply, std::string hangUpAt = "",
                                                  std::string uidlReply = "", int uidlDelayMs = 0) {
        return [statReply, hangUpAt, uidlReply, uidlDelayMs](test::CServerSession& s) {
            s.Write("+OK ready\r\n");
            for (;;) {
                const std::string line = s.ReadLine();
                if (line.empty()) {
                    return;
                }
                const std::string command = line.substr(0, line.size() - 2);
                if (command == hangUpAt) {
                    s.Close();
                    return;
                }
                if (command == "CAPA") {
                    s.Write("+OK\r\nTOP\r\nUSER\r\nUIDL\r\n.\r\n");
                } else if (command == "STAT") {
                    s.Write(statReply);
                } else if (command == "UIDL") {
                    s.Pause(uidlDelayMs);
                    s.Write(uidlReply.empty() ? "+OK\r\n1 u1\r\n2 u2\r\n.\r\n" : uidlReply);
                } else if (command == "LIST") {
                    s.Write("+OK\r\n1 40\r\n2 40\r\n.\r\n");
                } else if (command == "TOP 1 0" || command == "RETR 1") {
                    s.Write("+OK\r\nSubject: ADVERT\r\n\r\nbuy\r\n.\r\n");
                } else if (command == "TOP 2 0" || command == "RETR 2") {
                    s.Write("+OK\r\nSubject: Hello\r\n\r\nhi\r\n.\r\n");
                } else {
                    s.Write("+OK\r\n");
                }
                if (command == "QUIT") {
                    return;
                }
            }
        };
    }
};

TEST_F(POPWatchScriptedTest, ChecksWithTheExpectedCommands) {
    test::CLoopbackServer server(Mailbox("+OK 2 80\r\n"));
    CPOPWatch watch;
    LogInAsAnn(watch, server);
    watch.oneText = "Mail";
    watch.oneIncludeContent = 1;
    watch.skipUppercaseSubject = 1;
    test::FakeConnectionRequest connection;
    std::string message;
    const bool triggered = [&] {
        ScopedNetwork network({&connection});
        return watch.Check(message);
    }();
    EXPECT_EQ(connection.requests, 1);
    ASSERT_TRUE(triggered);
    EXPECT_EQ(message, "Mail\nhi");
    EXPECT_EQ(watch.seenUids, (std::vector<std::string>{"u1", "u2"}));
    server.Stop();
    // Each message is read once: its header block for the subject filter, and the whole
    // of the one reported, whose body the message shows.
    EXPECT_EQ(server.Transcript(),
              "CAPA\r\nUSER ann\r\nPASS secret\r\nSTAT\r\nSTAT\r\nUIDL\r\nLIST\r\n"
              "TOP 1 0\r\nTOP 2 0\r\nRETR 2\r\nQUIT\r\n");
}

TEST_F(POPWatchScriptedTest, IdsNotReadMeanCannotCheckAndNothingSeen) {
    struct Case {
        const char* name;
        std::string uidlReply;
        int delayMs;
        const char* reason;
    };
    const Case cases[] = {
        // Later than the time-out: the session is over, no command follows.
        {"late", "+OK\r\n1 u1\r\n2 u2\r\n.\r\n", 2500, "The server sent nothing for 2 s"},
        {"refused", "-ERR not now\r\n", 0, "The server answered: -ERR not now"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::CLoopbackServer server(Mailbox("+OK 2 80\r\n", "", c.uidlReply, c.delayMs));
        CPOPWatch watch;
        LogInAsAnn(watch, server);
        watch.manyText = "New mail";
        std::string message = "untouched";
        EXPECT_FALSE(watch.Check(message));
        EXPECT_EQ(message, "untouched");
        EXPECT_EQ(watch.FailureText(),
                  std::string("Failed to read the mailbox's message ids: ") + c.reason);
        EXPECT_TRUE(watch.seenUids.empty());
        server.Stop();
        const std::string sent = server.Transcript();
        EXPECT_EQ(sent.substr(sent.find("UIDL\r\n")),
                  c.delayMs > 0 ? "UIDL\r\n" : "UIDL\r\nQUIT\r\n");
    }
}

// A server that seems to be elsewhere and offers no STLS gets neither name nor password.
TEST_F(POPWatchScriptedTest, NoPasswordInClearToARemoteServer) {
    test::CLoopbackServer server(Mailbox("+OK 2 80\r\n"));
    CPOPWatch watch;
    LogInAsAnn(watch, server);
    std::string message = "untouched";
    {
        ScopedNetwork remote({.isLocalAddress = [](const sockaddr_storage&) { return false; }});
        EXPECT_FALSE(watch.Check(message));
    }
    EXPECT_EQ(message, "untouched");
    EXPECT_EQ(watch.FailureText(), "the server offers no encryption; the password was not sent");
    server.Stop();
    EXPECT_EQ(server.Transcript(), "CAPA\r\nQUIT\r\n");
}

TEST_F(POPWatchScriptedTest, FailedStatMeansNoNewMail) {
    test::CLoopbackServer server(Mailbox("-ERR mailbox busy\r\n"));
    CPOPWatch watch;
    LogInAsAnn(watch, server);
    std::string message = "untouched";
    EXPECT_FALSE(watch.Check(message));
    EXPECT_EQ(message, "untouched");
    EXPECT_TRUE(watch.seenUids.empty());
    server.Stop();
    EXPECT_EQ(server.Transcript(), "CAPA\r\nUSER ann\r\nPASS secret\r\nSTAT\r\nQUIT\r\n");
}

TEST_F(POPWatchScriptedTest, ASessionCutShortCannotCheckAndReportsNothing) {
    test::TempDir dir;
    CTraceFile::Instance().SetPath(dir.File("trace.txt"));
    CTraceFile::Instance().SwitchOn();
    test::CLoopbackServer server(Mailbox("+OK 2 80\r\n", "RETR 2"));
    CPOPWatch watch;
    LogInAsAnn(watch, server);
    watch.manyText = "New mail";
    watch.manyIncludeContent = 1;
    std::string message;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(watch.Check(message)); // the report would be cut short
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(watch.FailureText(),
              "The mailbox broke off the session: The server closed the connection");
    EXPECT_TRUE(watch.seenUids.empty()); // the mail is new at the next check
    CTraceFile::Instance().SwitchOff();
    const std::string trace = test::ReadFile(dir.File("trace.txt"));
    EXPECT_NE(
        trace.find(" POP watch Failed to read message 2: The server closed the connection\r\n"),
        std::string::npos)
        << trace;
    EXPECT_EQ(trace.find("Failed to read message 1"), std::string::npos) << trace; // once
}

TEST_F(POPWatchScriptedTest, ACountBeyondTheIdsEndsTheLookUp) {
    // Two messages listed, two thousand million announced.
    test::CLoopbackServer server(Mailbox("+OK 2000000000 80\r\n"));
    CPOPWatch watch;
    LogInAsAnn(watch, server);
    watch.manyText = "New mail";
    watch.manyIncludeCount = 1;
    const auto start = std::chrono::steady_clock::now();
    std::string message;
    EXPECT_TRUE(watch.Check(message));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    // The number without an id counts once, with the empty id.
    EXPECT_EQ(message, "3 emailsNew mail");
    EXPECT_EQ(watch.seenUids, (std::vector<std::string>{"u1", "u2", ""}));
    EXPECT_FALSE(watch.Check(message));
}

} // namespace
} // namespace sentrel
