#include "net/SocketConnection.h"

#include "platform/ErrorCodes.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace sentrel {

namespace {

// Milliseconds from a steady clock. The platform clock is not used here: tests replace it
// with one that stands still, and a reply wait must still end.
std::uint32_t Ticks() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool TerminatorFound(std::string_view text, std::string_view terminator) {
    return text.find(terminator) != std::string_view::npos;
}

} // namespace

int SocketErrorFromErrno(int error) {
    switch (error) {
    case ETIMEDOUT:
        return WSAETIMEDOUT;
    case ECONNREFUSED:
        return WSAECONNREFUSED;
    case ECONNRESET:
        return WSAECONNRESET;
    case ECONNABORTED:
        return WSAECONNABORTED;
    case EPIPE:
        return WSAESHUTDOWN;
    case ENOTCONN:
        return WSAENOTCONN;
    case ENETUNREACH:
        return WSAENETUNREACH;
    case EHOSTUNREACH:
        return WSAEHOSTUNREACH;
    case ENOBUFS:
    case ENOMEM:
        return WSAENOBUFS;
    case EINVAL:
        return WSAEINVAL;
    default:
        return ERROR_UNEXP_NET_ERR;
    }
}

bool ConnectTcp(SocketHandle socket, const std::string& host, int port) {
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
            SetLastError(WSAEINVAL);
            return false;
        }
        address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
        freeaddrinfo(found);
    }
    int result;
    do {
        result = connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        SetLastError(SocketErrorFromErrno(errno));
        return false;
    }
    return true;
}

CSocketConnection::~CSocketConnection() {
    Close();
}

bool CSocketConnection::Open(const std::string& host, int port) {
    m_socket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_socket == INVALID_SOCKET) {
        SetLastError(SocketErrorFromErrno(errno));
        return false;
    }
    if (!ConnectTcp(m_socket, host, port)) {
        return false;
    }
    m_connected = true;
    return true;
}

bool CSocketConnection::Send(std::string_view text) {
    if (m_socket == INVALID_SOCKET) {
        SetLastError(WSAENOTCONN);
        return false;
    }
    // A blocking send normally takes everything at once; should a signal cut it short,
    // the rest follows rather than being lost.
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = send(m_socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            SetLastError(SocketErrorFromErrno(errno));
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool CSocketConnection::ReceiveUntil(std::string& text, std::size_t capacity,
                                     std::string_view terminator, std::size_t growth,
                                     const CompletionTest& isComplete) {
    if (m_socket == INVALID_SOCKET) {
        text.clear();
        SetLastError(WSAENOTCONN);
        return false;
    }
    std::vector<char> buffer(capacity > 0 ? capacity : 1);
    std::size_t position = 0;
    std::uint32_t lastActivity = Ticks();
    bool stalled = false; // the peer closed, or there is no room left to read into

    auto fail = [&](int error) {
        text.assign(buffer.data(), position);
        m_lastReply = text;
        if (error != 0) {
            SetLastError(error);
        }
        return false;
    };

    for (;;) {
        const std::uint32_t idle = Ticks() - lastActivity;
        if (idle > m_timeoutMs) {
            return fail(WSAETIMEDOUT);
        }
        // Wait at most until the time-out would pass; one millisecond more so the check
        // above sees it passed.
        const int wait = static_cast<int>(
            std::min<std::uint64_t>(static_cast<std::uint64_t>(m_timeoutMs) - idle + 1, 1u << 30));
        if (stalled) {
            // Nothing more can be read, and a closed socket would poll as ready forever.
            std::this_thread::sleep_for(std::chrono::milliseconds(wait));
            continue;
        }
        pollfd ready{m_socket, POLLIN, 0};
        const int polled = poll(&ready, 1, wait);
        if (polled < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(SocketErrorFromErrno(errno));
        }
        if (polled == 0) {
            continue;
        }

        const std::size_t room = buffer.size() > position + 1 ? buffer.size() - position - 1 : 0;
        const ssize_t n = room > 0 ? recv(m_socket, buffer.data() + position, room, 0) : 0;
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(SocketErrorFromErrno(errno));
        }
        if (n == 0) {
            stalled = true;
            continue;
        }
        position += static_cast<std::size_t>(n);
        lastActivity = Ticks();
        if (static_cast<std::size_t>(n) == room) {
            buffer.resize(buffer.size() + growth);
        }

        const std::string_view received(buffer.data(), position);
        const bool complete =
            isComplete ? isComplete(received, terminator) : TerminatorFound(received, terminator);
        if (complete) {
            const std::size_t keep =
                position >= terminator.size() ? position - terminator.size() : 0;
            text.assign(buffer.data(), keep);
            return true;
        }
    }
}

bool CSocketConnection::ReceiveUntilOk(std::string& text, std::size_t capacity,
                                       std::string_view terminator, std::size_t growth,
                                       const CompletionTest& isComplete) {
    if (!ReceiveUntil(text, capacity, terminator, growth, isComplete)) {
        return false;
    }
    if (text.size() >= 3 && strncasecmp(text.c_str(), "+OK", 3) == 0) {
        return true;
    }
    m_lastReply = text;
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
