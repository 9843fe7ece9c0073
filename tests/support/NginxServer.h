#pragma once

// A real HTTP server for integration tests: nginx with its own configuration in a
// temporary folder, in the foreground, listening on 127.0.0.1 at a free port, and with
// TLS on 127.0.0.1 and [::1] at a second port when given a certificate. The test adds
// files, users for Basic authorisation and location blocks, then starts it; the
// destructor stops it and removes the folder.

#include "tests/support/Programs.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestSupport.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace sentrel::test {

class NginxServer {
public:
    NginxServer();
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    // A file under the document root; `path` starts with "/".
    void AddFile(const std::string& path, const std::string& content);
    // A user of the password file that AuthBasic locations use (hashed with
    // "openssl passwd -apr1"). False, with `error` set, when the hash cannot be made.
    bool AddUser(const std::string& user, const std::string& password, std::string* error);
    // Directives added inside the server block, e.g. location blocks.
    void AddServerConfig(const std::string& directives);
    // "auth_basic ...; auth_basic_user_file ...;" for the users added.
    std::string AuthBasic(const std::string& realm) const;
    // Serves the same site over https too, presenting `certificate`, at TlsPort().
    void UseTls(const TestCertificate& certificate);

    // Writes the configuration and starts nginx; returns once it accepts connections.
    // False, with the reason in `error`, when it cannot be started.
    bool Start(std::string* error);
    void Stop();

    int Port() const { return m_port; }
    int TlsPort() const { return m_tlsPort; }
    // "http://127.0.0.1:<port>" followed by `path`.
    std::string Url(const std::string& path) const;
    // "https://<host>:<TLS port>" followed by `path`; `host` is "127.0.0.1" or "[::1]".
    std::string TlsUrl(const std::string& path, const std::string& host = "127.0.0.1") const;
    // One line per request: request line|status|User-Agent|Accept|Authorization|
    // Cache-Control. nginx logs a request just after its reply has gone: this waits until
    // every request answered so far is in the log.
    std::string AccessLog() const;
    const std::string& Folder() const { return m_dir.Path(); }

private:
    bool StartOnce(std::string* error, bool* portTaken);

    TempDir m_dir;
    std::string m_serverConfig;
    std::string m_users;
    TestCertificate m_certificate;
    int m_port = 0;
    int m_tlsPort = 0;
    pid_t m_pid = -1;
};

// Runs a program (no shell) with `extraEnvironment` ("NAME=value") added to ours and
// returns its standard output; false when it could not be run or exited with a non-zero
// status.
bool RunAndCapture(const std::vector<std::string>& argv, std::string& output,
                   const std::vector<std::string>& extraEnvironment = {});

} // namespace sentrel::test
