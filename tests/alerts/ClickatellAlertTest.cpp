#include "alerts/ClickatellAlert.h"
#include "engine/Connection.h"
#include "engine/EventLog.h"
#include "tests/support/NginxServer.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace sentrel {
namespace {

using test::ScriptedHttpServer;

// The alert talks to a substitute gateway on 127.0.0.1 that answers every request with
// the next of `replies` (the last one repeats); the trace goes to a temporary file.
class ClickatellAlertTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"http_proxy", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
            ::unsetenv(name);
        }
        previousGateway = CClickatellAlert::GatewayHost();
        CClickatellAlert::SetGatewayHost("127.0.0.1:" + std::to_string(gateway.Port()));
        previousRequester = SetConnectionRequester([this] { ++connectionRequests; });
        CTraceFile::Instance().SwitchOff();
        CTraceFile::Instance().SetPath(dir.File("trace.txt"));
        CTraceFile::Instance().SwitchOn();

        alert.name = "Pager";
        alert.apiId = "3141592";
        alert.apiUser = "walter";
        alert.apiPassword = "pw42";
        alert.from = "+44 Shop";
        alert.to = "447700900123";
        alert.msgType = "SMS_TEXT";
        alert.sendMultiple = 0;
        alert.maxMessages = 1;
    }

    void TearDown() override {
        CTraceFile::Instance().SwitchOff();
        CTraceFile::Instance().SetPath("trace.txt");
        SetConnectionRequester(previousRequester);
        CClickatellAlert::SetGatewayHost(previousGateway);
    }

    // The text= values of the requests the gateway received.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& request : gateway.Requests()) {
            const auto at = request.find("&text=");
            const auto end = request.find(" HTTP/1.1\r\n");
            texts.push_back(at == std::string::npos ? "?" : request.substr(at + 6, end - at - 6));
        }
        return texts;
    }

    std::string TraceLine(const std::string& event) const {
        return TraceTimeStamp(clock.now) + "Clickatell Alert " + event + "\r\n";
    }

    test::FakeClock clock;
    ScopedPlatform platform{[this] {
        PlatformServices services;
        services.clock = &clock;
        return services;
    }()};
    test::TempDir dir;
    std::vector<std::string> replies{"ID: 5ad1c0ffee"};
    std::size_t served = 0;
    ScriptedHttpServer gateway{[this](ScriptedHttpServer::Connection& c) {
        const std::string& reply = replies[std::min(served++, replies.size() - 1)];
        c.Send(reply);
    }};
    std::string previousGateway;
    std::function<void()> previousRequester;
    int connectionRequests = 0;
    CClickatellAlert alert;
};

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

