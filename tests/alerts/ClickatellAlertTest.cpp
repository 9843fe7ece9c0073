#include "alerts/ClickatellAlert.h"
#include "services/EventLog.h"
#include "tests/support/FakeNetwork.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace sentrel {
namespace {

// The current platform's replies.
constexpr const char* kAccepted =
    R"({"messages":[{"apiMessageId":"77fa","accepted":true,"to":"447700900123",)"
    R"("errorCode":null,"error":null,"errorDescription":null}],"errorCode":null,"error":null,)"
    R"("errorDescription":null})";
constexpr const char* kRefusedKey =
    R"({"messages":[],"errorCode":1,"error":"Invalid or missing Integration API Key",)"
    R"("errorDescription":"Make sure the API key is correct"})";
constexpr const char* kRefusedNumber =
    R"({"messages":[{"apiMessageId":null,"accepted":false,"to":"0000","errorCode":105,)"
    R"("error":"Invalid destination address","errorDescription":"The number is not valid"}],)"
    R"("errorCode":null,"error":null,"errorDescription":null})";

// A substitute gateway's address on this machine.
std::string GatewayAt(int port) {
    return "127.0.0.1:" + std::to_string(port);
}

// The alert talks over https to a substitute gateway on 127.0.0.1, nginx with a
// certificate from the test CA. Its legacy interface answers "ID: 5ad1c0ffee" to a
// request, an error to the text "reject", status 500 to a text that begins with "broken"
// and a page to "page". Its current platform accepts every message but those to
// 0000 and refuses the key "badkey". The trace goes to a temporary file.
class ClickatellAlertTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
            ::unsetenv(name);
        }
        ::setenv("SSL_CERT_FILE", test::Certificates().caFile.c_str(), 1);
        gateway.UseTls(test::Certificates().valid);
        gateway.AddServerConfig("location = /http/sendmsg {\n"
                                "  if ($arg_text = reject) { return 200 "
                                "\"ERR: 001, Authentication failed\"; }\n"
                                "  if ($arg_text ~ ^broken) { return 500; }\n"
                                "  if ($arg_text = page) { return 200 \"<html>Welcome</html>\"; }\n"
                                "  return 200 \"ID: 5ad1c0ffee\";\n"
                                "}\n"
                                "location = /messages/http/send {\n"
                                "  if ($arg_apiKey = badkey) { return 401 '" +
                                std::string(kRefusedKey) +
                                "'; }\n"
                                "  if ($arg_to = 0000) { return 200 '" +
                                std::string(kRefusedNumber) +
                                "'; }\n"
                                "  return 202 '" +
                                std::string(kAccepted) +
                                "';\n"
                                "}");
        std::string error;
        ASSERT_TRUE(gateway.Start(&error)) << error;
        network.emplace(NetworkServices{.connection = &connection,
                                        .smsGateway = GatewayAt(gateway.TlsPort()),
                                        .smsPlatform = GatewayAt(gateway.TlsPort())});
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
        network.reset();
        ::unsetenv("SSL_CERT_FILE");
    }

    // The gateway's access log: request line|status|User-Agent|Accept|Authorization|...
    std::vector<std::string> Requests() const {
        std::vector<std::string> lines;
        const std::string log = gateway.AccessLog();
        for (std::size_t start = 0, end; (end = log.find('\n', start)) != std::string::npos;
             start = end + 1) {
            lines.push_back(log.substr(start, end - start));
        }
        return lines;
    }

    // The request lines of the requests the gateway received.
    std::vector<std::string> RequestLines() const {
        std::vector<std::string> lines;
        for (const auto& request : Requests()) {
            lines.push_back(request.substr(0, request.find('|')));
        }
        return lines;
    }

    // The text= values of the requests the gateway received.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& request : RequestLines()) {
            const auto at = request.find("&text=");
            const auto end = request.rfind(" HTTP/1.1");
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
    test::NginxServer gateway;
    test::FakeConnectionRequest connection;
    std::optional<ScopedNetwork> network;
    CClickatellAlert alert;
};

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

TEST_F(ClickatellAlertTest, SendsTheRequestAndLogsTheReply) {
    EXPECT_TRUE(alert.Send("Server down\nat 09:00\r"));
    EXPECT_EQ(connection.requests, 1);
    EXPECT_EQ(RequestLines(),
              std::vector<std::string>{
                  "GET /http/sendmsg?api_id=3141592&user=walter&password=pw42&from=%2B44%20Shop"
                  "&to=447700900123&msg_type=SMS_TEXT&text=Server%20down%20at%2009%3A00%0D "
                  "HTTP/1.1"});
    EXPECT_EQ(test::ReadFile(dir.File("trace.txt")), TraceLine("ID: 5ad1c0ffee"));
}

