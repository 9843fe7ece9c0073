#include "net/Pop3Client.h"

#include "platform/ErrorCodes.h"
#include "tests/net/LoopbackServer.h"
#include "tests/support/TestCertificates.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>

namespace sentrel {
namespace {

using test::CLoopbackServer;
using test::CServerSession;

// A mailbox server: greets, then answers each command line from the script (commands
// not in it get "-ERR"), until QUIT or the client hangs up. With `tls`, it speaks TLS
// from the start or, when the script answers STLS, from its answer on.
CLoopbackServer::Handler Mailbox(std::map<std::string, std::string> replies,
                                 std::string greeting = "+OK ready\r\n",
                                 const test::TestCertificate* tls = nullptr) {
    return [replies = std::move(replies), greeting = std::move(greeting), tls](CServerSession& s) {
        const bool upgrades = replies.contains("STLS");
        if (tls != nullptr && !upgrades && !s.StartTls(*tls)) {
            return;
        }
        s.Write(greeting);
        for (;;) {
            const std::string line = s.ReadLine();
            if (line.empty()) {
                return;
            }
            const std::string command = line.substr(0, line.size() - 2);
            const auto reply = replies.find(command);
            s.Write(reply != replies.end() ? reply->second : "-ERR unknown command\r\n");
            if (command == "QUIT" || (command == "STLS" && !s.StartTls(*tls))) {
                return;
            }
        }
    };
}

std::map<std::string, std::string> TwoMessages() {
    return {{"USER ann", "+OK\r\n"},
            {"PASS secret", "+OK Logged in.\r\n"},
            {"STAT", "+OK 2 1200\r\n"},
            {"UIDL", "+OK\r\n1 uid-one\r\n2 uid-two\r\n.\r\n"},
            {"LIST", "+OK 2 messages:\r\n1 500\r\n2 700\r\n.\r\n"},
            {"TOP 2 0", "+OK\r\nSubject: second\r\n\r\n.\r\n"},
            {"RETR 1", "+OK 500 octets\r\nSubject: first\r\n\r\n..dot line\r\nend\r\n..\r\n.\r\n"},
            {"QUIT", "+OK Logging out.\r\n"}};
}

long ElapsedMs(std::chrono::steady_clock::time_point since) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - since)
                                 .count());
}

TEST(Pop3Client, LoadsEachTableOnceAndSendsOnlyWhatIsNeeded) {
    CLoopbackServer server(Mailbox(TwoMessages()));
    {
        CPop3Client client;
        ASSERT_TRUE(client.Login("127.0.0.1", "ann", "secret", server.Port()));
        std::string uid;
        ASSERT_TRUE(client.GetMessageUid(1, uid)); // STAT, then UIDL
        EXPECT_EQ(uid, "uid-one");
        EXPECT_EQ(client.MessageCount(), 2);
        ASSERT_TRUE(client.GetMessageUid(2, uid)); // from the table
        EXPECT_EQ(uid, "uid-two");
        EXPECT_FALSE(client.GetMessageUid(3, uid));
        EXPECT_FALSE(client.GetMessageUid(0, uid));

        unsigned size = 0;
        ASSERT_TRUE(client.GetMessageSize(1, size)); // LIST; STAT was done already
        EXPECT_EQ(size, 500u);
        ASSERT_TRUE(client.GetMessageSize(2, size));
        EXPECT_EQ(size, 700u);
        EXPECT_FALSE(client.GetMessageSize(3, size));

        CPop3Message message;
        EXPECT_FALSE(client.RetrieveMessage(3, message)); // no command for it
        ASSERT_TRUE(client.RetrieveHeaders(2, message));
        EXPECT_EQ(message.Text(), "Subject: second\r\n");
        ASSERT_TRUE(client.RetrieveMessage(1, message));
        // A dot-stuffed line loses the full stop the server put there; the final line "."
        // is gone.
        EXPECT_EQ(message.Text(), "Subject: first\r\n\r\n.dot line\r\nend\r\n.");
        EXPECT_EQ(message.GetBody(), ".dot line\r\nend\r\n.");

        int count = 0;
        unsigned total = 0;
        ASSERT_TRUE(client.Stat(count, total));
        EXPECT_EQ(count, 2);
        EXPECT_EQ(total, 1200u);
        EXPECT_TRUE(client.Quit());
        EXPECT_FALSE(client.IsConnected());
        EXPECT_FALSE(client.Quit()); // nothing more is sent
    }
    server.Stop();
    EXPECT_EQ(server.Transcript(), "CAPA\r\nUSER ann\r\nPASS secret\r\nSTAT\r\nUIDL\r\nLIST\r\n"
                                   "TOP 2 0\r\nRETR 1\r\nSTAT\r\nQUIT\r\n");
}

