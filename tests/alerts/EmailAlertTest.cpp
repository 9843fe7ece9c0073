#include "alerts/EmailAlert.h"

#include "net/SmtpClient.h"
#include "services/EventLog.h"
#include "tests/net/LoopbackServer.h"
#include "tests/support/FakeNetwork.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace sentrel {
namespace {

using test::CLoopbackServer;
using test::CServerSession;

// An SMTP server that accepts everything, except recipients whose address contains
// "refused" (and, with refuseFirst, every recipient of the first connection). It takes
// any CRAM-MD5 answer.
CLoopbackServer::Handler AcceptingServer(bool refuseFirst = false) {
    auto connections = std::make_shared<int>(0);
    return [refuseFirst, connections](CServerSession& s) {
        const bool refuseAll = refuseFirst && (*connections)++ == 0;
        s.Write("220 test\r\n");
        for (;;) {
            const std::string line = s.ReadLine();
            if (line.empty() || line == "QUIT\r\n") {
                s.Write("221 bye\r\n");
                return;
            }
            if (line == "AUTH CRAM-MD5\r\n") {
                s.Write("334 PDEyMzQ1QGV4YW1wbGUub3JnPg==\r\n");
                s.ReadLine();
                s.Write("235 ok\r\n");
            } else if (line.rfind("RCPT", 0) == 0 &&
                       (refuseAll || line.find("refused") != std::string::npos)) {
                s.Write("550 no such user\r\n");
            } else if (line == "DATA\r\n") {
                s.Write("354 go\r\n");
                s.ReadUntil("\r\n.\r\n");
                s.Write("250 queued\r\n");
            } else {
                s.Write("250 ok\r\n");
            }
        }
    };
}

// One delivered message, read back from what the client sent.
struct Delivered {
    std::string envelope; // the commands before DATA
    std::string headers;
    std::string subject;
    std::string body;
};

Delivered Parse(const std::string& transcript) {
    Delivered d;
    const auto data = transcript.find("DATA\r\n");
    if (data == std::string::npos) {
        d.envelope = transcript;
        return d;
    }
    d.envelope = transcript.substr(0, data);
    const auto start = data + 6;
    const auto blank = transcript.find("\r\n\r\n", start);
    const auto end = transcript.rfind("\r\n.\r\n");
    d.headers = transcript.substr(start, blank + 2 - start);
    d.body = transcript.substr(blank + 4, end - blank - 4);
    const auto subject = d.headers.find("Subject: ");
    d.subject = d.headers.substr(subject + 9, d.headers.find("\r\n", subject) - subject - 9);
    return d;
}

class EmailAlertTest : public ::testing::Test {
protected:
    void SetUp() override {
        CTraceFile::Instance().SetPath(dir.File("trace.txt"));
        CTraceFile::Instance().SwitchOn();
        connection.onRequest = [this] {
            connectionsBeforeRequest += server ? static_cast<int>(server->Transcripts().size()) : 0;
        };
        alert.name = "mail";
        alert.recipients = "Ann <ann@example.org>; bob@example.org";
        alert.fromName = "Sentrel Watch";
        alert.fromAddress = "watch@example.org";
        alert.smtpHost = "127.0.0.1";
        alert.authType = 0;
        alert.maxSmsChars = 160;
        alert.maxMessages = 5;
        alert.multipleMessages = 1;
    }
    void TearDown() override { CTraceFile::Instance().SwitchOff(); }

    std::vector<Delivered> SendThrough(CLoopbackServer::Handler handler, const std::string& text) {
        server = std::make_unique<CLoopbackServer>(std::move(handler));
        alert.port = server->Port();
        alert.Send(text);
        server->Stop();
        std::vector<Delivered> all;
        for (const auto& t : server->Transcripts()) {
            all.push_back(Parse(t));
        }
        return all;
    }

    std::string Trace() { return test::ReadFile(dir.File("trace.txt")); }

