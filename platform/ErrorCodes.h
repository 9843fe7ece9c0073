#pragma once

// Failure codes that network and protocol operations leave behind. The numbers are the
// ones the desktop's socket and system libraries use, so logs and tests can name them.

namespace sentrel {

inline constexpr int ERROR_SUCCESS_CODE = 0;
inline constexpr int ERROR_BAD_COMMAND = 22;
inline constexpr int ERROR_INVALID_DATA = 13;
inline constexpr int ERROR_UNEXP_NET_ERR = 59;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEPROTONOSUPPORT = 10043;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAETIMEDOUT = 10060;

// The calling thread's last error, as set by the operation that failed last.
int GetLastError();
void SetLastError(int code);

} // namespace sentrel
