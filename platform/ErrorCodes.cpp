#include "platform/ErrorCodes.h"

#include <cerrno>

namespace sentrel {

namespace {
thread_local int t_lastError = 0;
}

int GetLastError() {
    return t_lastError;
}
void SetLastError(int code) {
    t_lastError = code;
}

int SocketErrorFromErrno(int error) {
    switch (error) {
    case ETIMEDOUT:
        return WSAETIMEDOUT;
    case ECONNREFUSED:
        return WSAECONNREFUSED;
    case ECONNRESET:
        return WSAECONNRESET;
    case ECONNABORTED:
        return WSAECONNABORTED;
    case EPIPE:
        return WSAESHUTDOWN;
    case ENOTCONN:
        return WSAENOTCONN;
    case ENETUNREACH:
        return WSAENETUNREACH;
    case EHOSTUNREACH:
        return WSAEHOSTUNREACH;
    case EACCES:
    case EPERM:
        return WSAEACCES;
    case EMFILE:
    case ENFILE:
        return WSAEMFILE;
    case EMSGSIZE:
        return WSAEMSGSIZE;
    case EAFNOSUPPORT:
        return WSAEAFNOSUPPORT;
    case EPROTONOSUPPORT:
    case ESOCKTNOSUPPORT:
        return WSAEPROTONOSUPPORT;
    case ENOBUFS:
    case ENOMEM:
        return WSAENOBUFS;
    case EINVAL:
        return WSAEINVAL;
    default:
        return ERROR_UNEXP_NET_ERR;
    }
}

} // namespace sentrel
