#include "alerts/PushAlert.h"
#include "alerts/AlertKinds.h"
#include "model/SentrelDoc.h"
#include "services/EventLog.h"
#include "tests/model/StoreBytes.h"
#include "tests/net/ServiceStandIn.h"
#include "tests/support/FakeNetwork.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <optional>

namespace sentrel {
namespace {

using test::ServiceStandIn;

// Every service has a stand-in on 127.0.0.1: the public ones at the hosts the network
// services give, over https with a certificate from the test CA; own servers at the
// address's host, over http or https as its scheme says. Both stand-ins answer with the
// reply the test sets. The trace goes to a temporary file.
class PushAlertTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name :
             {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
            ::unsetenv(name);
        }
        ::setenv("SSL_CERT_FILE", test::Certificates().caFile.c_str(), 1);
        const std::string host = secure.Host();
        network.emplace(NetworkServices{
            .connection = &connection,
            .push = {
                .ntfy = host, .pushover = host, .telegram = host, .discord = host, .slack = host}});
        CTraceFile::Instance().SwitchOff();
        CTraceFile::Instance().SetPath(dir.File("trace.txt"));
        CTraceFile::Instance().SwitchOn();
    }

    void TearDown() override {
        CTraceFile::Instance().SwitchOff();
        CTraceFile::Instance().SetPath("trace.txt");
        network.reset();
        ::unsetenv("SSL_CERT_FILE");
    }

    void Answer(std::string reply) {
        const std::lock_guard lock(m_mutex);
        m_reply = std::move(reply);
    }

    // What the stand-ins received since the last call (a test uses one at a time).
    std::vector<std::string> Received() {
        std::vector<std::string> fresh;
        for (auto [standIn, seen] : {std::pair{&plain, &m_seenPlain}, {&secure, &m_seenSecure}}) {
            const std::vector<std::string> all = standIn->Requests();
            fresh.insert(fresh.end(), all.begin() + static_cast<std::ptrdiff_t>(*seen), all.end());
            *seen = all.size();
        }
        return fresh;
    }

    std::string Trace() const { return test::ReadFile(dir.File("trace.txt")); }
    std::string TraceLine(const std::string& event) const {
        return TraceTimeStamp(clock.now) + "Push Alert " + event + "\r\n";
    }

    // `address` with "{plain}" and "{secure}" replaced by the stand-ins' hosts.
    std::string At(std::string address) const {
        for (const auto& [mark, host] :
             {std::pair<std::string, std::string>{"{plain}", plain.Host()},
              {"{secure}", secure.Host()}}) {
            for (std::size_t at; (at = address.find(mark)) != std::string::npos;) {
                address.replace(at, mark.size(), host);
            }
        }
        return address;
    }

    test::FakeClock clock;
    test::FakeDesktopNotifications notifications;
    ScopedPlatform platform{[this] {
        PlatformServices services;
        services.clock = &clock;
        services.notifications = &notifications;
        return services;
    }()};
    test::TempDir dir;
    test::FakeConnectionRequest connection;
    std::optional<ScopedNetwork> network;
    std::size_t m_seenPlain = 0;
    std::size_t m_seenSecure = 0;
    std::mutex m_mutex; // the stand-ins answer on threads of their own
    std::string m_reply = ServiceStandIn::Reply(200, "{}");
    const ServiceStandIn::Script script = [this](const std::string&) {
        const std::lock_guard lock(m_mutex);
        return m_reply;
    };
    ServiceStandIn plain{script};
    ServiceStandIn secure{script, &test::Certificates().valid};
};

