#include "net/SocketConnection.h"

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
#include <strings.h>
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

std::string Endpoint(const std::string& host, int port) {
    return host + ":" + std::to_string(port);
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

bool ConnectTcp(SocketHandle socket, const std::string& host, int port, unsigned timeoutMs,
                std::string* reason) {
    auto fail = [&](int error, std::string why) {
        SetLastError(error);
        if (reason) {
            *reason = std::move(why);
        }
        return false;
    };
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = inet_addr(host.c_str());
    if (address.sin_addr.s_addr == INADDR_NONE) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
            return fail(WSAEINVAL, "Unknown host: " + host);
        }
        address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
        freeaddrinfo(found);
    }
    // Without a time-out of our own an address that never answers holds the caller for
    // as long as the kernel keeps retrying (about two minutes).
    int error = 0;
    const int flags = fcntl(socket, F_GETFL);
    if (flags < 0 || fcntl(socket, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = errno;
        return fail(SocketErrorFromErrno(error),
                    "Cannot connect to " + Endpoint(host, port) + ": " + ErrnoText(error));
    }
    if (connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = errno == EINPROGRESS || errno == EINTR ? FinishConnect(socket, timeoutMs) : errno;
    }
    fcntl(socket, F_SETFL, flags);
    if (error == ETIMEDOUT) {
        return fail(WSAETIMEDOUT, "No connection to " + Endpoint(host, port) + " within " +
                                      DurationText(timeoutMs));
    }
    if (error != 0) {
        return fail(SocketErrorFromErrno(error),
                    "Cannot connect to " + Endpoint(host, port) + ": " + ErrnoText(error));
    }
    return true;
}

CSocketConnection::~CSocketConnection() {
    Close();
}

bool CSocketConnection::Open(const std::string& host, int port) {
    m_socket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_socket == INVALID_SOCKET) {
        const int error = errno;
        SetLastError(SocketErrorFromErrno(error));
        m_failureReason = "Cannot create a socket: " + ErrnoText(error);
        return false;
    }
    if (!ConnectTcp(m_socket, host, port, m_connectTimeoutMs, &m_failureReason)) {
        return false;
    }
    m_connected = true;
    return true;
}

bool CSocketConnection::Send(std::string_view text) {
    if (m_socket == INVALID_SOCKET) {
        SetLastError(WSAENOTCONN);
        m_failureReason = "Not connected";
        return false;
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
            SetLastError(SocketErrorFromErrno(error));
            m_failureReason = "Send failed: " + ErrnoText(error);
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool CSocketConnection::Fail(std::string& text, std::string_view received, int error,
                             std::string reason) {
    text.clear();
    m_lastReply.assign(received);
    if (error != 0) {
        SetLastError(error);
    }
    m_failureReason = std::move(reason);
    return false;
}

bool CSocketConnection::ReceiveUntil(std::string& text, std::size_t capacity,
                                     std::string_view terminator, std::size_t growth,
                                     std::size_t limit, const LineTest& endsReply) {
    if (m_socket == INVALID_SOCKET) {
        text.clear();
        SetLastError(WSAENOTCONN);
        m_failureReason = "Not connected";
        return false;
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
            return Fail(text, received, WSAETIMEDOUT,
                        "The server sent nothing for " + DurationText(m_timeoutMs));
        }
        if (elapsed > m_replyTimeLimitMs) {
            breakOff();
            return Fail(text, received, WSAETIMEDOUT,
                        "The reply was not complete after " + DurationText(m_replyTimeLimitMs));
        }
        // Wait at most until a limit would pass; one millisecond more so the checks above
        // see it passed.
        const std::uint64_t wait =
            std::min<std::uint64_t>(std::min(m_timeoutMs - idle, m_replyTimeLimitMs - elapsed),
                                    1u << 30) +
            1;
        pollfd ready{m_socket, POLLIN, 0};
        const int polled = poll(&ready, 1, static_cast<int>(wait));
        if (polled < 0) {
            const int error = errno;
            if (error == EINTR) {
                continue;
            }
            return Fail(text, received, SocketErrorFromErrno(error),
                        "Receive failed: " + ErrnoText(error));
        }
        if (polled == 0) {
            continue;
        }

        const std::size_t room = std::min(buffer.size() - position - 1, limit - position);
        const ssize_t n = recv(m_socket, buffer.data() + position, room, 0);
        if (n < 0) {
            const int error = errno;
            if (error == EINTR || error == EAGAIN) {
                continue;
            }
            return Fail(text, received, SocketErrorFromErrno(error),
                        "Receive failed: " + ErrnoText(error));
        }
        if (n == 0) {
            breakOff();
            return Fail(text, received, WSAECONNRESET, "The server closed the connection");
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
            return Fail(text, got, WSAEMSGSIZE,
                        "The reply is longer than " + std::to_string(limit) + " bytes");
        }
    }
}

bool CSocketConnection::ReceiveUntilOk(std::string& text, std::size_t capacity,
                                       std::string_view terminator, std::size_t growth,
                                       std::size_t limit) {
    if (!ReceiveUntil(text, capacity, terminator, growth, limit)) {
        return false;
    }
    if (text.size() >= 3 && strncasecmp(text.c_str(), "+OK", 3) == 0) {
        return true;
    }
    m_lastReply = text;
    m_failureReason = ServerAnswered(text);
    SetLastError(WSAEPROTONOSUPPORT);
    return false;
}

void CSocketConnection::Close() {
    if (m_socket != INVALID_SOCKET) {
        close(m_socket);
        m_socket = INVALID_SOCKET;
    }
}

} // namespace sentrel
