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
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEMSGSIZE = 10040;
inline constexpr int WSAEAFNOSUPPORT = 10047;
inline constexpr int WSAENETUNREACH = 10051;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAESHUTDOWN = 10058;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAEHOSTUNREACH = 10065;

// The last-error value for an errno left by a socket call; ERROR_UNEXP_NET_ERR for the
// ones without a socket number of their own.
int SocketErrorFromErrno(int error);

// The calling thread's last error, as set by the operation that failed last.
int GetLastError();
void SetLastError(int code);

} // namespace sentrel
