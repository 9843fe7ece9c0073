#pragma once

// Which peers a password may reach without encryption: this machine and its local network.
// Anywhere else, a server that offers no TLS (or an attacker who took the offer out of its
// reply) would read the password in clear.

#include "net/SocketConnection.h"

#include <optional>
#include <sys/socket.h>

namespace sentrel {

// True for loopback (127/8, ::1), the private ranges (10/8, 172.16/12, 192.168/16, the
// unique local fc00::/7), link-local (169.254/16, fe80::/10), and the same IPv4 addresses
// written as IPv4-mapped IPv6 (::ffff:a.b.c.d). Anything else, or a family other than
// IPv4 and IPv6, is not local.
bool IsLocalAddress(const sockaddr_storage& address);

// Decides whether a peer is local; IsLocalAddress unless a test says otherwise.
using LocalAddressTest = bool (*)(const sockaddr_storage& address);

// The address the socket is connected to; nothing when it has none.
std::optional<sockaddr_storage> PeerAddress(SocketHandle socket);

// Why a login was refused on a connection without TLS to a peer outside the local network.
inline constexpr char kNoEncryptionReason[] =
    "the server offers no encryption; the password was not sent";

// True when the connection is encrypted or its peer passes `isLocal`; otherwise it fails
// with WSAEACCES and kNoEncryptionReason.
bool PasswordMayGo(CSocketConnection& connection, LocalAddressTest isLocal);

} // namespace sentrel