// The gateway's reply decides: "ID: ..." is delivered, "ERR: ..." is not, with its words,
// and a failed status or a reply that is neither is not understood. Every reply is
// logged as it came.
TEST_F(ClickatellAlertTest, TheGatewaysReplyDecidesDelivery) {
    EXPECT_FALSE(alert.Send("reject"));
    EXPECT_EQ(alert.FailureText(), "ERR: 001, Authentication failed");
    EXPECT_FALSE(alert.Send("page"));
    EXPECT_EQ(alert.FailureText(), "the gateway's reply was not understood: <html>Welcome</html>");
    // In the several-messages policy the later pieces still go after a failed one.
    alert.sendMultiple = 1;
    alert.maxMessages = 5;
    EXPECT_FALSE(alert.Send("broken" + std::string(164, 'x')));
    EXPECT_EQ(alert.FailureText().substr(0, 47),
              "the gateway's reply was not understood: <html>\r");
    EXPECT_LE(alert.FailureText().size(), 40u + 200u);
    EXPECT_EQ(Requests().size(), 4u);
    const std::string trace = test::ReadFile(dir.File("trace.txt"));
    EXPECT_TRUE(trace.starts_with(
        TraceLine("ERR: 001, Authentication failed") + TraceLine("<html>Welcome</html>") +
        TraceLine("the gateway's reply was not understood: <html>Welcome</html>")))
        << trace;
    EXPECT_NE(trace.find(TraceLine("The server answered with status 500")), std::string::npos)
        << trace;
    EXPECT_TRUE(trace.ends_with(TraceLine("ID: 5ad1c0ffee"))) << trace;
}

// An account of the current platform (no user name, no password) sends its API key to
// the platform, which answers in JSON.
TEST_F(ClickatellAlertTest, CurrentPlatformAccountsUseTheirApiKey) {
    alert.apiUser.clear();
    alert.apiPassword.clear();
    alert.apiId = "k3y/+=";
    EXPECT_TRUE(alert.Send("Server down\n"));
    alert.from.clear();
    alert.to = "0000";
    EXPECT_FALSE(alert.Send("x"));
    EXPECT_EQ(alert.FailureText(), "Invalid destination address: The number is not valid");
    alert.apiId = "badkey";
    EXPECT_FALSE(alert.Send("x"));
    EXPECT_EQ(alert.FailureText(),
              "Invalid or missing Integration API Key: Make sure the API key is correct");
    EXPECT_EQ(RequestLines(),
              (std::vector<std::string>{
                  "GET /messages/http/send?apiKey=k3y%2F%2B%3D&to=447700900123"
                  "&content=Server%20down%20&from=%2B44%20Shop HTTP/1.1",
                  "GET /messages/http/send?apiKey=k3y%2F%2B%3D&to=0000&content=x HTTP/1.1",
                  "GET /messages/http/send?apiKey=badkey&to=0000&content=x HTTP/1.1"}));
    EXPECT_EQ(test::ReadFile(dir.File("trace.txt")),
              TraceLine(kAccepted) + TraceLine(kRefusedNumber) +
                  TraceLine("Invalid destination address: The number is not valid") +
                  TraceLine(kRefusedKey) + TraceLine("The server answered with status 401") +
                  TraceLine("Invalid or missing Integration API Key: Make sure the API key is "
                            "correct"));
}

// The gateway is reached over https only, its certificate verified.
TEST_F(ClickatellAlertTest, AGatewayThatCannotBeReachedSafelyIsAFailure) {
    // Nobody at the gateway's address at all.
    {
        ScopedNetwork nobody({.smsGateway = GatewayAt(test::FreeLoopbackPort())});
        EXPECT_FALSE(alert.Send("again"));
    }
    // A certificate from an authority this computer does not trust.
    ::unsetenv("SSL_CERT_FILE");
    EXPECT_FALSE(alert.Send("again"));
    EXPECT_EQ(alert.FailureText(),
              "Failed to connect to Clickatell: The server's certificate is not trusted");
    EXPECT_EQ(Requests().size(), 0u);
    const std::string trace = test::ReadFile(dir.File("trace.txt"));
    const std::string failed = TraceLine("Failed to connect to Clickatell");
    std::size_t failures = 0;
    for (std::size_t at = 0; (at = trace.find(failed, at)) != std::string::npos; ++at) {
        ++failures;
    }
    EXPECT_EQ(failures, 2u) << trace;
}

TEST_F(ClickatellAlertTest, OneSmsIsAtMost160EscapedCharacters) {
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
    EXPECT_EQ(connection.requests, 7);
}

TEST_F(ClickatellAlertTest, FlashMessagesAndEveryFieldEscaped) {
    alert.msgType = "SMS_FLASH";
    alert.apiId = "31 41";
    alert.apiUser = "o'brien";
    alert.apiPassword = "pw#42&x=1";
    alert.to = "+44 7700&900123";
    alert.from = "Caf\xE9 & Co";
    alert.Send("x");
    // The request carries no credentials of its own (no Authorization: "-").
    EXPECT_EQ(Requests(),
              std::vector<std::string>{
                  "GET /http/sendmsg?api_id=31%2041&user=o'brien&password=pw%2342%26x%3D1"
                  "&from=Caf%E9%20%26%20Co&to=%2B44%207700%26900123&msg_type=SMS_FLASH&text=x "
                  "HTTP/1.1|200|Mozilla|*/*|-|no-cache"});
}

TEST_F(ClickatellAlertTest, TheEscapeTable) {
    alert.Send("\"<>%\\^[]`+$,@:;/!#?=& {|}~\x7F\x01\x80\xFF'()*-._aZ09");
    EXPECT_EQ(Texts(), (std::vector<std::string>{
                           "%22%3C%3E%25%5C%5E%5B%5D%60%2B%24%2C%40%3A%3B%2F%21%23%3F%3D%26"
                           "%20%7B%7C%7D%7E%7F%01%80%FF'()*-._aZ09"}));
}

} // namespace
} // namespace sentrel