    test::TempDir dir;
    CEmailAlert alert;
    std::unique_ptr<CLoopbackServer> server;
    test::FakeConnectionRequest connection;
    ScopedNetwork network{{&connection}};
    int connectionsBeforeRequest = 0;
};

// 400 characters that show where each piece was cut.
std::string FourHundred() {
    std::string text;
    for (int i = 0; i < 400; ++i) {
        text += static_cast<char>('a' + (i / 10) % 26);
    }
    return text;
}

TEST_F(EmailAlertTest, PlainMailKeepsLinesAndUsesTheFixedSubject) {
    const auto sent = SendThrough(AcceptingServer(), "line one\n.line two");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(connection.requests, 1);
    EXPECT_EQ(connectionsBeforeRequest, 0);
    EXPECT_EQ(sent[0].subject, "Email Alert");
    EXPECT_EQ(sent[0].body, "line one\r\n..line two");
    EXPECT_NE(sent[0].headers.find("From: Sentrel Watch <watch@example.org>\r\n"),
              std::string::npos);
    EXPECT_NE(sent[0].headers.find("To: Ann <ann@example.org>,bob@example.org\r\n"),
              std::string::npos);
    EXPECT_NE(sent[0].headers.find("Reply-To: Sentrel Watch <watch@example.org>\r\n"),
              std::string::npos);
    EXPECT_NE(sent[0].envelope.find("EHLO "), std::string::npos);
    EXPECT_NE(sent[0].envelope.find("MAIL FROM:<watch@example.org>\r\n"
                                    "RCPT TO:<ann@example.org>\r\nRCPT TO:<bob@example.org>\r\n"),
              std::string::npos);
    EXPECT_EQ(Trace(), "");
}

TEST_F(EmailAlertTest, MultipleModeSendsPiecesUpToTheLimit) {
    alert.smsSplitting = 1;
    const std::string text = FourHundred();
    auto sent = SendThrough(AcceptingServer(), text);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].body, text.substr(0, 160));
    EXPECT_EQ(sent[1].body, text.substr(160, 160));
    EXPECT_EQ(sent[2].body, text.substr(320));
    for (const auto& d : sent) {
        EXPECT_EQ(d.subject, "");
        EXPECT_NE(d.envelope.find("RCPT TO:<bob@example.org>"), std::string::npos);
    }

    alert.maxMessages = 2;
    sent = SendThrough(AcceptingServer(), text);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].body, text.substr(160, 160));

    // "Neither chosen" behaves as multiple mode; exactly one piece's worth is one message.
    alert.multipleMessages = -1;
    alert.maxMessages = 5;
    sent = SendThrough(AcceptingServer(), text.substr(0, 160));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].body, text.substr(0, 160));

    // A piece that would end inside a UTF-8 character ends before it.
    alert.maxSmsChars = 4;
    sent = SendThrough(AcceptingServer(), "\xC3\xA9"
                                          "a\xC3\xA9\xC3\xA9");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].body, "\xC3\xA9"
                            "a");
    EXPECT_EQ(sent[1].body, "\xC3\xA9\xC3\xA9");
}

TEST_F(EmailAlertTest, ZeroCharactersSendsOneEmptyPiece) {
    alert.smsSplitting = 1;
    alert.maxSmsChars = 0;
    alert.maxMessages = 3;
    auto sent = SendThrough(AcceptingServer(), "hello");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].body, "");
}

TEST_F(EmailAlertTest, TruncateModeAndSubjectOnlyFlattenTheText) {
    alert.smsSplitting = 1;
    alert.multipleMessages = 0;
    const std::string text = FourHundred();
    auto sent = SendThrough(AcceptingServer(), text);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].body, text.substr(0, 160));

    alert.subjectOnly = 1;
    sent = SendThrough(AcceptingServer(), "first\r\nsecond\nthird");
    ASSERT_EQ(sent.size(), 1u);
    // The carriage return stays in the piece; the header shows it as a blank.
    EXPECT_EQ(sent[0].subject, "first  second third");
    EXPECT_EQ(sent[0].body, "");
}

TEST_F(EmailAlertTest, FailuresAreLoggedAndLaterPiecesStillGo) {
    alert.smsSplitting = 1;
    alert.maxSmsChars = 3;
    auto sent = SendThrough(AcceptingServer(true), "abcdef");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].body, ""); // refused before DATA
    EXPECT_EQ(sent[1].body, "def");
    std::string trace = Trace();
    EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 2);
    EXPECT_NE(trace.find(" Email Alert Failed to send email message\r\n"), std::string::npos);
    EXPECT_NE(trace.find(" Email Alert The server answered: 550 no such user\r\n"),
              std::string::npos);

    alert.smsSplitting = 0;
    alert.port = test::UnusedLoopbackPort();
    alert.Send("nobody listens");
    trace = Trace();
    EXPECT_NE(trace.find(" Email Alert Failed to connect to: 127.0.0.1\r\n"), std::string::npos);

    // A faulty piece of the list stops it, but the recipients before it still get mail.
    alert.recipients = "ann@example.org; broken> <x@example.org; bob@example.org";
    sent = SendThrough(AcceptingServer(), "partly addressed");
    ASSERT_EQ(sent.size(), 1u);
    const std::string& envelope = sent[0].envelope;
    EXPECT_EQ(envelope.substr(envelope.find("RCPT")), "RCPT TO:<ann@example.org>\r\n");
    EXPECT_EQ(sent[0].body, "partly addressed");
}

TEST_F(EmailAlertTest, NoPasswordInClearToARemoteServer) {
    alert.userName = "ann";
    alert.password = "secret";
    ScopedNetwork remote({.isLocalAddress = [](const sockaddr_storage&) { return false; }});
    for (const int type : {SmtpAuthLogin, SmtpAuthLoginPlain}) {
        alert.authType = type;
        const auto sent = SendThrough(AcceptingServer(), "hello");
        EXPECT_EQ(alert.FailureText(), "Failed to connect to: 127.0.0.1: the server offers no "
                                       "encryption; the password was not sent");
        ASSERT_EQ(sent.size(), 1u);
        const std::string& envelope = sent[0].envelope;
        EXPECT_EQ(envelope.substr(envelope.find("\r\n") + 2), "QUIT\r\n") << envelope;
    }
    // CRAM-MD5 puts no password on the wire: it goes on, and the trace says it was in clear.
    alert.authType = SmtpAuthCramMd5;
    const auto sent = SendThrough(AcceptingServer(), "hello");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].body, "hello");
    EXPECT_EQ(alert.FailureText(), "");
    EXPECT_NE(Trace().find(" Email Alert The login to 127.0.0.1 was not encrypted\r\n"),
              std::string::npos);
}

} // namespace
} // namespace sentrel
