#include "net/TlsSession.h"

#include "net/SocketConnection.h"
#include "platform/ErrorCodes.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>

namespace sentrel {

struct CTlsSession::State {
    ~State() {
        SSL_free(ssl); // and the BIO with it
        SSL_CTX_free(context);
    }
    int socket = -1;
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
    // Left by the BIO for the session to read after a failed call.
    int lastErrno = 0;
    bool eof = false;
    // After a fatal error OpenSSL must not be asked to say goodbye.
    bool broken = false;
    // The issuer of the first certificate that failed verification.
    std::string issuer;
};

namespace {

using State = CTlsSession::State;
using Clock = std::chrono::steady_clock;

long MsLeft(Clock::time_point deadline) {
    return std::max<long>(
        0, static_cast<long>(
               std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                   .count()));
}

// Waits for the socket to become ready for `events`; > 0 ready, 0 not within the time,
// < 0 failed (errno).
int WaitFor(int socket, short events, long ms) {
    pollfd ready{socket, events, 0};
    const int polled = poll(&ready, 1, static_cast<int>(std::min<long>(ms, INT_MAX)));
    return polled < 0 && errno == EINTR ? 0 : polled;
}

std::string ErrnoText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
}

// OpenSSL's own socket BIO writes with write(), which raises SIGPIPE when the peer has
// gone; ours sends with MSG_NOSIGNAL, so a vanished server is an ordinary failure.
int BioWrite(BIO* bio, const char* data, int length) {
    auto* state = static_cast<State*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    const ssize_t n = send(state->socket, data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
    if (n < 0) {
        state->lastErrno = errno;
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            BIO_set_retry_write(bio);
        }
        return -1;
    }
    return static_cast<int>(n);
}

int BioRead(BIO* bio, char* into, int length) {
    auto* state = static_cast<State*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    const ssize_t n = recv(state->socket, into, static_cast<std::size_t>(length), 0);
    if (n < 0) {
        state->lastErrno = errno;
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            BIO_set_retry_read(bio);
        }
        return -1;
    }
    if (n == 0) {
        state->eof = true;
    }
    return static_cast<int>(n);
}

long BioControl(BIO* bio, int command, long, void*) {
    switch (command) {
    case BIO_CTRL_FLUSH:
        return 1;
    case BIO_CTRL_EOF:
        return static_cast<State*>(BIO_get_data(bio))->eof ? 1 : 0;
    default:
        return 0;
    }
}

int BioCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

BIO_METHOD* SocketMethod() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "socket");
        BIO_meth_set_write(made, BioWrite);
        BIO_meth_set_read(made, BioRead);
        BIO_meth_set_ctrl(made, BioControl);
        BIO_meth_set_create(made, BioCreate);
        return made;
    }();
    return method;
}

std::string NameText(const X509_NAME* name) {
    BIO* memory = BIO_new(BIO_s_mem());
    if (memory == nullptr) {
        return {};
    }
    X509_NAME_print_ex(memory, name, 0, XN_FLAG_RFC2253);
    char* data = nullptr;
    const long length = BIO_get_mem_data(memory, &data);
    std::string text(data, static_cast<std::size_t>(std::max(0L, length)));
    BIO_free(memory);
    return text;
}

// Keeps OpenSSL's verdict; remembers who issued the first certificate it refused.
int NoteRefusal(int ok, X509_STORE_CTX* store) {
    if (!ok) {
        auto* ssl = static_cast<SSL*>(
            X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
        auto* state = ssl ? static_cast<State*>(SSL_get_app_data(ssl)) : nullptr;
        const X509* cert = X509_STORE_CTX_get_current_cert(store);
        if (state != nullptr && state->issuer.empty() && cert != nullptr) {
            state->issuer = NameText(X509_get_issuer_name(cert));
        }
    }
    return ok;
}

// The system's CAs, and those the user adds through the usual variables. Read anew for
// every connection, so a change of the variables or of the store takes effect.
SSL_CTX* NewContext() {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (context == nullptr) {
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, NoteRefusal);
    // A missing file or folder is no error: it adds nothing.
    SSL_CTX_load_verify_locations(context, X509_get_default_cert_file(), nullptr);
    SSL_CTX_load_verify_locations(context, nullptr, X509_get_default_cert_dir());
    if (const char* file = std::getenv(X509_get_default_cert_file_env()); file && *file) {
        SSL_CTX_load_verify_locations(context, file, nullptr);
    }
    if (const char* dir = std::getenv(X509_get_default_cert_dir_env()); dir && *dir) {
        SSL_CTX_load_verify_locations(context, nullptr, dir);
    }
    ERR_clear_error();
    return context;
}

bool IsAddress(const std::string& host) {
    unsigned char address[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.c_str(), address) == 1 ||
           inet_pton(AF_INET6, host.c_str(), address) == 1;
}

// OpenSSL's reason for the last error, e.g. "wrong version number".
std::string OpenSslReason() {
    const unsigned long code = ERR_peek_last_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    return reason != nullptr ? reason : "unknown error";
}

bool IsUnexpectedEof() {
    const unsigned long code = ERR_peek_last_error();
    return ERR_GET_LIB(code) == ERR_LIB_SSL &&
           ERR_GET_REASON(code) == SSL_R_UNEXPECTED_EOF_WHILE_READING;
}

// After a failed call: the events to wait for before trying again, or 0 when it is over.
short EventsToRetry(int sslError) {
    return sslError == SSL_ERROR_WANT_READ    ? POLLIN
           : sslError == SSL_ERROR_WANT_WRITE ? POLLOUT
                                              : 0;
}

} // namespace

