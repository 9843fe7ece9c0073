// The SMS alert sent by the real sentrelctl. A proxy on 127.0.0.1 stands in as the
// machine's https proxy, so it sees where the alert goes while nothing leaves the machine,
// and passes the tunnel on to a server that is not the gateway.

#include "alerts/AlertKinds.h"
#include "alerts/ClickatellAlert.h"
#include "model/SentrelDoc.h"
#include "services/EventLog.h"
#include "tests/support/NginxServer.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace sentrel {
namespace {

// The alert goes to the gateway's https endpoint and takes only a server that proves to
// be the gateway: one with a trusted certificate for another name is refused before any
// request is made.
TEST(ClickatellAlertCtlTest, SendAlertGoesToTheGatewayOverHttpsOnly) {
    RegisterAlertKinds();
    test::TempDir dir;
    const std::string store = dir.File("Sentrel.bin");
    {
        CSentrelDoc doc(store);
        doc.traceOn = true;
        auto alert = std::make_unique<CClickatellAlert>();
        alert->name = "Pager";
        alert->apiId = "3141592";
        alert->apiUser = "walter";
        alert->apiPassword = "pw42";
        alert->from = "+44 Shop";
        alert->to = "447700900123";
        alert->msgType = "SMS_TEXT";
        alert->maxMessages = 1;
        doc.alerts.push_back(std::move(alert));
        ASSERT_TRUE(doc.Save());
    }
    test::NginxServer impostor;
    impostor.UseTls(test::Certificates().valid); // 127.0.0.1, ::1 and localhost only
    impostor.AddServerConfig("location / { return 200 \"ID: 77abcd\"; }");
    std::string error;
    ASSERT_TRUE(impostor.Start(&error)) << error;
    test::ScriptedHttpServer proxy([&](test::ScriptedHttpServer::Connection& c) {
        if (c.Request().rfind("CONNECT ", 0) == 0 &&
            c.Send("HTTP/1.1 200 Connection established\r\n\r\n")) {
            c.RelayTo(impostor.TlsPort());
        }
    });

    const test::ProgramResult result =
        test::RunProgram({SENTRELCTL_PATH, "send-alert", store, "Pager", "Disk full"},
                         // Plain http goes to the proxy too: nothing may leave the machine.
                         {"https_proxy=" + proxy.Url(""), "http_proxy=" + proxy.Url(""),
                          "no_proxy=", "NO_PROXY=", test::Certificates().TrustFileSetting()});

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

} // namespace
} // namespace sentrel
