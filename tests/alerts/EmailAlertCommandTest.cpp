// "sentrelctl send-alert" with e-mail alerts of a store made here, against a real SMTP
// server on 127.0.0.1: what arrives, and what the trace says when it does not.

#include "alerts/AlertKinds.h"
#include "alerts/EmailAlert.h"
#include "model/SentrelDoc.h"
#include "net/SmtpClient.h"
#include "tests/net/LoopbackServer.h"
#include "tests/net/RealSmtpServer.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/Programs.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace sentrel {
namespace {

// Runs sentrelctl; returns its exit code, with stderr in `err`.
int RunCtl(const std::vector<std::string>& args, const test::TempDir&, std::string& err) {
    std::vector<std::string> command{SENTRELCTL_PATH};
    command.insert(command.end(), args.begin(), args.end());
    const test::ProgramResult result = test::RunProgram(command);
    err = result.err;
    return result.exitCode;
}

TEST(EmailAlertCommand, SendAlertDeliversWithEachMethodAndTracesFailures) {
    test::TempDir dir;
    test::CRealSmtpServer server(R"({"watcher":"pa55 word"})");
    const std::string store = dir.File("Sentrel.bin");
    RegisterAlertKinds();
    {
        CSentrelDoc doc(store);
        doc.traceOn = true;
        auto add = [&](const std::string& name, int authType, const std::string& password,
                       const std::string& recipients, int port) {
            auto alert = std::make_unique<CEmailAlert>();
            alert->name = name;
            alert->recipients = recipients;
            alert->fromAddress = "sentrel@example.org";
            alert->smtpHost = "127.0.0.1";
            alert->port = port;
            alert->authType = authType;
            alert->userName = "watcher";
            alert->password = password;
            alert->subjectOnly = 1;
            doc.alerts.push_back(std::move(alert));
        };
        add("none", SmtpAuthNone, "", "ann@example.org", server.Port());
        add("cram", SmtpAuthCramMd5, "pa55 word", "ann@example.org", server.Port());
        add("login", SmtpAuthLogin, "pa55 word", "ann@example.org", server.Port());
        add("bad login", SmtpAuthLogin, "guess", "ann@example.org", server.Port());
        add("bad cram", SmtpAuthCramMd5, "guess", "ann@example.org", server.Port());
        // This server has no clear-text prompt dialogue: it refuses "AUTH LOGIN PLAIN".
        add("login plain", SmtpAuthLoginPlain, "pa55 word", "ann@example.org", server.Port());
        add("refused", SmtpAuthCramMd5, "pa55 word", "refused@example.org", server.Port());
        add("down", SmtpAuthNone, "", "ann@example.org", test::UnusedLoopbackPort());
        ASSERT_TRUE(doc.Save());
    }

    std::string err;
    for (const char* name : {"none", "cram", "login"}) {
        EXPECT_EQ(RunCtl({"send-alert", store, name, std::string("Sent by ") + name}, dir, err), 0)
            << err;
    }
    // An alert that did not deliver fails the command, which says why.
    for (const char* name : {"bad login", "bad cram", "login plain", "refused", "down"}) {
        EXPECT_EQ(RunCtl({"send-alert", store, name, std::string("Sent by ") + name}, dir, err), 1)
            << name;
        const std::string why = std::string(name) == "refused" ? "Failed to send email message"
                                                               : "Failed to connect to: 127.0.0.1";
        EXPECT_NE(err.find(why), std::string::npos) << name << ": " << err;
    }

    const auto messages = server.Messages();
    ASSERT_EQ(messages.size(), 3u);
    const char* methods[] = {"null", "\"CRAM-MD5\"", "\"LOGIN\""};
    const char* texts[] = {"Sent by none", "Sent by cram", "Sent by login"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(messages[i].Header("Subject"), "Email Alert");
        EXPECT_EQ(messages[i].Body(), std::string(texts[i]) + "\r\n");
        EXPECT_NE(messages[i].envelope.find(std::string("\"method\":") + methods[i]),
                  std::string::npos)
            << messages[i].envelope;
    }

    const std::string trace = test::ReadFile(dir.File("trace.txt"));
    std::vector<std::string> events;
    for (std::size_t at = 0; (at = trace.find(" Email Alert ", at)) != std::string::npos;) {
        const auto end = trace.find("\r\n", at);
        events.push_back(trace.substr(at + 13, end - at - 13));
        at = end;
    }
    // Each failure, and the line that says why; each login made, in clear to this machine.
    ASSERT_EQ(events.size(), 13u) << trace;
    EXPECT_EQ(events[12].rfind("Cannot connect to 127.0.0.1:", 0), 0u) << events[12];
    events.pop_back();
    const std::string inClear = "The login to 127.0.0.1 was not encrypted";
    EXPECT_EQ(events,
              (std::vector<std::string>{inClear, inClear, "Failed to connect to: 127.0.0.1",
                                        "The server answered: 535 Invalid username or password",
                                        "Failed to connect to: 127.0.0.1",
                                        "The server answered: 535 Invalid username or password",
                                        "Failed to connect to: 127.0.0.1",
                                        "The server answered: 501 Error: invalid userdata", inClear,
                                        "Failed to send email message",
                                        "The server answered: 550 No such user here",
                                        "Failed to connect to: 127.0.0.1"}))
        << trace;
}

// In a network namespace of the test's own, where it may take the standard ports: TLS from
// the start on 465, STARTTLS on 587 over IPv6, and a server on 587 without STARTTLS that
// gets nothing.
TEST(EmailAlertCommand, SendAlertDeliversThroughTlsOnTheStandardPorts) {
    const auto& certificates = test::Certificates();
    test::TempDir dir;
    const std::string store = dir.File("Sentrel.bin");
    RegisterAlertKinds();
    {
        CSentrelDoc doc(store);
        doc.traceOn = true;
        for (const auto& [name, host, port, authType] :
             std::vector<std::tuple<std::string, std::string, int, int>>{
                 {"implicit", "127.0.0.1", 465, SmtpAuthLogin},
                 {"starttls", "::1", 587, SmtpAuthCramMd5},
                 {"plain 587", "127.0.0.1", 587, SmtpAuthLogin}}) {
            auto alert = std::make_unique<CEmailAlert>();
            alert->name = name;
            alert->recipients = "ann@example.org";
            alert->fromAddress = "sentrel@example.org";
            alert->smtpHost = host;
            alert->port = port;
            alert->authType = authType;
            alert->userName = "watcher";
            alert->password = "pa55 word";
            doc.alerts.push_back(std::move(alert));
        }
        ASSERT_TRUE(doc.Save());
    }
    test::NetNamespaceOptions options;
    options.limitMs = 60000;
    const test::NetNamespaceRun run = test::RunInNetNamespace(options, [&]() -> std::string {
        try {
            const std::string users = R"({"watcher":"pa55 word"})";
            using Tls = test::SmtpServerOptions::Tls;
            test::CRealSmtpServer implicit(users,
                                           {Tls::Implicit, &certificates.valid, "127.0.0.1", 465});
            test::CRealSmtpServer upgrading(users,
                                            {Tls::StartTls, &certificates.valid, "::1", 587});
            test::CRealSmtpServer plain(users, {Tls::None, nullptr, "127.0.0.1", 587});
            std::string out;
            for (const char* name : {"implicit", "starttls", "plain 587"}) {
                const test::ProgramResult result =
                    test::RunProgram({SENTRELCTL_PATH, "send-alert", store, name, "Disk full"},
                                     {certificates.TrustFileSetting()});
                out += std::string(name) + ": " + std::to_string(result.exitCode) + " " +
                       result.err + "\n";
            }
            for (const auto* server : {&implicit, &upgrading, &plain}) {
                for (const auto& message : server->Messages()) {
                    out += "stored: " + message.envelope + "\n";
                }
            }
            return out;
        } catch (const std::exception& e) {
            return std::string("failed: ") + e.what();
        }
    });
    ASSERT_TRUE(run.ok) << run.error;
    const std::string& out = run.output;
    EXPECT_NE(out.find("implicit: 0 \n"), std::string::npos) << out;
    EXPECT_NE(out.find("starttls: 0 \n"), std::string::npos) << out;
    EXPECT_NE(out.find("plain 587: 1 "), std::string::npos) << out;
    EXPECT_NE(out.find("The server does not offer STARTTLS, which this port requires"),
              std::string::npos)
        << out;
    // The authentication and the mail went inside TLS; nothing reached the plain server.
    EXPECT_NE(out.find(R"(stored: {"from":"sentrel@example.org","to":["ann@example.org"],)"
                       R"("user":"watcher","method":"LOGIN","authInTls":true,"tls":true})"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find(R"("user":"watcher","method":"CRAM-MD5","authInTls":true,"tls":true})"),
              std::string::npos)
        << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '{'), 2) << out;
}

} // namespace
} // namespace sentrel