TEST(Pop3Client, SizesFirstThenIdsAskStatOnce) {
    CLoopbackServer server(Mailbox(TwoMessages()));
    {
        CPop3Client client;
        ASSERT_TRUE(client.Login("127.0.0.1", "ann", "secret", server.Port()));
        CPop3Message message;
        ASSERT_TRUE(client.RetrieveHeaders(2, message));
        std::string uid;
        ASSERT_TRUE(client.GetMessageUid(2, uid));
        EXPECT_EQ(uid, "uid-two");
    } // the destructor says QUIT
    server.Stop();
    EXPECT_EQ(server.Transcript(),
              "CAPA\r\nUSER ann\r\nPASS secret\r\nSTAT\r\nLIST\r\nTOP 2 0\r\nUIDL\r\nQUIT\r\n");
}

TEST(Pop3Client, StatNeedsPlusOkInCapitalsAndTwoNumbers) {
    struct Case {
        std::string reply;
        bool ok;
        int count;
        unsigned total;
    };
    const std::vector<Case> cases = {
        {"+OK 3 1200\r\n", true, 3, 1200},
        {"+OK\t7\t99 extra\r\n", true, 7, 99},
        {"+OK 4294967296999 99999999999\r\n", true, 2147483647, 4294967295u}, // saturates
        {"+OK 3\r\n", false, 0, 0},
        {"+OK three 1200\r\n", false, 0, 0},
        {"+ok 3 1200\r\n", false, 0, 0},
        {"-ERR mailbox locked\r\n", false, 0, 0},
    };
    for (const Case& c : cases) {
        auto replies = TwoMessages();
        replies["STAT"] = c.reply;
        CLoopbackServer server(Mailbox(replies));
        CPop3Client client;
        ASSERT_TRUE(client.Login("127.0.0.1", "ann", "secret", server.Port()));
        int count = 0;
        unsigned total = 0;
        SetLastError(0);
        EXPECT_EQ(client.Stat(count, total), c.ok) << c.reply;
        if (c.ok) {
            EXPECT_EQ(count, c.count) << c.reply;
            EXPECT_EQ(total, c.total) << c.reply;
        } else {
            EXPECT_EQ(GetLastError(), WSAEPROTONOSUPPORT) << c.reply;
            EXPECT_EQ(client.LastReply() + "\r\n", c.reply);
            // Without a count the tables are not asked for.
            std::string uid;
            EXPECT_FALSE(client.GetMessageUid(1, uid));
        }
    }
}

TEST(Pop3Client, RefusedLoginQuitsAndKeepsTheServersReason) {
    auto replies = TwoMessages();
    replies["PASS secret"] = "-ERR [AUTH] Authentication failed.\r\n";
    CLoopbackServer server(Mailbox(replies, "+ok ready\r\n")); // good in any case
    {
        CPop3Client client;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.Login("127.0.0.1", "ann", "secret", server.Port()));
        EXPECT_LT(ElapsedMs(start), 1000); // each reply judged at once, not after the time-out
        EXPECT_EQ(GetLastError(), WSAEPROTONOSUPPORT);
        EXPECT_EQ(client.Failure().code, WSAEPROTONOSUPPORT);
        EXPECT_EQ(client.LastReply(), "-ERR [AUTH] Authentication failed.");
        EXPECT_FALSE(client.IsConnected());
    }
    {
        CPop3Client client;
        EXPECT_FALSE(client.Login("127.0.0.1", "bob", "secret", server.Port()));
    }
    server.Stop();
    const auto transcripts = server.Transcripts();
    ASSERT_EQ(transcripts.size(), 2u);
    EXPECT_EQ(transcripts[0], "CAPA\r\nUSER ann\r\nPASS secret\r\nQUIT\r\n");
    EXPECT_EQ(transcripts[1], "CAPA\r\nUSER bob\r\nQUIT\r\n"); // refused user: no password

    // A server that refuses to serve at all gets no user name.
    CLoopbackServer busy(Mailbox(TwoMessages(), "-ERR too busy\r\n"));
    {
        CPop3Client client;
        EXPECT_FALSE(client.Login("127.0.0.1", "ann", "secret", busy.Port()));
        EXPECT_EQ(client.LastReply(), "-ERR too busy");
    }
    busy.Stop();
    EXPECT_EQ(busy.Transcript(), "QUIT\r\n");
}