// The request a service receives: the line, the fixed headers, the service's own, the
// body.
std::string Post(const std::string& path, const std::string& host, const std::string& headers,
                 const std::string& body, const std::string& basic = {}) {
    return "POST " + path + " HTTP/1.1\r\nHost: " + host +
           "\r\nUser-Agent: Mozilla\r\nAccept: */*\r\n" +
           (basic.empty() ? "" : "Authorization: Basic " + basic + "\r\n") +
           "Cache-Control: no-cache\r\nPragma: no-cache\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

const char* const kJson = "Content-Type: application/json\r\n";
const char* const kText = "Content-Type: text/plain; charset=utf-8\r\n";

// One table of the services: each address form, the request it makes byte for byte, a
// reply that takes the message and one that refuses it with the service's own words. The
// title is "Alarm" and the message two lines unless a row says otherwise.
TEST_F(PushAlertTest, EveryServiceTakesOrRefusesTheMessage) {
    const std::string message = "Server down\nat 09:00";
    const std::string json = R"({"title":"Alarm","message":"Server down\nat 09:00"})";
    const std::string titled = R"(Alarm\nServer down\nat 09:00)";
    const struct {
        const char* address;
        const char* shown;   // in the trace, secrets hidden
        std::string request; // "{plain}" and "{secure}" are the stand-ins' hosts
        std::string taken;   // a reply that takes the message
        std::string refused; // and one that refuses it
        const char* reason;
        const char* title = "Alarm";
    } services[] = {
        {"ntfy://alerts?priority=4&tags=warning,disk", "ntfy://alerts?priority=4&tags=warning,disk",
         Post("/alerts", "{secure}",
              std::string(kText) +
                  "Title: =?UTF-8?B?Q2Fmw6k=?=\r\nPriority: 4\r\nTags: warning,disk\r\n",
              message),
         ServiceStandIn::Reply(200, R"({"id":"x1","event":"message"})"),
         ServiceStandIn::Reply(429, R"({"code":42901,"http":429,"error":"limit reached"})"),
         "limit reached", "Caf\xE9"}, // a title from a Windows store
        {"https://ntfy.sh/alerts", "https://ntfy.sh/alerts",
         Post("/alerts", "{secure}", std::string(kText) + "Title: Alarm\r\n", message),
         ServiceStandIn::Reply(200, "{}"),
         ServiceStandIn::Reply(403, R"({"code":40301,"http":403,"error":"forbidden"})"),
         "forbidden"},
        {"ntfy://walter:pw%2142@{plain}/alerts", "ntfy://walter:***@{plain}/alerts",
         Post("/alerts", "{plain}", std::string(kText), message, "d2FsdGVyOnB3ITQy"),
         ServiceStandIn::Reply(200, "{}"),
         ServiceStandIn::Reply(401, R"({"code":40101,"http":401,"error":"unauthorized"})"),
         "unauthorized", ""},
        {"ntfys://tk_AgQdq7mVBoFD37zQ@{secure}/alerts", "ntfys://***@{secure}/alerts",
         Post("/alerts", "{secure}",
              "Authorization: Bearer tk_AgQdq7mVBoFD37zQ\r\n" + std::string(kText) +
                  "Title: Alarm\r\n",
              message),
         ServiceStandIn::Reply(200, "{}"), ServiceStandIn::Reply(500, ""),
         "The service answered with status 500"},
        {"gotify://{plain}/AbCdEf", "gotify://{plain}/***",
         Post("/message", "{plain}", "X-Gotify-Key: AbCdEf\r\n" + std::string(kJson),
              R"({"title":"Alarm","message":"Server down\nat 09:00","priority":5})"),
         ServiceStandIn::Reply(200, R"({"id":7})"),
         ServiceStandIn::Reply(401, R"({"error":"Unauthorized","errorCode":401,)"
                                    R"("errorDescription":"you need a valid token"})"),
         "Unauthorized: you need a valid token"},
        {"gotifys://{secure}/gotify/AbCdEf", "gotifys://{secure}/gotify/***",
         Post("/gotify/message", "{secure}", "X-Gotify-Key: AbCdEf\r\n" + std::string(kJson),
              R"({"title":"Alarm","message":"Server down\nat 09:00","priority":5})"),
         ServiceStandIn::Reply(200, "{}"), ServiceStandIn::Reply(404, "<html>404</html>"),
         "The service answered with status 404"},
        // Pushover says in its reply whether it took the message.
        {"pover://uQiRzpo4DX@azGDORePK8", "pover://***@***",
         Post("/1/messages.json", "{secure}", "Content-Type: application/x-www-form-urlencoded\r\n",
              "token=azGDORePK8&user=uQiRzpo4DX&message=Server%20down%0Aat%2009%3A00&title=Alarm"),
         ServiceStandIn::Reply(200, R"({"status":1,"request":"5042"})"),
         ServiceStandIn::Reply(200, R"({"token":"invalid","errors":["application token is )"
                                    R"(invalid","user is invalid"],"status":0})"),
         "application token is invalid; user is invalid"},
        {"tgram://123456789:AAF-xyz/-1001234567", "tgram://***/-1001234567",
         Post("/bot123456789:AAF-xyz/sendMessage", "{secure}", kJson,
              R"({"chat_id":"-1001234567","text":")" + titled + R"("})"),
         ServiceStandIn::Reply(200, R"({"ok":true,"result":{}})"),
         ServiceStandIn::Reply(400, R"({"ok":false,"error_code":400,)"
                                    R"("description":"Bad Request: chat not found"})"),
         "Bad Request: chat not found"},
        {"discord://112233/tOkEn-9", "discord://112233/***",
         Post("/api/webhooks/112233/tOkEn-9", "{secure}", kJson,
              R"({"content":"**Alarm**\nServer down\nat 09:00"})"),
         ServiceStandIn::Reply(204, ""),
         ServiceStandIn::Reply(404, R"({"message":"Unknown Webhook","code":10015})"),
         "Unknown Webhook"},
        {"https://discord.com/api/webhooks/112233/tOkEn-9",
         "https://discord.com/api/webhooks/112233/***",
         Post("/api/webhooks/112233/tOkEn-9", "{secure}", kJson,
              R"({"content":"**Alarm**\nServer down\nat 09:00"})"),
         ServiceStandIn::Reply(204, ""),
         ServiceStandIn::Reply(401, R"({"message":"Invalid Webhook Token","code":50027})"),
         "Invalid Webhook Token"},
        {"https://hooks.slack.com/services/T000/B000/XXXX", "https://hooks.slack.com/services/***",
         Post("/services/T000/B000/XXXX", "{secure}", kJson, R"({"text":")" + titled + R"("})"),
         ServiceStandIn::Reply(200, "ok", "text/html"),
         ServiceStandIn::Reply(403, "invalid_token", "text/plain"), "invalid_token"},
        {"json://{plain}/hooks/in", "json://{plain}/hooks/in",
         Post("/hooks/in", "{plain}", kJson, json), ServiceStandIn::Reply(200, ""),
         ServiceStandIn::Reply(500, ""), "The service answered with status 500"},
        {"jsons://{secure}/hooks/in?key=1", "jsons://{secure}/hooks/in?key=1",
         Post("/hooks/in?key=1", "{secure}", kJson, json), ServiceStandIn::Reply(201, "{}"),
         ServiceStandIn::Reply(400, R"({"error":"no such hook"})"), "no such hook"},
    };
    for (const auto& service : services) {
        SCOPED_TRACE(service.address);
        CTraceFile::Instance().SwitchOff();
        test::WriteFile(dir.File("trace.txt"), "");
        CTraceFile::Instance().SwitchOn();
        CPushAlert alert;
        alert.url = At(service.address);
        alert.title = service.title;
        Answer(service.taken);
        EXPECT_TRUE(alert.Send(message)) << alert.FailureText();
        Answer(service.refused);
        EXPECT_FALSE(alert.Send(message));
        const std::string shown = At(service.shown);
        EXPECT_EQ(alert.FailureText(), "Failed to send to " + shown + ": " + service.reason);
        EXPECT_EQ(Received(), std::vector<std::string>(2, At(service.request)));
        EXPECT_EQ(Trace(), TraceLine("Sent to " + shown) + TraceLine("Failed to send to " + shown) +
                               TraceLine(service.reason));
    }
    EXPECT_EQ(connection.requests, 2 * static_cast<int>(std::size(services)));
}