std::string CertificateProblem(long verifyResult, const std::string& host) {
    switch (verifyResult) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return "The server's certificate for " + host + " has expired";
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return "The server's certificate for " + host + " is not valid yet";
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return "The server's certificate name does not match " + host;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_INVALID_CA:
    case X509_V_ERR_CERT_UNTRUSTED:
    case X509_V_ERR_CERT_REJECTED:
        return "The server's certificate is not trusted";
    default:
        return "The server's certificate for " + host +
               " was refused: " + X509_verify_cert_error_string(verifyResult);
    }
}

CTlsSession::CTlsSession(std::unique_ptr<State> state) : m_state(std::move(state)) {}

CTlsSession::~CTlsSession() = default;

std::unique_ptr<CTlsSession> CTlsSession::Handshake(int socket, const std::string& host,
                                                    unsigned timeoutMs, Failure& failure) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto fail = [&](int error, std::string reason) {
        failure = {error, std::move(reason)};
        return nullptr;
    };
    auto state = std::make_unique<State>();
    state->socket = socket;
    state->context = NewContext();
    state->ssl = state->context ? SSL_new(state->context) : nullptr;
    BIO* bio = state->ssl ? BIO_new(SocketMethod()) : nullptr;
    if (bio == nullptr) {
        ERR_clear_error();
        return fail(WSAENOBUFS, "Cannot set up TLS");
    }
    BIO_set_data(bio, state.get());
    SSL_set_bio(state->ssl, bio, bio);
    SSL_set_app_data(state->ssl, state.get());

    // The name (or address) we asked for is the one the certificate must carry; only a
    // name is sent as the server name (SNI).
    bool named = false;
    if (IsAddress(host)) {
        named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(state->ssl), host.c_str()) == 1;
    } else {
        SSL_set_hostflags(state->ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        named = SSL_set1_host(state->ssl, host.c_str()) == 1 &&
                SSL_set_tlsext_host_name(state->ssl, host.c_str()) == 1;
    }
    if (!named) {
        ERR_clear_error();
        return fail(WSAEINVAL, "Cannot check a certificate for the host name " + host);
    }

    const int flags = fcntl(socket, F_GETFL);
    if (flags < 0 || fcntl(socket, F_SETFL, flags | O_NONBLOCK) != 0) {
        const int error = errno;
        return fail(SocketErrorFromErrno(error), "Cannot set up TLS: " + ErrnoText(error));
    }

    for (;;) {
        ERR_clear_error();
        state->lastErrno = 0;
        const int result = SSL_connect(state->ssl);
        if (result == 1) {
            return std::unique_ptr<CTlsSession>(new CTlsSession(std::move(state)));
        }
        const int sslError = SSL_get_error(state->ssl, result);
        if (const short events = EventsToRetry(sslError); events != 0) {
            const int ready = WaitFor(socket, events, MsLeft(deadline));
            if (ready < 0) {
                const int error = errno;
                return fail(SocketErrorFromErrno(error), "TLS failed: " + ErrnoText(error));
            }
            if (ready == 0 && MsLeft(deadline) == 0) {
                return fail(WSAETIMEDOUT,
                            "No TLS handshake with " + host + " within " + DurationText(timeoutMs));
            }
            continue;
        }
        state->broken = true;
        const long verified = SSL_get_verify_result(state->ssl);
        if (verified != X509_V_OK) {
            std::string reason = CertificateProblem(verified, host);
            if (reason.find("not trusted") != std::string::npos && !state->issuer.empty()) {
                reason += " (issued by " + state->issuer + ")";
            }
            return fail(WSAECONNABORTED, std::move(reason));
        }
        if (state->eof || (sslError == SSL_ERROR_SYSCALL && state->lastErrno == 0) ||
            IsUnexpectedEof()) {
            return fail(WSAECONNRESET, "The server closed the connection during the TLS handshake");
        }
        if (sslError == SSL_ERROR_SYSCALL) {
            return fail(SocketErrorFromErrno(state->lastErrno),
                        "TLS failed: " + ErrnoText(state->lastErrno));
        }
        return fail(WSAECONNABORTED,
                    "The TLS handshake with " + host + " failed: " + OpenSslReason());
    }
}