TEST(Pop3Client, CredentialsThatDoNotFitACommandAreRefusedBeforeConnecting) {
    const std::string longest(120, 'u');
    auto replies = TwoMessages();
    replies["USER " + longest] = "+OK\r\n";
    replies["PASS " + longest] = "+OK\r\n";
    CLoopbackServer server(Mailbox(replies));
    {
        CPop3Client client;
        EXPECT_TRUE(client.Login("127.0.0.1", longest, longest, server.Port()));
    }
    const std::vector<std::pair<std::string, std::string>> refused = {
        {longest + "u", "secret"},
        {"ann", longest + "p"},
        {"ann", "secret\r\nDELE 1"},
        {"ann\nDELE 1", "secret"},
    };
    for (const auto& [user, password] : refused) {
        CPop3Client client;
        SetLastError(0);
        EXPECT_FALSE(client.Login("127.0.0.1", user, password, server.Port()));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
        EXPECT_FALSE(client.IsConnected());
    }
    server.Stop();
    // Only the first client connected; no command was cut off or smuggled.
    const auto transcripts = server.Transcripts();
    ASSERT_EQ(transcripts.size(), 1u);
    EXPECT_EQ(transcripts[0], "CAPA\r\nUSER " + longest + "\r\nPASS " + longest + "\r\nQUIT\r\n");
}

TEST(Pop3Client, SilentServerTimesOutAfterTwoSeconds) {
    // Greets never; would answer a farewell, but after a time-out the session is over.
    CLoopbackServer server([](CServerSession& s) {
        if (s.ReadLine() == "QUIT\r\n") {
            s.Write("+OK\r\n");
        }
    });
    const auto start = std::chrono::steady_clock::now();
    {
        CPop3Client client;
        SetLastError(0);
        EXPECT_FALSE(client.Login("127.0.0.1", "ann", "secret", server.Port()));
        EXPECT_EQ(GetLastError(), WSAETIMEDOUT);
    }
    const long elapsed = ElapsedMs(start);
    EXPECT_GE(elapsed, 2000);
    EXPECT_LT(elapsed, 3500);
    server.Stop();
    EXPECT_EQ(server.Transcript(), "");
}

TEST(Pop3Client, RefusalEndsAReplyAtOnceAndATimeOutEndsTheSession) {
    auto replies = TwoMessages();
    replies["TOP 2 0"] = "-ERR no such message\r\n";
    replies["RETR 1"] = "+OK\r\nSubject: cut\r\n\r\npart of the body\r\n"; // no "." line
    CLoopbackServer server(Mailbox(replies));
    CPop3Client client(300);
    ASSERT_TRUE(client.Login("127.0.0.1", "ann", "secret", server.Port()));
    CPop3Message message;
    message.SetText("left from before");
    // A one-line refusal of a multi-line command is the whole reply.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.RetrieveHeaders(2, message));
    EXPECT_EQ(GetLastError(), WSAEPROTONOSUPPORT);
    EXPECT_LT(ElapsedMs(start), 250);
    EXPECT_TRUE(client.IsConnected());

    // A reply cut short by the time-out: the rest would be read as the next reply, so the
    // session ends there, without a farewell.
    SetLastError(0);
    EXPECT_FALSE(client.RetrieveMessage(1, message));
    EXPECT_EQ(GetLastError(), WSAETIMEDOUT);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_FALSE(client.RetrieveHeaders(2, message));
    EXPECT_EQ(message.Text(), "left from before");
    client.Quit();
    server.Stop();
    EXPECT_EQ(server.Transcript(),
              "CAPA\r\nUSER ann\r\nPASS secret\r\nSTAT\r\nLIST\r\nTOP 2 0\r\nRETR 1\r\n");
}