// An address that names no known form, or lacks a part, fails before anything is sent:
// no connection is asked for, no service hears of it.
TEST_F(PushAlertTest, AnAddressThatCannotBeUsedSendsNothing) {
    const struct {
        const char* address;
        const char* failure;
    } addresses[] = {
        {"  ", "Failed to send the push notification: The push alert has no address"},
        {"alerts", "Failed to send to alerts: The push address names no known service"},
        {"mailto://me@example.org",
         "Failed to send to mailto://***@example.org: The push address names no known service"},
        {"https://example.org/x",
         "Failed to send to https://example.org/x: The push address names no known service"},
        {"ntfy://{plain}/", "Failed to send to ntfy://{plain}/: The push address has no topic"},
        {"ntfys://walter@{plain}/t",
         "Failed to send to ntfys://***@{plain}/t: The push address has a user name but no "
         "password"},
        {"ntfy://:8080/t", "Failed to send to ntfy://:8080/t: The push address has no host"},
        {"ntfy://alerts?priority=7",
         "Failed to send to ntfy://alerts?priority=7: The priority in the push address is not 1 "
         "to 5"},
        {"gotify://{plain}/", "Failed to send to gotify://{plain}/***: The push address has no "
                              "application token"},
        {"gotifys://host:99999/tok", "Failed to send to gotifys://host:99999/***: The push "
                                     "address's port is not a number from 1 to 65535"},
        {"pover://azGDORePK8", "Failed to send to pover://***@***: The push address has no user "
                               "key"},
        {"tgram://123:abc", "Failed to send to tgram://***/: The push address has no chat id"},
        {"tgram://123:abc/", "Failed to send to tgram://***/: The push address has no chat id"},
        {"discord://112233", "Failed to send to discord://112233/***: The push address has no "
                             "webhook token"},
        {"https://hooks.slack.com/services/",
         "Failed to send to https://hooks.slack.com/services/***: The push address has no "
         "webhook path after /services/"},
        {"json:///path", "Failed to send to json:///path: The push address has no host"},
    };
    for (const auto& address : addresses) {
        CPushAlert alert;
        alert.url = At(address.address);
        EXPECT_EQ(alert.AddressProblem().empty(), false) << address.address;
        EXPECT_FALSE(alert.Send("x")) << address.address;
        EXPECT_EQ(alert.FailureText(), At(address.failure));
    }
    EXPECT_EQ(connection.requests, 0);
    EXPECT_TRUE(Received().empty());
    CPushAlert usable;
    usable.url = "ntfy://alerts";
    EXPECT_EQ(usable.AddressProblem(), "");
}

