#pragma once

// A real SMTP server (tests/servers/smtp, run with Node.js) started for one test on
// 127.0.0.1 with a free port and its own store folder; stopped when the object goes.

#include "tests/support/TestSupport.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace sentrel::test {

class CRealSmtpServer {
public:
    // `usersJson` maps user names to passwords, e.g. {"ann":"secret"}. Throws when the
    // server does not come up.
    explicit CRealSmtpServer(const std::string& usersJson);
    ~CRealSmtpServer();
    CRealSmtpServer(const CRealSmtpServer&) = delete;
    CRealSmtpServer& operator=(const CRealSmtpServer&) = delete;

    int Port() const { return m_port; }

    struct Message {
        std::string data;     // as the server stored it
        std::string envelope; // JSON: from, to, user, method
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