TEST(Pop3Client, MessagesLargerThanListedOrAbsurdAnnouncementsAreReadWhole) {
    std::string body;
    for (int i = 0; i < 3000; ++i) {
        body += "line " + std::to_string(i) + " of a long message\r\n";
    }
    auto replies = TwoMessages();
    // Counts and sizes no buffer should be made for up front.
    replies["STAT"] = "+OK 2000000000 4294967295\r\n";
    replies["LIST"] = "+OK\r\n1 4294967295\r\n2 10\r\n.\r\n";
    replies["UIDL"] = "+OK\r\n1 a\r\n2\r\n.\r\n"; // the second line lacks its id
    replies["RETR 2"] = "+OK\r\nSubject: big\r\n\r\n" + body + ".\r\n";
    replies["RETR 1"] = "+OK\r\nX: y\r\n\r\nsmall\r\n.\r\n";
    CLoopbackServer server(Mailbox(replies));
    CPop3Client client;
    ASSERT_TRUE(client.Login("127.0.0.1", "ann", "secret", server.Port()));
    std::string uid;
    ASSERT_TRUE(client.GetMessageUid(1, uid));
    EXPECT_EQ(uid, "a");
    ASSERT_TRUE(client.GetMessageUid(2, uid));
    EXPECT_EQ(uid, "");
    EXPECT_FALSE(client.GetMessageUid(3, uid)); // the lines end before the count
    unsigned size = 0;
    ASSERT_TRUE(client.GetMessageSize(1, size));
    EXPECT_EQ(size, 4294967295u);
    CPop3Message message;
    ASSERT_TRUE(client.RetrieveMessage(2, message));
    EXPECT_EQ(message.GetHeaderField("Subject"), "big");
    EXPECT_EQ(message.GetBody() + "\r\n", body);
    ASSERT_TRUE(client.RetrieveMessage(1, message));
    EXPECT_EQ(message.GetBody(), "small");
}

TEST(Pop3Client, QuitWithoutAConnectionSendsNothing) {
    CPop3Client never;
    EXPECT_FALSE(never.Quit());

    CPop3Client refused;
    EXPECT_FALSE(refused.Login("127.0.0.1", "ann", "secret", test::UnusedLoopbackPort()));
    EXPECT_FALSE(refused.IsConnected());
    EXPECT_FALSE(refused.Quit());
}

TEST(Pop3Client, UpgradesWithStlsWhenOfferedBeforeTheUserNameGoesOut) {
    const auto& certificates = test::Certificates();
    test::ScopedTrust trust(certificates.caFile, {});
    auto replies = TwoMessages();
    replies["CAPA"] = "+OK\r\nTOP\r\nstls\r\nUIDL\r\n.\r\n";
    replies["STLS"] = "+OK Begin TLS negotiation now.\r\n";
    CLoopbackServer server(Mailbox(replies, "+OK ready\r\n", &certificates.valid));
    {
        CPop3Client client;
        ASSERT_TRUE(client.Login("127.0.0.1", "ann", "secret", server.Port()))
            << client.FailureReason();
        EXPECT_TRUE(client.IsTls());
        int count = 0;
        unsigned total = 0;
        EXPECT_TRUE(client.Stat(count, total));
        EXPECT_EQ(count, 2);
    }
    server.Stop();
    EXPECT_EQ(server.Transcript(),
              "CAPA\r\nSTLS\r\n<TLS>USER ann\r\nPASS secret\r\nSTAT\r\nQUIT\r\n");
}

