// The SMS alert sent by the real sentrelctl. The substitute gateway on 127.0.0.1 stands in
// as the machine's HTTP proxy, so it sees the whole request URL with the vendor's host
// while nothing leaves the machine.

#include "alerts/AlertKinds.h"
#include "alerts/ClickatellAlert.h"
#include "engine/EventLog.h"
#include "model/SentrelDoc.h"
#include "tests/support/NginxServer.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace sentrel {
namespace {

TEST(ClickatellAlertCtlTest, SendAlertSendsTheExactRequest) {
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
        alert->msgType = "SMS_FLASH";
        alert->sendMultiple = 1;
        alert->maxMessages = 2;
        doc.alerts.push_back(std::move(alert));
        ASSERT_TRUE(doc.Save());
    }
    test::ScriptedHttpServer gateway([](test::ScriptedHttpServer::Connection& c) {
        c.Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nID: 77abcd");
    });

    std::string output;
    EXPECT_TRUE(test::RunAndCapture({SENTRELCTL_PATH, "send-alert", store, "Pager",
                                     "Disk full\non db1: " + std::string(150, 'x')},
                                    output,
                                    {"http_proxy=" + gateway.Url(""), "no_proxy=", "NO_PROXY="}));

    const auto requests = gateway.Requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string prefix =
        "GET http://api.clickatell.com/http/sendmsg?api_id=3141592&user=walter&password=pw42"
        "&from=%2B44%20Shop&to=447700900123&msg_type=SMS_FLASH&text=";
    const std::string text = "Disk%20full%20on%20db1%3A%20" + std::string(150, 'x');
    EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")),
              prefix + text.substr(0, 160) + " HTTP/1.1");
    EXPECT_EQ(requests[1].substr(0, requests[1].find("\r\n")),
              prefix + text.substr(160) + " HTTP/1.1");

    const std::string trace = test::ReadFile(TracePathFor(store));
    std::size_t replies = 0;
    for (std::size_t at = 0;
         (at = trace.find("Clickatell Alert ID: 77abcd\r\n", at)) != std::string::npos; ++at) {
        ++replies;
    }
    EXPECT_EQ(replies, 2u) << trace;
}

} // namespace
} // namespace sentrel