long CTlsSession::Read(char* into, std::size_t room, unsigned waitMs, Failure& failure) {
    bool waited = false;
    for (;;) {
        ERR_clear_error();
        m_state->lastErrno = 0;
        const int n =
            SSL_read(m_state->ssl, into, static_cast<int>(std::min<std::size_t>(room, INT_MAX)));
        if (n > 0) {
            return n;
        }
        const int sslError = SSL_get_error(m_state->ssl, n);
        if (const short events = EventsToRetry(sslError); events != 0) {
            if (waited) {
                return kNothingYet;
            }
            const int ready = WaitFor(m_state->socket, events, waitMs);
            if (ready < 0) {
                const int error = errno;
                failure = {SocketErrorFromErrno(error), "Receive failed: " + ErrnoText(error)};
                return kFailed;
            }
            if (ready == 0) {
                return kNothingYet;
            }
            waited = true;
            continue;
        }
        if (sslError == SSL_ERROR_ZERO_RETURN) {
            return kClosed; // the server said goodbye
        }
        m_state->broken = true;
        if (m_state->eof || (sslError == SSL_ERROR_SYSCALL && m_state->lastErrno == 0) ||
            IsUnexpectedEof()) {
            return kClosed;
        }
        if (sslError == SSL_ERROR_SYSCALL) {
            failure = {SocketErrorFromErrno(m_state->lastErrno),
                       "Receive failed: " + ErrnoText(m_state->lastErrno)};
        } else {
            failure = {WSAECONNABORTED, "TLS failed: " + OpenSslReason()};
        }
        return kFailed;
    }
}

bool CTlsSession::Write(std::string_view text, unsigned timeoutMs, Failure& failure) {
    std::size_t sent = 0;
    auto idleSince = Clock::now();
    while (sent < text.size()) {
        ERR_clear_error();
        m_state->lastErrno = 0;
        const int n =
            SSL_write(m_state->ssl, text.data() + sent,
                      static_cast<int>(std::min<std::size_t>(text.size() - sent, INT_MAX)));
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            idleSince = Clock::now();
            continue;
        }
        const int sslError = SSL_get_error(m_state->ssl, n);
        if (const short events = EventsToRetry(sslError); events != 0) {
            const long left = MsLeft(idleSince + std::chrono::milliseconds(timeoutMs));
            const int ready = left > 0 ? WaitFor(m_state->socket, events, left) : 0;
            if (ready < 0) {
                const int error = errno;
                failure = {SocketErrorFromErrno(error), "Send failed: " + ErrnoText(error)};
                return false;
            }
            if (ready == 0 && MsLeft(idleSince + std::chrono::milliseconds(timeoutMs)) == 0) {
                failure = {WSAETIMEDOUT, "The server took nothing for " + DurationText(timeoutMs)};
                return false;
            }
            continue;
        }
        m_state->broken = true;
        if (sslError == SSL_ERROR_SYSCALL && m_state->lastErrno != 0) {
            failure = {SocketErrorFromErrno(m_state->lastErrno),
                       "Send failed: " + ErrnoText(m_state->lastErrno)};
        } else {
            failure = {WSAECONNABORTED, "TLS failed: " + OpenSslReason()};
        }
        return false;
    }
    return true;
}

void CTlsSession::Shutdown() {
    if (!m_state->broken) {
        ERR_clear_error();
        SSL_shutdown(m_state->ssl);
        m_state->broken = true;
    }
    ERR_clear_error();
}

} // namespace sentrel
