#pragma once

// A scripted HTTP server on 127.0.0.1 for tests that need what a real server will not do
// on demand: stall in the middle of a reply, cut the connection, answer without a status
// line, stand in as a proxy. Each accepted connection's request head is read, recorded and handed
// to the test's script, one connection at a time, on a thread of its own.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sentrel::test {

class ScriptedHttpServer {
public:
    class Connection {
    public:
        // The request line and headers, up to and including the empty line.
        const std::string& Request() const { return m_request; }
        // Sends bytes; false when the peer is gone.
        bool Send(const std::string& bytes);
        // Waits until the server is being stopped or `limit` has passed; true when stopped.
        bool WaitForStop(std::chrono::milliseconds limit);
        // Passes the bytes of this connection both ways to and from 127.0.0.1:`port` until
        // either side closes or the server is stopped, as a proxy's tunnel does.
        void RelayTo(int port);

    private:
        friend class ScriptedHttpServer;
        Connection(ScriptedHttpServer& server, int fd) : m_server(server), m_fd(fd) {}
        ScriptedHttpServer& m_server;
        int m_fd;
        std::string m_request;
    };
    using Script = std::function<void(Connection&)>;

    // Listens at once; the script runs for each connection, which is closed after it.
    explicit ScriptedHttpServer(Script script);
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    int Port() const { return m_port; }
    std::string Url(const std::string& path) const;
    // The request heads received so far, in order.
    std::vector<std::string> Requests() const;

private:
    void Serve();

    Script m_script;
    int m_listener = -1;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    bool m_stopping = false;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

} // namespace sentrel::test
