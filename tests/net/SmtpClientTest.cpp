#include "net/SmtpClient.h"

#include "net/MailMessage.h"
#include "net/NetLimits.h"
#include "platform/ErrorCodes.h"
#include "tests/net/LoopbackServer.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <unistd.h>

namespace sentrel {
namespace {

using test::CLoopbackServer;
using test::CServerSession;

std::string HostName() {
    char name[100] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

// Answers QUIT, if the client says it.
void Farewell(CServerSession& s) {
    if (s.ReadLine() == "QUIT\r\n") {
        s.Write("221 bye\r\n");
    }
}

// Takes AUTH LOGIN and the user name and password that follow.
void AcceptAuthLogin(CServerSession& s) {
    s.ReadLine();
    s.Write("334 VXNlcm5hbWU6\r\n");
    s.ReadLine();
    s.Write("334 UGFzc3dvcmQ6\r\n");
    s.ReadLine();
    s.Write("235 2.7.0 Authentication successful\r\n");
}

TEST(SmtpReply, OnlyALineWithoutTheHyphenEndsTheReply) {
    EXPECT_TRUE(IsLastSmtpReplyLine("250 ok"));
    EXPECT_FALSE(IsLastSmtpReplyLine("250-first"));
    // Lines too short to carry a hyphen, and lines that are no reply at all, end it.
    EXPECT_TRUE(IsLastSmtpReplyLine("250"));
    EXPECT_TRUE(IsLastSmtpReplyLine(""));
    EXPECT_TRUE(IsLastSmtpReplyLine("hello there"));
}

class SmtpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    test::FakeClock clock; // stands at 1796661331, 2026-12-07 16:35:31 UTC
    ScopedPlatform platform{PlatformServices{&clock}};
};

TEST_F(SmtpClientTest, DeliversWithTheExactEnvelope) {
    CLoopbackServer server([](CServerSession& s) {
        s.Write("220 test ESMTP\r\n");
        s.ReadLine();
        s.Write("250 hello\r\n");
        for (int i = 0; i < 5; ++i) { // MAIL and four RCPT
            s.ReadLine();
            s.Write("250 ok\r\n");
        }
        s.ReadLine();
        s.Write("354 go ahead\r\n");
        s.ReadUntil("\r\n.\r\n");
        s.Write("250 queued\r\n");
        Farewell(s);
    });
    CMailMessage message;
    message.from = {"Watcher", "me@example.org"};
    message.replyTo = message.from;
    message.subject = "Email Alert";
    ASSERT_TRUE(message.AddRecipients("Ann <ann@example.org>; bob@example.org", RecipientKind::To));
    ASSERT_TRUE(message.AddRecipients("cc@example.org", RecipientKind::Cc));
    ASSERT_TRUE(message.AddRecipients("hidden@example.org", RecipientKind::Bcc));
    message.SetBody("first\r\n.second\r\n");
    {
        CSmtpClient client(2000);
        ASSERT_TRUE(client.Connect("127.0.0.1", SmtpAuthNone, "", "", server.Port()));
        ASSERT_TRUE(client.SendMail(message));
        EXPECT_EQ(client.LastReply(), "250 queued");
        EXPECT_EQ(client.ReplyCode(), 250);
    }
    server.Stop();
    EXPECT_EQ(server.Transcript(), "EHLO " + HostName() +
                                       "\r\n"
                                       "MAIL FROM:<me@example.org>\r\n"
                                       "RCPT TO:<ann@example.org>\r\n"
                                       "RCPT TO:<bob@example.org>\r\n"
                                       "RCPT TO:<cc@example.org>\r\n"
                                       "RCPT TO:<hidden@example.org>\r\n"
                                       "DATA\r\n"
                                       "From: Watcher <me@example.org>\r\n"
                                       "To: Ann <ann@example.org>,bob@example.org\r\n"
                                       "Cc: cc@example.org\r\n"
                                       "Subject: Email Alert\r\n"
                                       "Date: Mon, 07 Dec 2026 17:35:31 +0100\r\n"
                                       "X-Mailer: Sentrel\r\n"
                                       "Reply-To: Watcher <me@example.org>\r\n"
                                       "MIME-Version: 1.0\r\n"
                                       "Content-type: text/plain; charset=US-ASCII\r\n"
                                       "\r\n"
                                       "first\r\n..second\r\n"
                                       "\r\n.\r\n"
                                       "QUIT\r\n");
}

// A server that greets, answers EHLO with its lines as separate segments (or one),
// and then runs `rest`.
CLoopbackServer::Handler EhloServer(std::function<void(CServerSession&)> rest,
                                    bool linesApart = true) {
    return [rest, linesApart](CServerSession& s) {
        s.Write("220 test ESMTP\r\n");
        s.ReadLine();
        const std::vector<std::string> lines = {"250-test greets you\r\n",
                                                "250-AUTH LOGIN CRAM-MD5 PLAIN\r\n",
                                                "250-8BITMIME\r\n", "250 HELP\r\n"};
        if (linesApart) {
            s.WriteEach(lines);
        } else {
            s.Write(lines[0] + lines[1] + lines[2] + lines[3]);
        }
        rest(s);
    };
}

TEST_F(SmtpClientTest, AuthLoginSurvivesAMultiLineReplyArrivingLineByLine) {
    CLoopbackServer server(EhloServer([](CServerSession& s) {
        AcceptAuthLogin(s);
        Farewell(s);
    }));
    {
        CSmtpClient client(2000);
        ASSERT_TRUE(client.Connect("127.0.0.1", SmtpAuthLogin, "user", "secret", server.Port()))
            << client.LastReply();
        EXPECT_EQ(client.ReplyCode(), 235);
    }
    server.Stop();
    EXPECT_EQ(server.Transcript(),
              "EHLO " + HostName() + "\r\nAUTH LOGIN\r\ndXNlcg==\r\nc2VjcmV0\r\nQUIT\r\n");
}

TEST_F(SmtpClientTest, MultiLineReplyInOneSegmentIsOneReplyWithTheFirstLinesCode) {
    CLoopbackServer server(EhloServer([](CServerSession& s) { Farewell(s); }, false));
    CSmtpClient client(2000);
    // An unknown authentication type fails after EHLO, leaving EHLO's reply to look at.
    EXPECT_FALSE(client.Connect("127.0.0.1", 7, "user", "secret", server.Port()));
    EXPECT_EQ(client.ReplyCode(), 250);
    EXPECT_EQ(client.LastReply(),
              "250-test greets you\r\n250-AUTH LOGIN CRAM-MD5 PLAIN\r\n250-8BITMIME\r\n250 HELP");
    EXPECT_FALSE(client.IsConnected());
}

TEST_F(SmtpClientTest, ARefusedEhloIsRetriedAsHeloExceptWhereTlsIsRequired) {
    CLoopbackServer server([](CServerSession& s) {
        s.Write("220 old server\r\n");
        s.ReadLine();
        s.Write("502 5.5.2 EHLO not implemented\r\n");
        if (s.ReadLine().starts_with("HELO ")) {
            s.Write("250 hello\r\n");
            Farewell(s);
        } else {
            s.Write("221 bye\r\n");
        }
    });
    {
        CSmtpClient client(2000);
        EXPECT_TRUE(client.Connect("127.0.0.1", SmtpAuthNone, "", "", server.Port()));
    }
    {
        CSmtpClient client(2000);
        EXPECT_FALSE(
            client.Connect("127.0.0.1", SmtpAuthNone, "", "", server.Port(), TlsUse::Required));
        EXPECT_EQ(GetLastError(), WSAEPROTONOSUPPORT);
        EXPECT_EQ(client.ReplyCode(), 502);
        EXPECT_EQ(client.LastReply(), "502 5.5.2 EHLO not implemented");
    }
    server.Stop();
    const auto transcripts = server.Transcripts();
    ASSERT_EQ(transcripts.size(), 2u);
    EXPECT_EQ(transcripts[0], "EHLO " + HostName() + "\r\nHELO " + HostName() + "\r\nQUIT\r\n");
    EXPECT_EQ(transcripts[1], "EHLO " + HostName() + "\r\nQUIT\r\n");
}

// A server that offers STARTTLS (with this certificate), says EHLO's lines again inside
// TLS, and takes AUTH LOGIN.
CLoopbackServer::Handler StartTlsServer(const test::TestCertificate& certificate) {
    return [&certificate](CServerSession& s) {
        s.Write("220 test ESMTP\r\n");
        s.ReadLine();
        s.Write("250-test greets you\r\n250-starttls\r\n250 AUTH LOGIN\r\n");
        if (s.ReadLine() != "STARTTLS\r\n") {
            s.Write("503 bad sequence\r\n");
            Farewell(s);
            return;
        }
        s.Write("220 2.0.0 Ready to start TLS\r\n");
        if (!s.StartTls(certificate)) {
            return;
        }
        s.ReadLine();
        s.Write("250-test greets you\r\n250 AUTH LOGIN\r\n");
        AcceptAuthLogin(s);
        Farewell(s);
    };
}

TEST_F(SmtpClientTest, UpgradesWithStartTlsBeforeAuthenticatingAndSaysEhloAgain) {
    const auto& certificates = test::Certificates();
    test::ScopedTrust trust(certificates.caFile, {});
    CLoopbackServer server(StartTlsServer(certificates.valid));
    {
        CSmtpClient client(2000);
        ASSERT_TRUE(client.Connect("127.0.0.1", SmtpAuthLogin, "user", "secret", server.Port()))
            << client.FailureReason();
        EXPECT_TRUE(client.IsTls());
    }
    server.Stop();
    EXPECT_EQ(server.Transcript(), "EHLO " + HostName() + "\r\nSTARTTLS\r\n<TLS>EHLO " +
                                       HostName() +
                                       "\r\nAUTH LOGIN\r\ndXNlcg==\r\nc2VjcmV0\r\nQUIT\r\n");
}

// Where TLS is required, or offered but fails, nothing more goes out in clear.
TEST_F(SmtpClientTest, NoCredentialsGoOutWithoutTheTlsAsked) {
    const auto& certificates = test::Certificates();
    test::ScopedTrust trust(certificates.caFile, {});
    CLoopbackServer plain(EhloServer([](CServerSession& s) { Farewell(s); }));
    {
        CSmtpClient client(2000);
        EXPECT_FALSE(client.Connect("127.0.0.1", SmtpAuthLogin, "user", "secret", plain.Port(),
                                    TlsUse::Required));
        EXPECT_EQ(GetLastError(), WSAEPROTONOSUPPORT);
        EXPECT_EQ(client.FailureReason(),
                  "The server does not offer STARTTLS, which this port requires");
    }
    plain.Stop();
    EXPECT_EQ(plain.Transcript(), "EHLO " + HostName() + "\r\nQUIT\r\n");

    CLoopbackServer untrusted(StartTlsServer(certificates.untrusted));
    {
        CSmtpClient client(2000);
        EXPECT_FALSE(
            client.Connect("127.0.0.1", SmtpAuthLogin, "user", "secret", untrusted.Port()));
        EXPECT_EQ(GetLastError(), WSAECONNABORTED);
        EXPECT_FALSE(client.IsConnected());
    }
    untrusted.Stop();
    EXPECT_EQ(untrusted.Transcript(), "EHLO " + HostName() + "\r\nSTARTTLS\r\n<TLS>");
}

TEST_F(SmtpClientTest, AuthLoginRefusesAChallengeOtherThanUsername) {
    CLoopbackServer server(EhloServer([](CServerSession& s) {
        s.ReadLine();
        s.Write("334 TG9naW46\r\n"); // "Login:"
        Farewell(s);
    }));
    {
        CSmtpClient client(2000);
        EXPECT_FALSE(client.Connect("127.0.0.1", SmtpAuthLogin, "user", "secret", server.Port()));
    }
    server.Stop();
    EXPECT_EQ(server.Transcript(), "EHLO " + HostName() + "\r\nAUTH LOGIN\r\nQUIT\r\n");
}

TEST_F(SmtpClientTest, LoginPlainAnswersOnlyTheExpectedPromptsInClear) {
    CLoopbackServer plain(EhloServer([](CServerSession& s) {
        s.ReadLine();
        s.Write("334 Username:\r\n");
        s.ReadLine();
        s.Write("334 Password:\r\n");
        s.ReadLine();
        s.Write("235 ok\r\n");
        Farewell(s);
    }));
    {
        CSmtpClient client(2000);
        EXPECT_TRUE(
            client.Connect("127.0.0.1", SmtpAuthLoginPlain, "user", "secret", plain.Port()));
    }
    plain.Stop();
    EXPECT_EQ(plain.Transcript(),
              "EHLO " + HostName() + "\r\nAUTH LOGIN PLAIN\r\nuser\r\nsecret\r\nQUIT\r\n");

    // Another first prompt: the user name is held back and the second 334 is read; an
    // unknown second prompt gets nothing either, and the connection counts as made.
    CLoopbackServer other(EhloServer([](CServerSession& s) {
        s.ReadLine();
        s.Write("334 Who are you?\r\n");
        s.Pause(200); // two replies, not one read
        s.Write("334 Secret word?\r\n");
        Farewell(s);
    }));
    {
        CSmtpClient client(2000);
        EXPECT_TRUE(
            client.Connect("127.0.0.1", SmtpAuthLoginPlain, "user", "secret", other.Port()));
        EXPECT_EQ(client.LastReply(), "334 Secret word?");
    }
    other.Stop();
    EXPECT_EQ(other.Transcript(), "EHLO " + HostName() + "\r\nAUTH LOGIN PLAIN\r\nQUIT\r\n");
}

TEST_F(SmtpClientTest, CramMd5AnswersWithUserAndHexDigest) {
    CLoopbackServer server(EhloServer([](CServerSession& s) {
        s.ReadLine();
        s.Write("334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+\r\n");
        s.ReadLine();
        s.Write("235 welcome\r\n");
        Farewell(s);
    }));
    {
        CSmtpClient client(2000);
        EXPECT_TRUE(
            client.Connect("127.0.0.1", SmtpAuthCramMd5, "tim", "tanstaaftanstaaf", server.Port()));
    }
    server.Stop();
    EXPECT_EQ(server.Transcript(), "EHLO " + HostName() +
                                       "\r\nAUTH CRAM-MD5\r\n"
                                       "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw\r\n"
                                       "QUIT\r\n");
}

TEST_F(SmtpClientTest, RepliesSplitAtEveryByteAndLongRepliesAreRead) {
    const std::string longLine = "552-" + std::string(600, 'x') + "\r\n";
    CLoopbackServer server([&longLine](CServerSession& s) {
        s.WriteBytewise("220 slow\r\n", 1);
        s.ReadLine();
        s.WriteBytewise("250-one\r\n250 two\r\n", 1);
        s.ReadLine();
        s.Write(longLine + longLine + "552 too big\r\n");
        s.ReadLine();
        s.WriteBytewise("221 bye\r\n", 1);
    });
    CSmtpClient client(2000);
    ASSERT_TRUE(client.Connect("127.0.0.1", SmtpAuthNone, "", "", server.Port()));
    EXPECT_EQ(client.LastReply(), "250-one\r\n250 two");
    CMailMessage message;
    message.from.address = "me@example.org";
    EXPECT_FALSE(client.SendMail(message));
    EXPECT_EQ(GetLastError(), ERROR_BAD_COMMAND);
    EXPECT_EQ(client.ReplyCode(), 552);
    EXPECT_EQ(client.LastReply(), longLine + longLine + "552 too big");
    EXPECT_TRUE(client.Quit());
    EXPECT_EQ(client.LastReply(), "221 bye");
    EXPECT_FALSE(client.IsConnected());
}

TEST_F(SmtpClientTest, RefusedRecipientEndsTheEnvelopeWithBadCommand) {
    CLoopbackServer server([](CServerSession& s) {
        s.Write("220 hi\r\n");
        s.ReadLine();
        s.Write("250 hello\r\n");
        s.ReadLine();
        s.Write("250 sender ok\r\n");
        s.ReadLine();
        s.Write("550 5.1.1 no such user\r\n");
        Farewell(s);
    });
    CMailMessage message;
    message.from.address = "me@example.org";
    message.AddRecipients("nobody@example.org, bob@example.org", RecipientKind::To);
    {
        CSmtpClient client(2000);
        ASSERT_TRUE(client.Connect("127.0.0.1", SmtpAuthNone, "", "", server.Port()));
        EXPECT_FALSE(client.SendMail(message));
        EXPECT_EQ(GetLastError(), ERROR_BAD_COMMAND);
        EXPECT_EQ(client.ReplyCode(), 550);
        EXPECT_TRUE(client.IsConnected());
    }
    server.Stop();
    EXPECT_EQ(server.Transcript(), "EHLO " + HostName() +
                                       "\r\nMAIL FROM:<me@example.org>\r\n"
                                       "RCPT TO:<nobody@example.org>\r\nQUIT\r\n");
}

TEST_F(SmtpClientTest, SilentServerTimesOutOnTheGreetingAndOnQuit) {
    CLoopbackServer silent([](CServerSession& s) { s.ReadToEnd(); });
    {
        CSmtpClient client(200);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.Connect("127.0.0.1", SmtpAuthNone, "", "", silent.Port()));
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(GetLastError(), WSAETIMEDOUT);
        // The greeting's wait, then QUIT's.
        EXPECT_GE(elapsed, std::chrono::milliseconds(400));
        EXPECT_LT(elapsed, std::chrono::milliseconds(2000));
    }
    silent.Stop();
    EXPECT_EQ(silent.Transcript(), "QUIT\r\n");
}

TEST_F(SmtpClientTest, AnEndlessReplyEndsAtItsCapWithoutQuit) {
    CLoopbackServer server([](CServerSession& s) {
        const std::string lines = [] {
            std::string text;
            for (int i = 0; i < 1000; ++i) {
                text += "220-and more\r\n";
            }
            return text;
        }();
        for (int i = 0; i < 1000; ++i) { // 14 MB at most
            s.Write(lines);
        }
    });
    {
        CSmtpClient client(2000);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.Connect("127.0.0.1", SmtpAuthNone, "", "", server.Port()));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(GetLastError(), WSAEMSGSIZE);
        EXPECT_EQ(client.FailureReason(), "The reply is longer than 1048576 bytes");
        EXPECT_EQ(client.LastReply().size(), kMaxCommandReply);
    }
    server.Stop();
    EXPECT_EQ(server.Transcript(), ""); // not even QUIT: its reply could not be found
}