std::string Ok(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST_F(ClickatellAlertTest, SendsTheRequestAndLogsTheReply) {
    replies = {Ok("ID: 5ad1c0ffee")};
    alert.Send("Server down\nat 09:00\r");
    EXPECT_EQ(connectionRequests, 1);
    ASSERT_EQ(gateway.Requests().size(), 1u);
    const std::string request = gateway.Requests()[0];
    EXPECT_EQ(request.substr(0, request.find("\r\n")),
              "GET /http/sendmsg?api_id=3141592&user=walter&password=pw42&from=%2B44%20Shop"
              "&to=447700900123&msg_type=SMS_TEXT&text=Server%20down%20at%2009%3A00%0D HTTP/1.1");
    EXPECT_EQ(test::ReadFile(dir.File("trace.txt")), TraceLine("ID: 5ad1c0ffee"));
}

TEST_F(ClickatellAlertTest, GatewayErrorsAreLoggedLikeAcceptance) {
    replies = {Ok("ERR: 001, Authentication failed"),
               "HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n", Ok("ID: 2")};
    alert.Send("one");
    // In the several-messages policy the later pieces still go after a failed one.
    alert.sendMultiple = 1;
    alert.maxMessages = 5;
    alert.Send(std::string(170, 'x'));
    EXPECT_EQ(gateway.Requests().size(), 3u);
    EXPECT_EQ(test::ReadFile(dir.File("trace.txt")),
              TraceLine("ERR: 001, Authentication failed") +
                  TraceLine("Failed to connect to Clickatell") + TraceLine("ID: 2"));

    // Nobody at the gateway's address at all.
    CClickatellAlert::SetGatewayHost("127.0.0.1:" + std::to_string(test::FreeLoopbackPort()));
    alert.Send("again");
    const std::string trace = test::ReadFile(dir.File("trace.txt"));
    const std::string failed = TraceLine("Failed to connect to Clickatell");
    ASSERT_GE(trace.size(), failed.size());
    EXPECT_EQ(trace.substr(trace.size() - failed.size()), failed);
}

TEST_F(ClickatellAlertTest, OneSmsIsAtMost160EscapedCharacters) {
    replies = {Ok("ID: 1")};
    const std::string a161(161, 'a');
    alert.Send(a161);
    alert.Send(std::string(160, 'b'));
    // 53 spaces are 159 escaped characters: the 54th would not fit whole, so the SMS ends
    // early; so does one that would end inside a UTF-8 character.
    alert.Send(std::string(53, ' ') + "c");
    alert.Send(std::string(54, ' '));
    alert.Send(std::string("\xE9"));
    alert.Send("a" + Repeat("\xC3\xA9", 27));
    // A lone byte from a Windows store is one character, whatever follows it.
    alert.Send("a" + std::string(52, ' ') + "\xE9" + "b");
    const std::string spaces = Repeat("%20", 53);
    EXPECT_EQ(Texts(), (std::vector<std::string>{
                           std::string(160, 'a'), std::string(160, 'b'), spaces + "c", spaces,
                           "%E9", "a" + Repeat("%C3%A9", 26), "a" + Repeat("%20", 52) + "%E9"}));
}

TEST_F(ClickatellAlertTest, SeveralSmsUpToTheMaximum) {
    replies = {Ok("ID: 1")};
    alert.sendMultiple = 1;
    alert.maxMessages = 3;
    alert.Send(std::string(161, 'a'));        // 160 + 1
    alert.Send(std::string(160, 'b'));        // exactly one
    alert.Send(std::string(500, 'c'));        // 160 + 160 + 160, the rest dropped
    alert.Send(std::string(54, ' '));         // the last escape goes whole into the second
    alert.Send("a" + Repeat("\xC3\xA9", 27)); // and so does the last character
    alert.maxMessages = 0;
    alert.Send(std::string(400, 'd')); // at least one
    alert.maxMessages = -2;
    alert.Send(""); // an empty one too
    EXPECT_EQ(Texts(), (std::vector<std::string>{
                           std::string(160, 'a'), "a", std::string(160, 'b'), std::string(160, 'c'),
                           std::string(160, 'c'), std::string(160, 'c'), Repeat("%20", 53), "%20",
                           "a" + Repeat("%C3%A9", 26), "%C3%A9", std::string(160, 'd'), ""}));
    EXPECT_EQ(connectionRequests, 7);
}

TEST_F(ClickatellAlertTest, FlashMessagesAndEveryFieldEscaped) {
    replies = {Ok("ID: 1")};
    alert.msgType = "SMS_FLASH";
    alert.apiId = "31 41";
    alert.apiUser = "o'brien";
    alert.apiPassword = "pw#42&x=1";
    alert.to = "+44 7700&900123";
    alert.from = "Caf\xE9 & Co";
    alert.Send("x");
    ASSERT_EQ(gateway.Requests().size(), 1u);
    const std::string request = gateway.Requests()[0];
    EXPECT_EQ(request.substr(0, request.find("\r\n")),
              "GET /http/sendmsg?api_id=31%2041&user=o'brien&password=pw%2342%26x%3D1"
              "&from=Caf%E9%20%26%20Co&to=%2B44%207700%26900123&msg_type=SMS_FLASH&text=x "
              "HTTP/1.1");
    // The request carries no credentials of its own.
    EXPECT_EQ(request.find("Authorization"), std::string::npos);
}

TEST_F(ClickatellAlertTest, TheEscapeTable) {
    replies = {Ok("ID: 1")};
    alert.Send("\"<>%\\^[]`+$,@:;/!#?=& {|}~\x7F\x01\x80\xFF'()*-._aZ09");
    EXPECT_EQ(Texts(), (std::vector<std::string>{
                           "%22%3C%3E%25%5C%5E%5B%5D%60%2B%24%2C%40%3A%3B%2F%21%23%3F%3D%26"
                           "%20%7B%7C%7D%7E%7F%01%80%FF'()*-._aZ09"}));
}

} // namespace
} // namespace sentrel
