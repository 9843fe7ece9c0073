#include "net/SocketConnection.h"

#include "net/TlsSession.h"
#include "platform/ErrorCodes.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sentrel {

namespace {

// Milliseconds from a steady clock. The platform clock is not used here: tests replace it
// with one that stands still, and a reply wait must still end.
std::uint32_t Ticks() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::string ErrnoText(int error) {
    char buffer[256];
    // The GNU strerror_r returns the text, which may or may not be in the buffer.
    return strerror_r(error, buffer, sizeof buffer);
}

// "[::1]" is the address ::1.
std::string WithoutBrackets(const std::string& host) {
    return host.size() >= 2 && host.front() == '[' && host.back() == ']'
               ? host.substr(1, host.size() - 2)
               : host;
}

// Waits for a non-blocking connect to finish; 0 when it did, else the errno to report
// (ETIMEDOUT when the time ran out).
int FinishConnect(SocketHandle socket, unsigned timeoutMs) {
    const std::uint32_t started = Ticks();
    for (;;) {
        const std::uint32_t elapsed = Ticks() - started;
        if (elapsed >= timeoutMs) {
            return ETIMEDOUT;
        }
        pollfd writable{socket, POLLOUT, 0};
        const int polled =
            poll(&writable, 1, static_cast<int>(std::min(timeoutMs - elapsed, 1u << 30)));
        if (polled < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (polled > 0) {
            int error = 0;
            socklen_t length = sizeof error;
            if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
                return errno;
            }
            return error;
        }
    }
}

} // namespace

std::string ServerAnswered(std::string_view reply) {
    constexpr std::size_t kMaxQuoted = 200;
    const std::string_view line = reply.substr(0, reply.find_first_of("\r\n"));
    return "The server answered: " + std::string(line.substr(0, kMaxQuoted));
}

std::string DurationText(unsigned ms) {
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

std::string EndpointText(const std::string& host, int port) {
    const bool ipv6 = host.find(':') != std::string::npos;
    return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<HostAndPort> ParseHostAndPort(std::string_view server, int defaultPort) {
    std::string_view host = server;
    std::string_view port;
    if (server.starts_with('[')) {
        const auto close = server.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        host = server.substr(1, close - 1);
        const std::string_view rest = server.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                return std::nullopt;
            }
            port = rest.substr(1);
            if (port.empty()) {
                return std::nullopt;
            }
        }
    } else if (const auto colon = server.find(':');
               colon != std::string_view::npos &&
               server.find(':', colon + 1) == std::string_view::npos) {
        // One colon: a port follows. More than one: an IPv6 address without a port.
        host = server.substr(0, colon);
        port = server.substr(colon + 1);
        if (port.empty()) {
            return std::nullopt;
        }
    }
    if (host.empty()) {
        return std::nullopt;
    }
    HostAndPort parsed{std::string(host), defaultPort};
    if (!port.empty()) {
        int value = 0;
        for (const char c : port) {
            if (c < '0' || c > '9' || value > 65535) {
                return std::nullopt;
            }
            value = value * 10 + (c - '0');
        }
        if (value < 1 || value > 65535) {
            return std::nullopt;
        }
        parsed.port = value;
    }
    return parsed;
}

std::vector<HostAddress> LookUpHost(const std::string& host, int port) {
    std::vector<HostAddress> addresses;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM; // one entry per address
    hints.ai_flags = AI_NUMERICSERV;
    const std::string service = std::to_string(port);
    addrinfo* found = nullptr;
    if (host.empty() ||
        getaddrinfo(host.c_str(), port > 0 ? service.c_str() : nullptr, &hints, &found) != 0) {
        return addresses;
    }
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        if ((entry->ai_family == AF_INET || entry->ai_family == AF_INET6) &&
            entry->ai_addrlen <= sizeof(sockaddr_storage)) {
            HostAddress& address = addresses.emplace_back();
            std::memcpy(&address.address, entry->ai_addr, entry->ai_addrlen);
            address.length = entry->ai_addrlen;
            address.family = entry->ai_family;
        }
    }
    freeaddrinfo(found);
    return addresses;
}

