#pragma once

// The TCP connection that the SMTP and POP3 clients talk through: IPv4 connect, one send
// per command, and replies read with an inactivity time-out. Failures leave their cause
// in the thread's last error (platform/ErrorCodes.h) and the text received, if any, in
// the connection's last reply.

#include "platform/ErrorCodes.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace sentrel {

using SocketHandle = int;
inline constexpr SocketHandle INVALID_SOCKET = -1;

// Connects `socket` to host:port over IPv4. A dotted address is used as it is; anything
// else is looked up and its first address taken. A failed look-up sets WSAEINVAL and
// makes no connect attempt. The connect blocks with no time-out of its own.
bool ConnectTcp(SocketHandle socket, const std::string& host, int port);

// One client's connection state: the socket, whether the protocol's session is open, the
// last reply and the inactivity time-out for receiving.
class CSocketConnection {
public:
    // Decides, from everything received so far, whether the reply is complete.
    using CompletionTest = std::function<bool(std::string_view text, std::string_view terminator)>;

    explicit CSocketConnection(unsigned timeoutMs) : m_timeoutMs(timeoutMs) {}
    ~CSocketConnection();
    CSocketConnection(const CSocketConnection&) = delete;
    CSocketConnection& operator=(const CSocketConnection&) = delete;

    // Creates the socket and connects it. On success the session counts as open. On
    // failure the socket stays as created; Close or the destructor closes it.
    bool Open(const std::string& host, int port);

    // Sends the whole text. A peer that has gone away is an ordinary failure, never a
    // signal that ends the program.
    bool Send(std::string_view text);

    // Reads into a buffer of `capacity` bytes (growing by `growth` when it fills) until
    // the reply is complete: by default when `terminator` occurs anywhere in the text.
    // Then the text loses its last terminator-length bytes and the call succeeds. Fails
    // with WSAETIMEDOUT after the time-out passes with no byte arriving (a peer that
    // closed included), or with the socket's error; the text so far becomes the last
    // reply in both cases.
    bool ReceiveUntil(std::string& text, std::size_t capacity, std::string_view terminator,
                      std::size_t growth, const CompletionTest& isComplete = {});

    // POP3 replies: as ReceiveUntil, then the text must begin with "+OK" in any case; it
    // stays in `text` and the last reply is left alone. Otherwise the text becomes the
    // last reply and the call fails with WSAEPROTONOSUPPORT.
    bool ReceiveUntilOk(std::string& text, std::size_t capacity, std::string_view terminator,
                        std::size_t growth, const CompletionTest& isComplete = {});

    // Closes the socket if it is open; the session flag is left to the protocol's Quit.
    void Close();

    SocketHandle Handle() const { return m_socket; }
    bool IsConnected() const { return m_connected; }
    void SetConnected(bool connected) { m_connected = connected; }
    const std::string& LastReply() const { return m_lastReply; }
    void SetLastReply(std::string reply) { m_lastReply = std::move(reply); }
    unsigned Timeout() const { return m_timeoutMs; }

private:
    SocketHandle m_socket = INVALID_SOCKET;
    bool m_connected = false;
    std::string m_lastReply;
    unsigned m_timeoutMs;
};

} // namespace sentrel
