#include "net/IcmpEcho.h"

#include "platform/ErrorCodes.h"
#include "platform/Platform.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

namespace sentrel {

namespace {

constexpr std::size_t kHeaderSize = 12; // type, code, checksum, identifier, sequence, stamp
constexpr std::size_t kReceiveSize = 1024;
constexpr unsigned char kEchoRequest = 8;
constexpr unsigned char kEchoReply = 0;
constexpr int kMaxLateDatagrams = 64;

class Socket {
public:
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

bool Resolve(const char* host, sockaddr_in& address) {
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    if (host && inet_aton(host, &address.sin_addr) != 0) {
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_RAW;
    hints.ai_protocol = IPPROTO_ICMP;
    addrinfo* found = nullptr;
    if (!host || getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) {
        return false;
    }
    std::memcpy(&address, found->ai_addr, sizeof address);
    freeaddrinfo(found);
    return true;
}

void PutLittle16(std::string& out, std::size_t at, std::uint16_t value) {
    out[at] = static_cast<char>(value & 0xFF);
    out[at + 1] = static_cast<char>(value >> 8);
}

} // namespace

std::uint16_t InternetChecksum(const unsigned char* data, std::size_t size) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < size; i += 2) {
        sum += static_cast<std::uint32_t>(data[i] | (data[i + 1] << 8));
    }
    if (i < size) {
        sum += data[i];
    }
    while (sum >> 16) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::string BuildEchoRequest(std::uint16_t identifier, std::uint32_t timestamp,
                             std::uint8_t fillSize) {
    std::string packet(kHeaderSize + fillSize, 'E');
    packet[0] = static_cast<char>(kEchoRequest);
    packet[1] = 0;
    PutLittle16(packet, 2, 0);
    PutLittle16(packet, 4, identifier);
    PutLittle16(packet, 6, 0);
    PutLittle16(packet, 8, static_cast<std::uint16_t>(timestamp & 0xFFFF));
    PutLittle16(packet, 10, static_cast<std::uint16_t>(timestamp >> 16));
    PutLittle16(
        packet, 2,
        InternetChecksum(reinterpret_cast<const unsigned char*>(packet.data()), packet.size()));
    return packet;
}

bool IsEchoReply(const unsigned char* datagram, std::size_t size, bool withIpHeader,
                 std::uint16_t identifier) {
    std::size_t at = 0;
    if (withIpHeader) {
        if (size == 0) {
            return false;
        }
        at = static_cast<std::size_t>(datagram[0] & 0x0F) * 4;
    }
    if (size < at + 8 || datagram[at] != kEchoReply) {
        return false;
    }
    const std::uint16_t carried =
        static_cast<std::uint16_t>(datagram[at + 4] | (datagram[at + 5] << 8));
    return carried == identifier;
}

bool SendIcmpEcho(const char* host, unsigned timeoutMs, std::uint8_t packetSize) {
    if (packetSize < 8) {
        SetLastError(WSAENOBUFS);
        return false;
    }
    sockaddr_in address;
    if (!Resolve(host, address)) {
        SetLastError(WSAEINVAL);
        return false;
    }

    // A raw socket needs privileges a desktop user seldom has; the datagram socket is
    // the unprivileged way, where the system allows it.
    bool raw = true;
    int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) {
        raw = false;
        fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    }
    if (fd < 0) {
        SetLastError(SocketErrorFromErrno(errno));
        return false;
    }
    Socket socket(fd);

    std::uint16_t identifier = static_cast<std::uint16_t>(::getpid() & 0xFFFF);
    const std::string request =
        BuildEchoRequest(identifier, Platform().clock->TickCount(), packetSize);
    if (::sendto(fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&address),
                 sizeof address) < 0) {
        SetLastError(SocketErrorFromErrno(errno));
        return false;
    }
    if (!raw) {
        // The system puts its own identifier (the socket's port) into the request.
        sockaddr_in local{};
        socklen_t length = sizeof local;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) < 0) {
            SetLastError(SocketErrorFromErrno(errno));
            return false;
        }
        unsigned char port[2];
        std::memcpy(port, &local.sin_port, 2);
        identifier = static_cast<std::uint16_t>(port[0] | (port[1] << 8));
    }

    // A raw socket sees every ICMP message of the host (on loopback first our own
    // request); wait on past whatever is not our reply until the time-out ends.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    unsigned char datagram[kReceiveSize];
    int lateDatagrams = 0;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(
            &waiting, 1, left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, INT_MAX)));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            SetLastError(SocketErrorFromErrno(errno));
            return false;
        }
        if (ready == 0) {
            SetLastError(WSAETIMEDOUT);
            return false;
        }
        const ssize_t received = ::recv(fd, datagram, sizeof datagram, MSG_DONTWAIT);
        if (received < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;
            }
            SetLastError(SocketErrorFromErrno(errno));
            return false;
        }
        if (IsEchoReply(datagram, static_cast<std::size_t>(received), raw, identifier)) {
            return true;
        }
        // Past the deadline, only what is already queued is looked at, and not forever
        // on a busy host.
        if (left <= 0 && ++lateDatagrams >= kMaxLateDatagrams) {
            SetLastError(WSAETIMEDOUT);
            return false;
        }
    }
}

} // namespace sentrel
