// The SMS alert sent by the real sentrelctl. A proxy on 127.0.0.1 stands in as the
// machine's https proxy, so it sees where the alert goes while nothing leaves the machine,
// and passes the tunnel on to a server of its own: one that is not the gateway, or one
// with a certificate for the gateway's names from the test CA.

#include "alerts/AlertKinds.h"
#include "alerts/ClickatellAlert.h"
#include "model/SentrelDoc.h"
#include "services/EventLog.h"
#include "tests/support/NginxServer.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace sentrel {
namespace {

// A store at `store` whose one alert "Pager" is an SMS alert of a legacy account, or,
// with `apiKey`, of a current-platform account with that key.
void WriteSmsStore(const std::string& store, const std::string& apiKey = {}) {
    RegisterAlertKinds();
    CSentrelDoc doc(store);
    doc.traceOn = true;
    auto alert = std::make_unique<CClickatellAlert>();
    alert->name = "Pager";
    alert->apiId = apiKey.empty() ? "3141592" : apiKey;
    alert->apiUser = apiKey.empty() ? "walter" : "";
    alert->apiPassword = apiKey.empty() ? "pw42" : "";
    alert->from = "+44 Shop";
    alert->to = "447700900123";
    alert->msgType = "SMS_TEXT";
    alert->maxMessages = 1;
    doc.alerts.push_back(std::move(alert));
    ASSERT_TRUE(doc.Save());
}

// A proxy that passes every tunnel on to 127.0.0.1:`port`.
test::ScriptedHttpServer::Script TunnelTo(const int& port) {
    return [&port](test::ScriptedHttpServer::Connection& c) {
        if (c.Request().rfind("CONNECT ", 0) == 0 &&
            c.Send("HTTP/1.1 200 Connection established\r\n\r\n")) {
            c.RelayTo(port);
        }
    };
}

// Run with the proxy for http and https alike: nothing may leave the machine.
test::ProgramResult SendAlert(const std::string& store, const test::ScriptedHttpServer& proxy) {
    return test::RunProgram({SENTRELCTL_PATH, "send-alert", store, "Pager", "Disk full"},
                            {"https_proxy=" + proxy.Url(""), "http_proxy=" + proxy.Url(""),
                             "no_proxy=", "NO_PROXY=", test::Certificates().TrustFileSetting()});
}

// The alert goes to the gateway's https endpoint and takes only a server that proves to
// be the gateway: one with a trusted certificate for another name is refused before any
// request is made.
TEST(ClickatellAlertCtlTest, SendAlertGoesToTheGatewayOverHttpsOnly) {
    test::TempDir dir;
    const std::string store = dir.File("Sentrel.bin");
    WriteSmsStore(store);
    test::NginxServer impostor;
    impostor.UseTls(test::Certificates().valid); // 127.0.0.1, ::1 and localhost only
    impostor.AddServerConfig("location / { return 200 \"ID: 77abcd\"; }");
    std::string error;
    ASSERT_TRUE(impostor.Start(&error)) << error;
    const int port = impostor.TlsPort();
    test::ScriptedHttpServer proxy(TunnelTo(port));

    const test::ProgramResult result = SendAlert(store, proxy);

    EXPECT_EQ(result.exitCode, 1);
    const std::string reason = "The server's certificate name does not match api.clickatell.com";
    EXPECT_EQ(result.err, "sentrelctl: alert \"Pager\" did not deliver: Failed to connect to "
                          "Clickatell: " +
                              reason + "\n");
    const auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")),
              "CONNECT api.clickatell.com:443 HTTP/1.1");
    EXPECT_EQ(impostor.AccessLog(), "");
    const std::string trace = test::ReadFile(TracePathFor(store));
    EXPECT_NE(trace.find("Clickatell Alert Failed to connect to Clickatell\r\n"), std::string::npos)
        << trace;
    EXPECT_NE(trace.find("Clickatell Alert " + reason + "\r\n"), std::string::npos) << trace;
}

// The gateway's refusal is the user's answer: send-alert exits 1 with the gateway's own
// words, from the legacy interface and from the current platform.
TEST(ClickatellAlertCtlTest, SendAlertSaysWhyTheGatewayRefused) {
    test::NginxServer gateway;
    gateway.UseTls(test::Certificates().services);
    gateway.AddServerConfig(
        "location = /http/sendmsg { return 200 \"ERR: 001, Authentication failed\"; }\n"
        "location = /messages/http/send { return 401 '{\"messages\":[],\"errorCode\":1,"
        "\"error\":\"Invalid or missing Integration API Key\",\"errorDescription\":null}'; }");
    std::string error;
    ASSERT_TRUE(gateway.Start(&error)) << error;
    const int port = gateway.TlsPort();
    test::ScriptedHttpServer proxy(TunnelTo(port));
    test::TempDir dir;
    const std::string legacy = dir.File("legacy/Sentrel.bin");
    const std::string platform = dir.File("platform/Sentrel.bin");
    std::filesystem::create_directories(dir.File("legacy"));
    std::filesystem::create_directories(dir.File("platform"));
    WriteSmsStore(legacy);
    WriteSmsStore(platform, "0123abcd");

    test::ProgramResult result = SendAlert(legacy, proxy);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err,
              "sentrelctl: alert \"Pager\" did not deliver: ERR: 001, Authentication failed\n");
    result = SendAlert(platform, proxy);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "sentrelctl: alert \"Pager\" did not deliver: Invalid or missing "
                          "Integration API Key\n");
    const auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(requests[0].starts_with("CONNECT api.clickatell.com:443 HTTP/1.1\r\n"));
    EXPECT_TRUE(requests[1].starts_with("CONNECT platform.clickatell.com:443 HTTP/1.1\r\n"));
    const std::string log = gateway.AccessLog();
    EXPECT_NE(log.find("GET /messages/http/send?apiKey=0123abcd&to=447700900123&content=Disk%20full"
                       "&from=%2B44%20Shop HTTP/1.1|401|"),
              std::string::npos)
        << log;
}

} // namespace
} // namespace sentrel