SocketHandle ConnectToAny(const std::vector<HostAddress>& addresses, const std::string& host,
                          int port, unsigned timeoutMs, std::string* reason) {
    const std::string endpoint = EndpointText(host, port);
    auto fail = [&](int error, std::string why) {
        SetLastError(error);
        if (reason) {
            *reason = std::move(why);
        }
        return INVALID_SOCKET;
    };
    const std::uint32_t started = Ticks();
    int error = ETIMEDOUT;
    for (const HostAddress& address : addresses) {
        const std::uint32_t elapsed = Ticks() - started;
        if (elapsed >= timeoutMs) {
            error = ETIMEDOUT;
            break;
        }
        const SocketHandle socket =
            ::socket(address.family, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
        if (socket == INVALID_SOCKET) {
            error = errno;
            continue;
        }
        // Without a time-out of our own an address that never answers holds the caller
        // for as long as the kernel keeps retrying (about two minutes).
        const int flags = fcntl(socket, F_GETFL);
        if (flags < 0 || fcntl(socket, F_SETFL, flags | O_NONBLOCK) != 0) {
            error = errno;
        } else if (connect(socket, reinterpret_cast<const sockaddr*>(&address.address),
                           address.length) != 0) {
            error = errno == EINPROGRESS || errno == EINTR
                        ? FinishConnect(socket, timeoutMs - elapsed)
                        : errno;
        } else {
            error = 0;
        }
        if (error == 0 && fcntl(socket, F_SETFL, flags) == 0) {
            return socket;
        }
        error = error != 0 ? error : errno;
        close(socket);
    }
    if (error == ETIMEDOUT) {
        return fail(WSAETIMEDOUT,
                    "No connection to " + endpoint + " within " + DurationText(timeoutMs));
    }
    return fail(SocketErrorFromErrno(error),
                "Cannot connect to " + endpoint + ": " + ErrnoText(error));
}

SocketHandle ConnectTcp(const std::string& host, int port, unsigned timeoutMs,
                        std::string* reason) {
    const std::string bare = WithoutBrackets(host);
    if (port < 1 || port > 65535) {
        SetLastError(WSAEINVAL);
        if (reason) {
            *reason = "No such port: " + std::to_string(port);
        }
        return INVALID_SOCKET;
    }
    const std::vector<HostAddress> addresses = LookUpHost(bare, port);
    if (addresses.empty()) {
        SetLastError(WSAEINVAL);
        if (reason) {
            *reason = "Unknown host: " + host;
        }
        return INVALID_SOCKET;
    }
    return ConnectToAny(addresses, bare, port, timeoutMs, reason);
}

CSocketConnection::CSocketConnection(unsigned timeoutMs, unsigned connectTimeoutMs,
                                     unsigned replyTimeLimitMs)
    : m_timeoutMs(timeoutMs), m_connectTimeoutMs(connectTimeoutMs),
      m_replyTimeLimitMs(replyTimeLimitMs) {}

CSocketConnection::~CSocketConnection() {
    Close();
}

bool CSocketConnection::Open(const std::string& host, int port) {
    Close();
    m_host = WithoutBrackets(host);
    std::string reason;
    m_socket = ConnectTcp(m_host, port, m_connectTimeoutMs, &reason);
    if (m_socket == INVALID_SOCKET) {
        return Fail(GetLastError(), std::move(reason));
    }
    m_connected = true;
    return true;
}

bool CSocketConnection::StartTls() {
    if (m_socket == INVALID_SOCKET) {
        return Fail(WSAENOTCONN, "Not connected");
    }
    CTlsSession::Failure failure;
    m_tls = CTlsSession::Handshake(m_socket, m_host, m_connectTimeoutMs, failure);
    if (m_tls == nullptr) {
        Close();
        m_connected = false;
        return Fail(failure.error, std::move(failure.reason));
    }
    return true;
}

bool CSocketConnection::Send(std::string_view text) {
    if (m_socket == INVALID_SOCKET) {
        return Fail(WSAENOTCONN, "Not connected");
    }
    if (m_tls != nullptr) {
        CTlsSession::Failure failure;
        if (!m_tls->Write(text, m_timeoutMs, failure)) {
            return Fail(failure.error, std::move(failure.reason));
        }
        return true;
    }
    // A blocking send normally takes everything at once; should a signal cut it short,
    // the rest follows rather than being lost.
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = send(m_socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            const int error = errno;
            if (error == EINTR) {
                continue;
            }
            return Fail(SocketErrorFromErrno(error), "Send failed: " + ErrnoText(error));
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool CSocketConnection::Fail(int code, std::string reason) {
    m_failure.code = code;
    m_failure.reason = std::move(reason);
    SetLastError(code);
    return false;
}

void CSocketConnection::Restore(NetFailure failure) {
    m_failure = std::move(failure);
    SetLastError(m_failure.code);
}

bool CSocketConnection::FailReceive(std::string& text, std::string_view received, int code,
                                    std::string reason) {
    text.clear();
    m_failure.lastReply.assign(received);
    return Fail(code, std::move(reason));
}

bool CSocketConnection::ReceiveUntil(std::string& text, std::size_t capacity,
                                     std::string_view terminator, std::size_t growth,
                                     std::size_t limit, const LineTest& endsReply) {
    if (m_socket == INVALID_SOCKET) {
        text.clear();
        return Fail(WSAENOTCONN, "Not connected");
    }
    // What is left of a reply cut short would be read as the next one: end the session.
    auto breakOff = [this] {
        Close();
        m_connected = false;
    };
    limit = std::max<std::size_t>(limit, 1);
    std::string buffer(std::clamp<std::size_t>(capacity, 2, limit + 1), '\0');
    std::size_t position = 0;
    // Where the terminator search resumes: only new bytes are searched, plus the last
    // bytes before them that could begin a terminator.
    std::size_t scanFrom = 0;
    std::size_t lineStart = 0;
    const std::size_t overlap = terminator.empty() ? 0 : terminator.size() - 1;
    const std::uint32_t started = Ticks();
    std::uint32_t lastActivity = started;

    for (;;) {
        const std::uint32_t now = Ticks();
        const std::uint32_t idle = now - lastActivity;
        const std::uint32_t elapsed = now - started;
        const std::string_view received(buffer.data(), position);
        if (idle > m_timeoutMs) {
            return FailReceive(text, received, WSAETIMEDOUT,
                               "The server sent nothing for " + DurationText(m_timeoutMs));
        }
        if (elapsed > m_replyTimeLimitMs) {
            breakOff();
            return FailReceive(text, received, WSAETIMEDOUT,
                               "The reply was not complete after " +
                                   DurationText(m_replyTimeLimitMs));
        }
        // Wait at most until a limit would pass; one millisecond more so the checks above
        // see it passed.
        const std::uint64_t wait =
            std::min<std::uint64_t>(std::min(m_timeoutMs - idle, m_replyTimeLimitMs - elapsed),
                                    1u << 30) +
            1;
        const std::size_t room = std::min(buffer.size() - position - 1, limit - position);
        int error = 0;
        std::string reason;
        const long n =
            ReadSome(buffer.data() + position, room, static_cast<unsigned>(wait), error, reason);
        if (n == CTlsSession::kNothingYet) {
            continue;
        }
        if (n == CTlsSession::kFailed) {
            return FailReceive(text, received, error, std::move(reason));
        }
        if (n == CTlsSession::kClosed) {
            breakOff();
            return FailReceive(text, received, WSAECONNRESET, "The server closed the connection");
        }
        position += static_cast<std::size_t>(n);
        lastActivity = Ticks();
        if (position + 1 == buffer.size() && position < limit) {
            buffer.resize(std::min(buffer.size() + std::max<std::size_t>(growth, 1), limit + 1));
        }

        const std::string_view got(buffer.data(), position);
        for (;;) {
            const auto at = got.find(terminator, scanFrom);
            if (at == std::string_view::npos) {
                break;
            }
            if (!endsReply || endsReply(got.substr(lineStart, at - lineStart))) {
                buffer.resize(position - std::min(position, terminator.size()));
                text = std::move(buffer);
                return true;
            }
            lineStart = scanFrom = at + terminator.size();
        }
        scanFrom = std::max(lineStart, position - std::min(position, overlap));

        if (position >= limit) {
            breakOff();
            return FailReceive(text, got, WSAEMSGSIZE,
                               "The reply is longer than " + std::to_string(limit) + " bytes");
        }
    }
}

long CSocketConnection::ReadSome(char* into, std::size_t room, unsigned waitMs, int& error,
                                 std::string& reason) {
    if (m_tls != nullptr) {
        CTlsSession::Failure failure;
        const long n = m_tls->Read(into, room, waitMs, failure);
        error = failure.error;
        reason = std::move(failure.reason);
        return n;
    }
    pollfd ready{m_socket, POLLIN, 0};
    const int polled = poll(&ready, 1, static_cast<int>(std::min(waitMs, 1u << 30)));
    if (polled == 0 || (polled < 0 && errno == EINTR)) {
        return CTlsSession::kNothingYet;
    }
    const ssize_t n = polled < 0 ? -1 : recv(m_socket, into, room, 0);
    if (n > 0) {
        return static_cast<long>(n);
    }
    if (n == 0) {
        return CTlsSession::kClosed;
    }
    const int cause = errno;
    if (cause == EINTR || cause == EAGAIN) {
        return CTlsSession::kNothingYet;
    }
    error = SocketErrorFromErrno(cause);
    reason = "Receive failed: " + ErrnoText(cause);
    return CTlsSession::kFailed;
}

void CSocketConnection::Close() {
    if (m_tls != nullptr) {
        m_tls->Shutdown();
        m_tls.reset();
    }
    if (m_socket != INVALID_SOCKET) {
        close(m_socket);
        m_socket = INVALID_SOCKET;
    }
}

} // namespace sentrel
