#pragma once

// A real SMTP server (tests/servers/smtp, run with Node.js) started for one test on
// 127.0.0.1 (or ::1) with a free port (or a given one) and its own store folder, in plain
// text, with STARTTLS or in TLS from the start; stopped when the object goes.

#include "tests/support/TestSupport.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace sentrel::test {

struct TestCertificate;

struct SmtpServerOptions {
    enum class Tls { None, StartTls, Implicit } tls = Tls::None;
    const TestCertificate* certificate = nullptr; // needed with TLS
    std::string host = "127.0.0.1";
    int port = 0; // 0: a free one
};

class CRealSmtpServer {
public:
    // `usersJson` maps user names to passwords, e.g. {"ann":"secret"}. Throws when the
    // server does not come up.
    explicit CRealSmtpServer(const std::string& usersJson, const SmtpServerOptions& options = {});
    ~CRealSmtpServer();
    CRealSmtpServer(const CRealSmtpServer&) = delete;
    CRealSmtpServer& operator=(const CRealSmtpServer&) = delete;

    int Port() const { return m_port; }

    struct Message {
        std::string data; // as the server stored it
        // JSON: from, to, user, method, authInTls (whether the authentication was inside
        // TLS; null without one), tls (whether the mail came through TLS)
        std::string envelope;
        std::string Header(const std::string& name) const;
        std::string Body() const; // after the empty line
    };
    // The messages accepted so far, in order.
    std::vector<Message> Messages() const;

    // Stops the server now; connections fail from then on.
    void Stop();

private:
    TempDir m_store;
    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_port = 0;
};

} // namespace sentrel::test