// Port 995's TLS from the start, against every kind of certificate: nothing is sent to a
// server that cannot be trusted, and the trace learns why in words.
TEST(Pop3Client, TrustsOnlyAValidCertificateForTheHostAsked) {
    const auto& c = test::Certificates();
    struct Case {
        std::string host;
        const test::TestCertificate& certificate;
        std::optional<std::string> file; // SSL_CERT_FILE
        std::optional<std::string> dir;  // SSL_CERT_DIR
        std::string failure;             // empty when the login succeeds
        std::string serverName;          // what the client asked the server for (SNI)
    };
    const std::vector<Case> cases = {
        {"127.0.0.1", c.valid, c.caFile, {}, "", ""},
        {"[::1]", c.valid, c.caFile, {}, "", ""},
        {"localhost", c.valid, {}, c.caDir, "", "localhost"},
        {"127.0.0.1",
         c.valid,
         {},
         {},
         "The server's certificate is not trusted (issued by CN=Sentrel Test CA)",
         ""},
        {"127.0.0.1", c.untrusted, c.caFile, c.caDir,
         "The server's certificate is not trusted (issued by CN=Sentrel Untrusted CA)", ""},
        {"127.0.0.1",
         c.expired,
         c.caFile,
         {},
         "The server's certificate for 127.0.0.1 has expired",
         ""},
        {"127.0.0.1",
         c.otherName,
         c.caFile,
         {},
         "The server's certificate name does not match 127.0.0.1",
         ""},
        {"localhost",
         c.otherName,
         c.caFile,
         {},
         "The server's certificate name does not match localhost",
         "localhost"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.host + " " + k.certificate.cert);
        test::ScopedTrust trust(k.file, k.dir);
        CLoopbackServer server(Mailbox(TwoMessages(), "+OK ready\r\n", &k.certificate),
                               k.host == "[::1]");
        {
            CPop3Client client;
            SetLastError(0);
            const bool ok = client.Login(k.host, "ann", "secret", server.Port(), TlsUse::Implicit);
            EXPECT_EQ(ok, k.failure.empty());
            EXPECT_EQ(client.FailureReason(), k.failure);
            if (!ok) {
                EXPECT_EQ(GetLastError(), WSAECONNABORTED);
                EXPECT_FALSE(client.IsConnected());
            }
        }
        server.Stop();
        const std::string tls = k.serverName.empty() ? "<TLS>" : "<TLS " + k.serverName + ">";
        EXPECT_EQ(server.Transcript(),
                  k.failure.empty() ? tls + "USER ann\r\nPASS secret\r\nQUIT\r\n" : tls);
    }

    // A server that does not speak TLS there.
    test::ScopedTrust trust(c.caFile, {});
    CLoopbackServer plain(Mailbox(TwoMessages()));
    CPop3Client client;
    EXPECT_FALSE(client.Login("127.0.0.1", "ann", "secret", plain.Port(), TlsUse::Implicit));
    EXPECT_EQ(client.FailureReason().rfind("The TLS handshake with 127.0.0.1 failed: ", 0), 0u)
        << client.FailureReason();
    plain.Stop();
    EXPECT_EQ(plain.Transcript().find("USER"), std::string::npos);
}

TEST(Pop3Message, HeaderFieldsAreFoundInAnyCaseAndUnfolded) {
    CPop3Message message;
    message.SetText("From: Ann <ann@example.org>\r\n"
                    "SUBJECT: Hello\r\n"
                    "\tWorld  \r\n"
                    "X-Spaced : no\r\n"
                    "X-Folded:\r\n"
                    " first\r\n"
                    " \tsecond\r\n"
                    "Empty:\r\n"
                    "\r\n"
                    "Subject: in the body\r\n");
    EXPECT_EQ(message.GetHeaderField("Subject"), "Hello World");
    EXPECT_EQ(message.GetHeaderField("from"), "Ann <ann@example.org>");
    EXPECT_EQ(message.GetHeaderField("X-Spaced"), ""); // a blank before the colon
    EXPECT_EQ(message.GetHeaderField("X-Folded"), "first  second");
    EXPECT_EQ(message.GetHeaderField("Empty"), "");
    EXPECT_EQ(message.GetHeaderField("Date"), "");
    EXPECT_EQ(message.GetBody(), "Subject: in the body\r\n");

    // The last field of a block that ends without CR LF, and a name that is only the
    // tail of another field's name.
    message.SetText("Reply-To: a@b\r\nTo: c@d");
    EXPECT_EQ(message.GetHeaderField("To"), "c@d");
    EXPECT_EQ(message.GetHeaderField("Reply-To"), "a@b");
    EXPECT_EQ(message.GetHeaderField("ply-To"), "");
}

TEST(Pop3Message, TextWithoutAnEmptyLineIsAllHeader) {
    CPop3Message message;
    EXPECT_EQ(message.GetHeaderBlock(), "");
    EXPECT_EQ(message.GetBody(), "");
    message.SetText("Subject: x\r\nFrom: y");
    EXPECT_EQ(message.GetHeaderBlock(), "Subject: x\r\nFrom: y");
    EXPECT_EQ(message.GetBody(), "");
    message.SetText("Subject: x\r\n\r\n");
    EXPECT_EQ(message.GetHeaderBlock(), "Subject: x");
    EXPECT_EQ(message.GetBody(), "");
}

} // namespace
} // namespace sentrel
