#pragma once

// How far a server can make us wait and how much it can make us hold. A server that
// never finishes its reply, or streams without end, must not block the worker or fill
// the memory; real servers stay far below these.

#include <cstddef>

namespace sentrel {

// A command's reply: an SMTP reply, a POP3 status line.
inline constexpr std::size_t kMaxCommandReply = std::size_t{1} << 20; // 1 MiB
// A message (RETR, TOP), a POP3 listing (LIST, UIDL: a line per message in the mailbox)
// and a web page.
inline constexpr std::size_t kMaxMessageReply = std::size_t{64} << 20; // 64 MiB

// Making a TCP connection.
inline constexpr unsigned kConnectTimeoutMs = 60 * 1000;
// The whole of one reply, however steadily it trickles in.
inline constexpr unsigned kReplyTimeLimitMs = 5 * 60 * 1000;

} // namespace sentrel
