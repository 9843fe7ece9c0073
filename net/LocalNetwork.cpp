#include "net/LocalNetwork.h"

#include <cstdint>
#include <cstring>
#include <netinet/in.h>

namespace sentrel {

namespace {

bool IsLocalIPv4(std::uint32_t address) {
    const auto in = [address](std::uint32_t network, int bits) {
        const std::uint32_t mask = bits == 0 ? 0 : ~std::uint32_t(0) << (32 - bits);
        return (address & mask) == network;
    };
    return in(0x7F000000, 8) ||  // 127/8
           in(0x0A000000, 8) ||  // 10/8
           in(0xAC100000, 12) || // 172.16/12
           in(0xC0A80000, 16) || // 192.168/16
           in(0xA9FE0000, 16);   // 169.254/16
}

} // namespace

bool IsLocalAddress(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        sockaddr_in v4{};
        std::memcpy(&v4, &address, sizeof v4);
        return IsLocalIPv4(ntohl(v4.sin_addr.s_addr));
    }
    if (address.ss_family != AF_INET6) {
        return false;
    }
    sockaddr_in6 v6{};
    std::memcpy(&v6, &address, sizeof v6);
    const unsigned char* b = v6.sin6_addr.s6_addr;
    static constexpr unsigned char kLoopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    static constexpr unsigned char kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (std::memcmp(b, kLoopback, 16) == 0) {
        return true;
    }
    if (std::memcmp(b, kMappedPrefix, 12) == 0) {
        return IsLocalIPv4(std::uint32_t(b[12]) << 24 | std::uint32_t(b[13]) << 16 |
                           std::uint32_t(b[14]) << 8 | b[15]);
    }
    return (b[0] & 0xFE) == 0xFC ||                 // fc00::/7
           (b[0] == 0xFE && (b[1] & 0xC0) == 0x80); // fe80::/10
}

std::optional<sockaddr_storage> PeerAddress(SocketHandle socket) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (socket == INVALID_SOCKET ||
        getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return std::nullopt;
    }
    return address;
}

bool PasswordMayGo(CSocketConnection& connection, LocalAddressTest isLocal) {
    if (connection.IsTls()) {
        return true;
    }
    const auto peer = PeerAddress(connection.Handle());
    if (peer && isLocal(*peer)) {
        return true;
    }
    return connection.Fail(WSAEACCES, kNoEncryptionReason);
}

} // namespace sentrel
