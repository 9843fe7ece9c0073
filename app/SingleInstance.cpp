#include "app/SingleInstance.h"

#include <QSocketNotifier>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace sentrel {

namespace {

// FNV-1a: the same name for the same path in every build.
std::uint64_t NameHash(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

// An abstract socket (no file to go stale when a start is killed), named after the user
// and the store's lock, so that each store has its own.
sockaddr_un AddressFor(const std::string& lockPath, socklen_t& length) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name =
        "sentrel/" + std::to_string(geteuid()) + "/" + std::to_string(NameHash(lockPath));
    address.sun_path[0] = '\0';
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return address;
}

} // namespace

CShowRequests::CShowRequests(const std::string& lockPath, std::function<void()> onShow,
                             QObject* parent)
    : QObject(parent), m_onShow(std::move(onShow)) {
    socklen_t length = 0;
    const sockaddr_un address = AddressFor(lockPath, length);
    m_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0) {
        return;
    }
    if (bind(m_fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        listen(m_fd, 8) != 0) {
        close(m_fd); // a later start then finds no one to ask, and ends all the same
        m_fd = -1;
        return;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CShowRequests::OnConnection);
}

CShowRequests::~CShowRequests() {
    delete m_notifier;
    if (m_fd >= 0) {
        close(m_fd);
    }
}

void CShowRequests::OnConnection() {
    for (;;) {
        const int peer = accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer < 0) {
            return;
        }
        // Anyone on the machine may reach an abstract socket: only the user's own starts
        // are listened to.
        ucred credentials{};
        socklen_t size = sizeof credentials;
        const bool own = getsockopt(peer, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
                         credentials.uid == geteuid();
        close(peer);
        if (own && m_onShow) {
            m_onShow();
        }
    }
}

bool AskToShow(const std::string& lockPath) {
    socklen_t length = 0;
    const sockaddr_un address = AddressFor(lockPath, length);
    // The first start listens once its window is made: wait up to five seconds for it.
    for (int attempt = 0; attempt < 50; ++attempt) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return false;
        }
        const bool connected =
            connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
        close(fd);
        if (connected) {
            return true;
        }
        usleep(100 * 1000);
    }
    return false;
}

} // namespace sentrel
