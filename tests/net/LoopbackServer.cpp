#include "tests/net/LoopbackServer.h"

#include "tests/support/TestCertificates.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace sentrel::test {

namespace {
constexpr int kReadLimitMs = 10000;
}

struct CServerSession::Tls {
    ~Tls() {
        SSL_free(ssl);
        SSL_CTX_free(context);
    }
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
};

CServerSession::CServerSession(int socket) : m_socket(socket) {
    // A client that stops in the middle of a handshake must not hold the server forever.
    const timeval limit{kReadLimitMs / 1000, 0};
    setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(m_socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

CServerSession::~CServerSession() {
    Close();
}

bool CServerSession::StartTls(const TestCertificate& certificate) {
    auto tls = std::make_unique<Tls>();
    tls->context = SSL_CTX_new(TLS_server_method());
    if (tls->context == nullptr ||
        SSL_CTX_use_certificate_file(tls->context, certificate.cert.c_str(), SSL_FILETYPE_PEM) !=
            1 ||
        SSL_CTX_use_PrivateKey_file(tls->context, certificate.key.c_str(), SSL_FILETYPE_PEM) != 1) {
        throw std::runtime_error("cannot load the test certificate " + certificate.cert);
    }
    tls->ssl = SSL_new(tls->context);
    SSL_set_fd(tls->ssl, m_socket);
    const bool ok = SSL_accept(tls->ssl) == 1;
    ERR_clear_error();
    const char* name = SSL_get_servername(tls->ssl, TLSEXT_NAMETYPE_host_name);
    m_received += name != nullptr ? "<TLS " + std::string(name) + ">" : std::string("<TLS>");
    if (ok) {
        m_tls = std::move(tls);
    }
    return ok;
}

bool CServerSession::ReadMore() {
    if (m_socket < 0) {
        return false;
    }
    if (m_tls == nullptr || SSL_pending(m_tls->ssl) == 0) {
        pollfd ready{m_socket, POLLIN, 0};
        if (poll(&ready, 1, kReadLimitMs) <= 0) {
            return false;
        }
    }
    char buffer[4096];
    const ssize_t n = m_tls != nullptr ? SSL_read(m_tls->ssl, buffer, sizeof buffer)
                                       : recv(m_socket, buffer, sizeof buffer, 0);
    if (n <= 0) {
        ERR_clear_error();
        return false;
    }
    m_received.append(buffer, static_cast<std::size_t>(n));
    m_pending.append(buffer, static_cast<std::size_t>(n));
    return true;
}

std::string CServerSession::ReadUntil(std::string_view terminator) {
    for (;;) {
        const auto at = m_pending.find(terminator);
        if (at != std::string::npos) {
            std::string part = m_pending.substr(0, at + terminator.size());
            m_pending.erase(0, at + terminator.size());
            return part;
        }
        if (!ReadMore()) {
            std::string part;
            part.swap(m_pending);
            return part;
        }
    }
}

std::string CServerSession::ReadLine() {
    return ReadUntil("\r\n");
}

std::string CServerSession::Read(std::size_t count) {
    while (m_pending.size() < count && ReadMore()) {
    }
    std::string part = m_pending.substr(0, count);
    m_pending.erase(0, part.size());
    return part;
}

std::string CServerSession::ReadToEnd() {
    while (ReadMore()) {
    }
    std::string part;
    part.swap(m_pending);
    return part;
}

void CServerSession::Write(std::string_view bytes) {
    if (m_socket >= 0 && !bytes.empty()) {
        if (m_tls != nullptr) {
            (void)SSL_write(m_tls->ssl, bytes.data(), static_cast<int>(bytes.size()));
            ERR_clear_error();
        } else {
            (void)send(m_socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        }
    }
}

void CServerSession::WriteEach(const std::vector<std::string>& pieces, int pauseMs) {
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) {
            Pause(pauseMs);
        }
        Write(pieces[i]);
    }
}

void CServerSession::WriteBytewise(std::string_view bytes, int pauseMs) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            Pause(pauseMs);
        }
        Write(bytes.substr(i, 1));
    }
}

void CServerSession::Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void CServerSession::Close() {
    if (m_tls != nullptr) {
        SSL_shutdown(m_tls->ssl);
        ERR_clear_error();
        m_tls.reset();
    }
    if (m_socket >= 0) {
        close(m_socket);
        m_socket = -1;
    }
}

CLoopbackServer::CLoopbackServer(Handler handler, bool ipv6) : m_handler(std::move(handler)) {
    sockaddr_storage address{};
    socklen_t length = 0;
    if (ipv6) {
        auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
        v6.sin6_family = AF_INET6;
        v6.sin6_addr = in6addr_loopback;
        length = sizeof v6;
    } else {
        auto& v4 = reinterpret_cast<sockaddr_in&>(address);
        v4.sin_family = AF_INET;
        v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof v4;
    }
    m_listener = socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0 || bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(m_listener, 8) != 0 ||
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error(ipv6 ? "cannot listen on ::1" : "cannot listen on 127.0.0.1");
    }
    m_port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                        : reinterpret_cast<sockaddr_in&>(address).sin_port);
    m_thread = std::thread([this] { Run(); });
}

CLoopbackServer::~CLoopbackServer() {
    Stop();
    if (m_listener >= 0) {
        close(m_listener);
    }
}

void CLoopbackServer::Run() {
    // OpenSSL writes to a client that may have gone; that must not end the test.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    for (;;) {
        pollfd ready{m_listener, POLLIN, 0};
        const int polled = poll(&ready, 1, 20);
        if (polled <= 0) {
            if (m_stop) {
                return;
            }
            continue;
        }
        const int client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        const int one = 1;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        CServerSession session(client);
        m_handler(session);
        // Keep whatever else the client sends (a closing command, say) until it hangs up.
        session.ReadToEnd();
        session.Close();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_transcripts.push_back(session.Received());
    }
}

void CLoopbackServer::Stop() {
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

std::vector<std::string> CLoopbackServer::Transcripts() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_transcripts;
}

std::string CLoopbackServer::Transcript() {
    auto all = Transcripts();
    return all.empty() ? std::string() : all.front();
}

int UnusedLoopbackPort() {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot bind on 127.0.0.1");
    }
    close(s); // nothing listens there now
    return ntohs(address.sin_port);
}

} // namespace sentrel::test
