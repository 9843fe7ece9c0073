#include "tests/support/ScriptedHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace sentrel::test {

bool ScriptedHttpServer::Connection::Send(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool ScriptedHttpServer::Connection::WaitForStop(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_server.m_mutex);
    return m_server.m_stopped.wait_for(lock, limit, [this] { return m_server.m_stopping; });
}

void ScriptedHttpServer::Connection::RelayTo(int port) {
    const int peer = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (peer < 0 || ::connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (peer >= 0) {
            ::close(peer);
        }
        return;
    }
    pollfd ends[2] = {{m_fd, POLLIN, 0}, {peer, POLLIN, 0}};
    char buffer[16384];
    bool open = true;
    while (open && !WaitForStop(std::chrono::milliseconds(0))) {
        if (::poll(ends, 2, 50) <= 0) {
            continue;
        }
        for (int from = 0; from < 2 && open; ++from) {
            if (ends[from].revents == 0) {
                continue;
            }
            const ssize_t n = ::recv(ends[from].fd, buffer, sizeof buffer, 0);
            const int to = ends[1 - from].fd;
            open = n > 0 && ::send(to, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL) == n;
        }
    }
    ::close(peer);
}

ScriptedHttpServer::ScriptedHttpServer(Script script) : m_script(std::move(script)) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0) {
        throw std::runtime_error("scripted server: socket failed");
    }
    const int yes = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 8) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(m_listener);
        throw std::runtime_error("scripted server: cannot listen on 127.0.0.1");
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

ScriptedHttpServer::~ScriptedHttpServer() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_stopped.notify_all();
    m_thread.join();
    ::close(m_listener);
}

std::string ScriptedHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<std::string> ScriptedHttpServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void ScriptedHttpServer::Serve() {
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping) {
                return;
            }
        }
        pollfd waiting{m_listener, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0) {
            continue;
        }
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        Connection connection(*this, fd);
        // Read the request head; give up on a client that sends nothing for 5 s.
        char buffer[1024];
        while (connection.m_request.find("\r\n\r\n") == std::string::npos) {
            pollfd readable{fd, POLLIN, 0};
            if (::poll(&readable, 1, 5000) <= 0) {
                break;
            }
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                break;
            }
            connection.m_request.append(buffer, static_cast<std::size_t>(n));
        }
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(connection.m_request);
        }
        m_script(connection);
        ::close(fd);
    }
}

} // namespace sentrel::test