// A line break in a field would put a command or a header of its own on the wire.
TEST_F(SmtpClientTest, FieldsWithLineBreaksAreRefusedBeforeTheyAreSent) {
    CLoopbackServer server([](CServerSession& s) {
        s.Write("220 hi\r\n");
        s.ReadLine();
        s.Write("250 hello\r\n");
        Farewell(s);
    });
    struct Case {
        std::function<void(CMailMessage&)> forge;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {[](CMailMessage& m) { m.from.address = "me@x.org>\r\nRCPT TO:<evil@y.org"; },
         "Line break in the sender address"},
        {[](CMailMessage& m) { m.from.name = "Me\nBcc: evil@y.org"; },
         "Line break in the sender's name"},
        {[](CMailMessage& m) { m.replyTo.name = "Me\rX: y"; }, "Line break in the reply address"},
        {[](CMailMessage& m) { m.to[0].address = "a@x.org>\nRCPT TO:<evil@y.org"; },
         "Line break in a recipient"},
        {[](CMailMessage& m) {
             m.bcc.push_back({"B\r\nCc: evil@y.org", "b@x.org"});
         },
         "Line break in a recipient"},
    };
    for (const Case& c : cases) {
        CMailMessage message;
        message.from.address = "me@x.org";
        message.AddRecipients("a@x.org", RecipientKind::To);
        c.forge(message);
        CSmtpClient client(2000);
        ASSERT_TRUE(client.Connect("127.0.0.1", SmtpAuthNone, "", "", server.Port()));
        SetLastError(0);
        EXPECT_FALSE(client.SendMail(message)) << c.reason;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA) << c.reason;
        EXPECT_EQ(client.FailureReason(), c.reason);
    }
    // In clear text LOGIN PLAIN sends them as they are: refused before connecting.
    for (const auto& [user, password] : std::vector<std::pair<std::string, std::string>>{
             {"ann\r\nMAIL FROM:<x@y.org>", "secret"}, {"ann", "secret\rRSET"}}) {
        CSmtpClient client(2000);
        EXPECT_FALSE(
            client.Connect("127.0.0.1", SmtpAuthLoginPlain, user, password, server.Port()));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
    }
    server.Stop();
    const auto transcripts = server.Transcripts();
    ASSERT_EQ(transcripts.size(), cases.size());
    for (const std::string& transcript : transcripts) {
        EXPECT_EQ(transcript, "EHLO " + HostName() + "\r\nQUIT\r\n");
    }
}

TEST_F(SmtpClientTest, NoQuitWithoutAConnection) {
    CSmtpClient client(200);
    EXPECT_FALSE(client.Connect("no-such-host.invalid", SmtpAuthNone, "", "", 25));
    EXPECT_EQ(GetLastError(), WSAEINVAL);
    EXPECT_FALSE(client.Quit());
}

} // namespace
} // namespace sentrel