// A message longer than a service takes is cut at a character boundary: ntfy counts
// bytes, Telegram, Discord and Pushover characters.
TEST_F(PushAlertTest, LongMessagesAreCutToWhatTheServiceTakes) {
    const auto bodyOf = [this](const std::string& address, const std::string& message) {
        CPushAlert alert;
        alert.url = address;
        EXPECT_TRUE(alert.Send(message)) << alert.FailureText();
        const std::string request = Received().back();
        return request.substr(request.find("\r\n\r\n") + 4);
    };
    const std::string e = "\xC3\xA9"; // two bytes, one character
    EXPECT_EQ(bodyOf("ntfy://alerts", std::string(4095, 'a') + e), std::string(4095, 'a'));
    EXPECT_EQ(bodyOf("ntfy://alerts", std::string(4094, 'a') + e + "b"),
              std::string(4094, 'a') + e);
    std::string many;
    for (int i = 0; i < 5000; ++i) {
        many += e;
    }
    const auto cut = [&](std::size_t characters) { return many.substr(0, 2 * characters); };
    Answer(ServiceStandIn::Reply(200, R"({"ok":true})"));
    EXPECT_EQ(bodyOf("tgram://1:a/2", many), R"({"chat_id":"2","text":")" + cut(4096) + R"("})");
    EXPECT_EQ(bodyOf("discord://1/t", many), R"({"content":")" + cut(2000) + R"("})");
    Answer(ServiceStandIn::Reply(200, R"({"status":1})"));
    std::string escaped;
    for (int i = 0; i < 1024; ++i) {
        escaped += "%C3%A9";
    }
    EXPECT_EQ(bodyOf("pover://u@t", many), "token=t&user=u&message=" + escaped + "&title=");
}

