#pragma once

// The client side of TLS (1.2 or newer, OpenSSL) over a connected TCP socket, for the
// SMTP and POP3 connections. The server's certificate must chain to a CA in the system's
// store or in the SSL_CERT_FILE / SSL_CERT_DIR the user names, and must be for the host
// we asked for (its name, or its address when we were given one); there is no way to
// switch that off. Every wait is bounded by the caller; the socket is non-blocking for
// as long as the session lasts.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace sentrel {

class CTlsSession {
public:
    ~CTlsSession();
    CTlsSession(const CTlsSession&) = delete;
    CTlsSession& operator=(const CTlsSession&) = delete;

    // What went wrong, for the thread's last error and the trace.
    struct Failure {
        int error = 0;
        std::string reason;
    };

    // Runs the handshake with `host` (a name, or an address without brackets) on
    // `socket`, within `timeoutMs`. Null on failure, with the cause in `failure`.
    static std::unique_ptr<CTlsSession> Handshake(int socket, const std::string& host,
                                                  unsigned timeoutMs, Failure& failure);

    // Outcome of Read besides a byte count.
    static constexpr long kNothingYet = 0; // no data within the wait
    static constexpr long kClosed = -1;    // the peer ended the connection
    static constexpr long kFailed = -2;    // see `failure`

    // Reads at most `room` (> 0) bytes of application data, waiting up to `waitMs` for
    // them to arrive.
    long Read(char* into, std::size_t room, unsigned waitMs, Failure& failure);
    // Writes all of `text`; fails when the peer takes nothing for `timeoutMs`.
    bool Write(std::string_view text, unsigned timeoutMs, Failure& failure);
    // Says goodbye (close_notify) without waiting for the answer.
    void Shutdown();

    struct State; // OpenSSL's objects

private:
    explicit CTlsSession(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

// What a certificate verification result means for the user, e.g. "The server's
// certificate for mail.example.org has expired".
std::string CertificateProblem(long verifyResult, const std::string& host);

} // namespace sentrel
