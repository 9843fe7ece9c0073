#include "net/IcmpEcho.h"

#include "net/SocketConnection.h"
#include "platform/ErrorCodes.h"
#include "platform/Platform.h"

#include <arpa/inet.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <system_error>

namespace sentrel {

namespace {

constexpr std::size_t kHeaderSize = 12; // type, code, checksum, identifier, sequence, stamp
constexpr std::size_t kReceiveSize = 1024;
constexpr unsigned char kEchoRequest = 8;
constexpr unsigned char kEchoReply = 0;
constexpr unsigned char kEchoRequest6 = 128;
constexpr unsigned char kEchoReply6 = 129;
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

struct Target {
    sockaddr_storage address{};
    socklen_t length = 0;
    EchoFamily family = EchoFamily::IPv4;
};

// A dotted IPv4 address is taken as it is (with the old short forms such as "127.1");
// anything else is looked up. A host with an IPv4 address is pinged over IPv4, as always;
// one with only IPv6 addresses, or an IPv6 address itself, over IPv6.
bool Resolve(const char* host, Target& target) {
    if (!host) {
        return false;
    }
    auto* v4 = reinterpret_cast<sockaddr_in*>(&target.address);
    if (inet_aton(host, &v4->sin_addr) != 0) {
        v4->sin_family = AF_INET;
        target.length = sizeof(sockaddr_in);
        return true;
    }
    const std::vector<HostAddress> addresses = LookUpHost(host, 0);
    const auto ipv4 = std::find_if(addresses.begin(), addresses.end(),
                                   [](const HostAddress& a) { return a.family == AF_INET; });
    const HostAddress* chosen = ipv4 != addresses.end() ? &*ipv4
                                : addresses.empty()     ? nullptr
                                                        : &addresses.front();
    if (!chosen) {
        return false;
    }
    target.address = chosen->address;
    target.length = chosen->length;
    target.family = chosen->family == AF_INET6 ? EchoFamily::IPv6 : EchoFamily::IPv4;
    return true;
}

// The identifier the system gave a datagram socket's requests: its local port.
bool DatagramIdentifier(int fd, EchoFamily family, std::uint16_t& identifier) {
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) < 0) {
        return false;
    }
    const void* port =
        family == EchoFamily::IPv6
            ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(&local)->sin6_port)
            : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(&local)->sin_port);
    unsigned char bytes[2];
    std::memcpy(bytes, port, 2);
    identifier = static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
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
                             std::uint8_t fillSize, EchoFamily family) {
    std::string packet(kHeaderSize + fillSize, 'E');
    packet[0] = static_cast<char>(family == EchoFamily::IPv6 ? kEchoRequest6 : kEchoRequest);
    packet[1] = 0;
    PutLittle16(packet, 2, 0);
    PutLittle16(packet, 4, identifier);
    PutLittle16(packet, 6, 0);
    PutLittle16(packet, 8, static_cast<std::uint16_t>(timestamp & 0xFFFF));
    PutLittle16(packet, 10, static_cast<std::uint16_t>(timestamp >> 16));
    if (family == EchoFamily::IPv6) {
        return packet;
    }
    PutLittle16(
        packet, 2,
        InternetChecksum(reinterpret_cast<const unsigned char*>(packet.data()), packet.size()));
    return packet;
}

bool IsEchoReply(const unsigned char* datagram, std::size_t size, bool withIpHeader,
                 std::uint16_t identifier, EchoFamily family) {
    std::size_t at = 0;
    if (withIpHeader) {
        if (size == 0) {
            return false;
        }
        at = static_cast<std::size_t>(datagram[0] & 0x0F) * 4;
    }
    const unsigned char reply = family == EchoFamily::IPv6 ? kEchoReply6 : kEchoReply;
    if (size < at + 8 || datagram[at] != reply) {
        return false;
    }
    const std::uint16_t carried =
        static_cast<std::uint16_t>(datagram[at + 4] | (datagram[at + 5] << 8));
    return carried == identifier;
}

bool SendIcmpEcho(const char* host, unsigned timeoutMs, std::uint8_t packetSize,
                  std::string* localFault) {
    if (packetSize < 8) {
        SetLastError(WSAENOBUFS);
        return false;
    }
    Target target;
    if (!Resolve(host, target)) {
        SetLastError(WSAEINVAL);
        return false;
    }
    const bool v6 = target.family == EchoFamily::IPv6;
    const int domain = v6 ? int{AF_INET6} : int{AF_INET};
    const int protocol = v6 ? int{IPPROTO_ICMPV6} : int{IPPROTO_ICMP};

    // A raw socket needs privileges a desktop user seldom has; the datagram socket is
    // the unprivileged way, where the system allows it.
    bool raw = true;
    int fd = ::socket(domain, SOCK_RAW | SOCK_CLOEXEC, protocol);
    if (fd < 0) {
        raw = false;
        fd = ::socket(domain, SOCK_DGRAM | SOCK_CLOEXEC, protocol);
    }
    if (fd < 0) {
        const int error = errno;
        SetLastError(SocketErrorFromErrno(error));
        if (localFault) {
            *localFault = "Cannot open an ICMP socket: " + std::generic_category().message(error);
        }
        return false;
    }
    Socket socket(fd);
    if (raw && v6) {
        // A raw ICMPv6 socket also sees neighbour discovery and every other ICMPv6
        // message; let only echo replies through. Where the filter is not supported the
        // wait below skips the others.
        icmp6_filter filter;
        ICMP6_FILTER_SETBLOCKALL(&filter);
        ICMP6_FILTER_SETPASS(kEchoReply6, &filter);
        ::setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
    }

    std::uint16_t identifier = static_cast<std::uint16_t>(::getpid() & 0xFFFF);
    const std::string request =
        BuildEchoRequest(identifier, Platform().clock->TickCount(), packetSize, target.family);
    if (::sendto(fd, request.data(), request.size(), 0,
                 reinterpret_cast<const sockaddr*>(&target.address), target.length) < 0) {
        SetLastError(SocketErrorFromErrno(errno));
        return false;
    }
    // The system puts its own identifier into a datagram socket's request.
    if (!raw && !DatagramIdentifier(fd, target.family, identifier)) {
        SetLastError(SocketErrorFromErrno(errno));
        return false;
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
        if (IsEchoReply(datagram, static_cast<std::size_t>(received), raw && !v6, identifier,
                        target.family)) {
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