// The services are reached only when they prove who they are, and a message goes on only
// to the host it was meant for.
TEST_F(PushAlertTest, OnlyTheServiceItselfGetsTheMessage) {
    ServiceStandIn untrusted(script, &test::Certificates().untrusted);
    CPushAlert alert;
    alert.url = "ntfys://walter:pw@" + untrusted.Host() + "/alerts";
    EXPECT_FALSE(alert.Send("x"));
    EXPECT_EQ(alert.FailureText(), "Failed to send to ntfys://walter:***@" + untrusted.Host() +
                                       "/alerts: The server's certificate is not trusted");
    EXPECT_TRUE(untrusted.Requests().empty());

    Answer("HTTP/1.1 307 Temporary Redirect\r\nLocation: http://localhost:" +
           std::to_string(plain.Port()) + "/alerts\r\nContent-Length: 0\r\n\r\n");
    alert.url = "ntfy://walter:pw@" + plain.Host() + "/alerts";
    EXPECT_FALSE(alert.Send("x"));
    EXPECT_EQ(alert.FailureText(),
              "Failed to send to ntfy://walter:***@" + plain.Host() +
                  "/alerts: The service sent the message on to another host (localhost), where "
                  "it was not sent");
    EXPECT_EQ(plain.Requests().size(), 1u);

    // An escaped line break in a token stays escaped: it cannot add a header.
    Answer(ServiceStandIn::Reply(200, "{}"));
    alert.url = "gotify://" + plain.Host() + "/tok%0D%0AX-Forged:%201";
    EXPECT_TRUE(alert.Send("x"));
    EXPECT_NE(plain.Requests().back().find("\r\nX-Gotify-Key: tok%0D%0AX-Forged: 1\r\n"),
              std::string::npos)
        << plain.Requests().back();
}

// dbus:// is this desktop's own notifications: the title (or "Sentrel") and the message.
TEST_F(PushAlertTest, TheDesktopsNotifications) {
    CPushAlert alert;
    alert.url = "dbus://";
    alert.title = "Alarm";
    EXPECT_TRUE(alert.Send("Server down"));
    alert.title.clear();
    EXPECT_TRUE(alert.Send("Caf\xE9"));
    EXPECT_EQ(notifications.Shown(),
              (std::vector<std::string>{"Alarm\nServer down", "Sentrel\nCaf\xC3\xA9"}));
    notifications.refusal = "no notification service";
    EXPECT_FALSE(alert.Send("again"));
    EXPECT_EQ(alert.FailureText(), "Failed to send to dbus://: no notification service");
    EXPECT_EQ(connection.requests, 0);
    EXPECT_EQ(Trace(), TraceLine("Sent to dbus://") + TraceLine("Sent to dbus://") +
                           TraceLine("Failed to send to dbus://") +
                           TraceLine("no notification service"));
}

// A kind of its own in the store: its class name, then the name, the address and the title.
TEST(PushAlertStoreTest, IsStoredUnderItsOwnClassName) {
    RegisterAlertKinds();
    CSentrelDoc doc;
    auto alert = std::make_unique<CPushAlert>();
    alert->name = "Phone";
    alert->url = "ntfy://alerts";
    alert->title = "Caf\xE9";
    doc.alerts.push_back(std::move(alert));
    const std::string bytes = test::kNoTrace + test::Hex("0100") + test::NewClass("CPushAlert") +
                              test::Str("Phone") + test::Str("ntfy://alerts") +
                              test::Str("Caf\xE9") + test::kEmptyList + test::kEmptyList;
    EXPECT_EQ(doc.Encode(), bytes);
    CSentrelDoc loaded;
    ASSERT_FALSE(loaded.Decode(bytes));
    const auto* read = dynamic_cast<const CPushAlert*>(loaded.alerts.at(0).get());
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->url, "ntfy://alerts");
    EXPECT_EQ(read->title, "Caf\xE9");
}

} // namespace
} // namespace sentrel
