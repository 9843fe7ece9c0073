#pragma once

// ICMP echo (ping) over IPv4 and IPv6: one echo request, then wait for its reply. Uses a
// raw ICMP socket when the process may open one, otherwise the unprivileged ICMP datagram
// socket (allowed to the groups in net.ipv4.ping_group_range, for both families).

#include <cstddef>
#include <cstdint>
#include <string>

namespace sentrel {

// Which ICMP the echo speaks: ICMP over IPv4 or ICMPv6.
enum class EchoFamily { IPv4, IPv6 };

// Sends one echo request of `packetSize` fill bytes to `host` (dotted IPv4 address, IPv6
// address or name) and waits at most `timeoutMs` for the reply. A name with an IPv4
// address is pinged over IPv4; one with only IPv6 addresses over IPv6. False on failure,
// with the thread's last error set: WSAENOBUFS for a packet size below 8, WSAEINVAL for a
// name that does not resolve, WSAETIMEDOUT when no reply came in time, or the error of
// the failing socket call. Datagrams that are not the reply to this request are skipped.
// The request goes out with the system's default time to live (hop limit). When no ICMP
// socket can be opened at all (a fault of this machine, not of the host), `localFault`
// (when given) says so in the system's words.
bool SendIcmpEcho(const char* host, unsigned timeoutMs, std::uint8_t packetSize,
                  std::string* localFault = nullptr);

// The Internet checksum (one's complement sum of 16-bit words), read and returned in the
// machine's byte order so it can be stored back as it was summed.
std::uint16_t InternetChecksum(const unsigned char* data, std::size_t size);

// The echo request as sent: type (8, or 128 for ICMPv6), code 0, checksum, identifier,
// sequence 0, a 4-byte time stamp and `fillSize` bytes of 'E'; all fields little-endian.
// The ICMPv6 checksum covers the addresses as well and is left 0 for the system to fill.
std::string BuildEchoRequest(std::uint16_t identifier, std::uint32_t timestamp,
                             std::uint8_t fillSize, EchoFamily family = EchoFamily::IPv4);

// True when `datagram` is an echo reply (type 0, or 129 for ICMPv6) carrying `identifier`
// (compared as the two bytes the request carried). A raw IPv4 socket hands over the IP
// header first; a datagram socket and any ICMPv6 socket hand over the ICMP message alone.
bool IsEchoReply(const unsigned char* datagram, std::size_t size, bool withIpHeader,
                 std::uint16_t identifier, EchoFamily family = EchoFamily::IPv4);

} // namespace sentrel
