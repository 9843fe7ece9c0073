#pragma once

// A real POP3 server for integration tests: Dovecot with its own configuration in a
// temporary folder, in the foreground, listening only on 127.0.0.1 and ::1 at a free port
// (or given ones). With a certificate it offers STLS there and TLS from the start on a
// second port. Users live in a passwd-file, each with a Maildir that the test fills. The
// destructor stops the server and removes the folder.

#include "tests/support/TestSupport.h"

#include <string>
#include <sys/types.h>

namespace sentrel::test {

struct TestCertificate;

class CDovecotServer {
public:
    explicit CDovecotServer(const TestCertificate* tls = nullptr);
    ~CDovecotServer();
    CDovecotServer(const CDovecotServer&) = delete;
    CDovecotServer& operator=(const CDovecotServer&) = delete;

    // A mailbox user with a clear-text password and an empty Maildir.
    void AddUser(const std::string& user, const std::string& password);
    // Delivers a message (text with CR LF line ends, as it is to be served) into the
    // user's Maildir; works while the server runs.
    void Deliver(const std::string& user, const std::string& text);
    // Takes the n-th message delivered (from 1) out of the user's Maildir, as a mail
    // program that deleted it would.
    void Remove(const std::string& user, int delivered);

    // Writes the configuration and starts Dovecot; returns once it accepts connections.
    // False, with the reason in `error`, when it cannot be started.
    bool Start(std::string* error);
    void Stop();

    // Before Start: listen on these ports instead of free ones.
    void UsePorts(int plain, int tls) {
        m_fixedPort = plain;
        m_fixedTlsPort = tls;
    }
    int Port() const { return m_port; }
    // Dovecot's own log, for failure messages.
    std::string Log() const;

private:
    bool StartOnce(std::string* error, bool* portTaken);
    std::string MailDir(const std::string& user) const;
    // Hands a file or folder to the user the mail processes run as.
    void GiveToMailUser(const std::string& path) const;

    TempDir m_dir;
    std::string m_users;
    const TestCertificate* m_tls;
    int m_fixedPort = 0;
    int m_fixedTlsPort = 0;
    int m_port = 0;
    int m_tlsPort = 0;
    pid_t m_pid = -1;
    uid_t m_mailUid;
    gid_t m_mailGid;
    int m_delivered = 0;
};

} // namespace sentrel::test
