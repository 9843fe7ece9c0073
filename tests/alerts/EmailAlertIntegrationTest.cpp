// The e-mail alert against a real SMTP server on 127.0.0.1: what the server accepts and
// stores is read back.

#include "alerts/EmailAlert.h"

#include "net/SmtpClient.h"
#include "services/EventLog.h"
#include "tests/net/RealSmtpServer.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <regex>

namespace sentrel {
namespace {

using test::CRealSmtpServer;

class EmailAlertRealServer : public ::testing::Test {
protected:
    void SetUp() override {
        CTraceFile::Instance().SetPath(dir.File("trace.txt"));
        CTraceFile::Instance().SwitchOn();
        alert.name = "mail";
        alert.recipients = "Ann <ann@example.org>, bob@example.org";
        alert.fromName = "Sentrel Watch";
        alert.fromAddress = "watch@example.org";
        alert.smtpHost = "127.0.0.1";
        alert.port = server.Port();
        alert.userName = "ann";
        alert.password = "s3cret pass";
        alert.maxSmsChars = 160;
        alert.maxMessages = 5;
        alert.multipleMessages = 1;
    }
    void TearDown() override { CTraceFile::Instance().SwitchOff(); }
    std::string Trace() { return test::ReadFile(dir.File("trace.txt")); }

    test::TempDir dir;
    CRealSmtpServer server{R"({"ann":"s3cret pass"})"};
    CEmailAlert alert;
};

TEST_F(EmailAlertRealServer, DeliversWithEachAuthenticationMethod) {
    const struct {
        int authType;
        const char* method;
    } cases[] = {
        {SmtpAuthNone, "null"}, {SmtpAuthCramMd5, "\"CRAM-MD5\""}, {SmtpAuthLogin, "\"LOGIN\""}};
    for (const auto& c : cases) {
        alert.authType = c.authType;
        alert.Send("Disk almost full\r\n.hidden\r\n..two dots\r\n");
    }
    // Nothing failed; the two logins went to this machine in clear, and the trace says so.
    const std::string trace = Trace();
    EXPECT_EQ(trace.find("Failed"), std::string::npos) << trace;
    const std::string inClearLine = " Email Alert The login to 127.0.0.1 was not encrypted\r\n";
    std::size_t inClear = 0;
    for (auto at = trace.find(inClearLine); at != std::string::npos;
         at = trace.find(inClearLine, at + 1)) {
        ++inClear;
    }
    EXPECT_EQ(inClear, 2u) << trace;
    const auto messages = server.Messages();
    ASSERT_EQ(messages.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(cases[i].method);
        const auto& m = messages[i];
        EXPECT_NE(m.envelope.find(std::string("\"method\":") + cases[i].method), std::string::npos)
            << m.envelope;
        EXPECT_NE(m.envelope.find(
                      R"("from":"watch@example.org","to":["ann@example.org","bob@example.org"])"),
                  std::string::npos)
            << m.envelope;
        EXPECT_EQ(m.Header("Subject"), "Email Alert");
        EXPECT_EQ(m.Header("From"), "Sentrel Watch <watch@example.org>");
        EXPECT_EQ(m.Header("To"), "Ann <ann@example.org>,bob@example.org");
        EXPECT_EQ(m.Header("Reply-To"), "Sentrel Watch <watch@example.org>");
        EXPECT_EQ(m.Header("X-Mailer"), "Sentrel");
        EXPECT_TRUE(std::regex_match(m.Header("Date"),
                                     std::regex(R"([A-Z][a-z]{2}, \d\d [A-Z][a-z]{2} \d{4} )"
                                                R"(\d\d:\d\d:\d\d [+-]\d{4})")))
            << m.Header("Date");
        // The server has taken the stuffed dots off again.
        EXPECT_EQ(m.Body(), "Disk almost full\r\n.hidden\r\n..two dots\r\n\r\n");
    }
}

TEST_F(EmailAlertRealServer, SmsPiecesArriveAsSeparateMessages) {
    alert.authType = SmtpAuthCramMd5;
    alert.smsSplitting = 1;
    std::string text;
    for (int i = 0; i < 400; ++i) {
        text += static_cast<char>('a' + i % 26);
    }
    alert.Send(text);
    alert.subjectOnly = 1;
    alert.maxMessages = 2;
    alert.Send(text);

    const auto messages = server.Messages();
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_EQ(messages[0].Body(), text.substr(0, 160) + "\r\n");
    EXPECT_EQ(messages[1].Body(), text.substr(160, 160) + "\r\n");
    EXPECT_EQ(messages[2].Body(), text.substr(320) + "\r\n");
    EXPECT_EQ(messages[0].Header("Subject"), "");
    EXPECT_EQ(messages[3].Header("Subject"), text.substr(0, 160));
    EXPECT_EQ(messages[4].Header("Subject"), text.substr(160, 160));
    EXPECT_EQ(messages[4].Body(), "\r\n");
    EXPECT_EQ(Trace().find("Failed"), std::string::npos) << Trace(); // one login line a send
}

} // namespace
} // namespace sentrel
