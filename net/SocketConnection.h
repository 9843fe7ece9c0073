#pragma once

// The TCP connection that the SMTP and POP3 clients talk through: connect (IPv4 or IPv6),
// TLS when the protocol asks for it, one send per command, and replies read with an
// inactivity time-out. A failure is one value (NetFailure): its code, which the thread's
// last error (platform/ErrorCodes.h) takes too, the server's last reply, and a sentence
// for the trace.

#include "net/NetLimits.h"
#include "platform/ErrorCodes.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <vector>

namespace sentrel {

class CTlsSession;

using SocketHandle = int;
inline constexpr SocketHandle INVALID_SOCKET = -1;

// Connects to host:port and returns the socket, or INVALID_SOCKET. An address (IPv4, or
// IPv6 with or without brackets) is used as it is; a name is looked up, and a failed
// look-up sets WSAEINVAL and makes no connect attempt. The addresses are tried in turn
// until one answers, all within `timeoutMs` (else WSAETIMEDOUT). `reason`, when given,
// receives a sentence saying why it failed.
SocketHandle ConnectTcp(const std::string& host, int port, unsigned timeoutMs = kConnectTimeoutMs,
                        std::string* reason = nullptr);

// One address of a host, with its port.
struct HostAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
    int family = AF_UNSPEC; // AF_INET or AF_INET6
};

// The addresses of a host (a name, or an IPv4 or IPv6 address without brackets) from the
// system's resolver, in its order, each with `port` (0: none); empty when it has none.
std::vector<HostAddress> LookUpHost(const std::string& host, int port);

// ConnectTcp for addresses already looked up; `host` and `port` only name them in `reason`.
SocketHandle ConnectToAny(const std::vector<HostAddress>& addresses, const std::string& host,
                          int port, unsigned timeoutMs, std::string* reason);

// How a connection uses TLS; each protocol's port decides.
enum class TlsUse {
    Implicit,  // TLS from the first byte
    Required,  // the server must offer the upgrade, taken before anything else is said
    IfOffered, // upgrade when the server offers it, plain text when it does not
};

// A server written as "host", "host:port", "[IPv6 address]:port", "[IPv6 address]" or a
// bare IPv6 address; `defaultPort` when it names none. Nothing when the port is not a
// number from 1 to 65535 or the host is empty.
struct HostAndPort {
    std::string host; // without brackets
    int port = 0;
};
std::optional<HostAndPort> ParseHostAndPort(std::string_view server, int defaultPort);

// "host:port", with brackets around an IPv6 address.
std::string EndpointText(const std::string& host, int port);

// Why a network operation failed.
struct NetFailure {
    // The platform error code (WSAETIMEDOUT, WSAEPROTONOSUPPORT, ERROR_BAD_COMMAND, ...),
    // also left in the thread's last error.
    int code = 0;
    // The text of the server's last reply; what was received of it when it broke off.
    std::string lastReply;
    // Why, in a sentence for the trace.
    std::string reason;
};

// One client's connection state: the socket, whether the protocol's session is open, the
// failure value with the last reply, and the inactivity time-out for receiving.
class CSocketConnection {
public:
    // Decides whether a line (without its terminator) is the last one of its reply.
    using LineTest = std::function<bool(std::string_view line)>;

    explicit CSocketConnection(unsigned timeoutMs, unsigned connectTimeoutMs = kConnectTimeoutMs,
                               unsigned replyTimeLimitMs = kReplyTimeLimitMs);
    ~CSocketConnection();
    CSocketConnection(const CSocketConnection&) = delete;
    CSocketConnection& operator=(const CSocketConnection&) = delete;

    // Connects to the host (a name or an address, IPv6 in brackets or not). On success the
    // session counts as open.
    bool Open(const std::string& host, int port);

    // TLS from here on: the handshake with the host given to Open, bounded by the connect
    // time limit, and the certificate checked for it. A failure ends the connection and
    // its session (no farewell can follow a broken handshake).
    bool StartTls();
    bool IsTls() const { return m_tls != nullptr; }

    // Sends the whole text. A peer that has gone away is an ordinary failure, never a
    // signal that ends the program. Through TLS, a peer that takes nothing for the
    // inactivity time-out fails it with WSAETIMEDOUT.
    bool Send(std::string_view text);

    // Reads into a buffer of `capacity` bytes (growing by `growth` when it fills) until
    // the reply is complete: when `terminator` occurs in the text or, with `endsReply`,
    // when it ends a line that the test calls the last. Then the text loses its last
    // terminator-length bytes and the call succeeds. Fails with WSAETIMEDOUT after the
    // time-out passes with no byte arriving, with WSAECONNRESET at once when the peer
    // closes, or with the socket's error; the text so far becomes the last reply.
    // A reply that grows past `limit` bytes (WSAEMSGSIZE) or is not complete within the
    // reply time limit (WSAETIMEDOUT) fails too, and as the rest of it would be taken
    // for the next reply, the connection is closed and its session ended.
    bool ReceiveUntil(std::string& text, std::size_t capacity, std::string_view terminator,
                      std::size_t growth, std::size_t limit, const LineTest& endsReply = {});

    // Closes the socket if it is open; the session flag is left to the protocol's Quit.
    void Close();

    SocketHandle Handle() const { return m_socket; }
    bool IsConnected() const { return m_connected; }
    void SetConnected(bool connected) { m_connected = connected; }

    const NetFailure& Failure() const { return m_failure; }
    const std::string& LastReply() const { return m_failure.lastReply; }
    void SetLastReply(std::string reply) { m_failure.lastReply = std::move(reply); }
    // Why the last failed operation failed, in a sentence for the trace.
    const std::string& FailureReason() const { return m_failure.reason; }
    // Records a failure of the protocol above (the last reply stays) and returns false.
    bool Fail(int code, std::string reason);
    // Puts back a failure taken from Failure() earlier, with the thread's last error: what
    // a farewell after a failure met must not hide what ended the session.
    void Restore(NetFailure failure);

private:
    bool FailReceive(std::string& text, std::string_view received, int code, std::string reason);
    // Reads what has arrived, waiting at most `waitMs`: a byte count, or one of
    // CTlsSession's kNothingYet, kClosed and kFailed (then `error` and `reason` say why).
    long ReadSome(char* into, std::size_t room, unsigned waitMs, int& error, std::string& reason);

    SocketHandle m_socket = INVALID_SOCKET;
    std::string m_host;
    std::unique_ptr<CTlsSession> m_tls;
    bool m_connected = false;
    NetFailure m_failure;
    unsigned m_timeoutMs;
    unsigned m_connectTimeoutMs;
    unsigned m_replyTimeLimitMs;
};

// "The server answered: " and the first line of a refusing reply, for a failure reason.
std::string ServerAnswered(std::string_view reply);

// "60 s" or, below whole seconds, "300 ms".
std::string DurationText(unsigned ms);

} // namespace sentrel
