#pragma once

// A TCP server on 127.0.0.1 for protocol tests. It listens on a free port and runs the
// test's handler for each connection in turn, on its own thread; the handler reads and
// writes through a CServerSession and records every byte the client sent.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace sentrel::test {

class CServerSession {
public:
    explicit CServerSession(int socket) : m_socket(socket) {}

    // Reads up to and including the next CR LF; what arrived if the client closes first.
    std::string ReadLine();
    // Reads up to and including the terminator.
    std::string ReadUntil(std::string_view terminator);
    // Reads until the client closes (or 10 s pass).
    std::string ReadToEnd();
    // Writes the bytes as one segment.
    void Write(std::string_view bytes);
    // Writes each piece as its own segment, pausing between them so the client sees them
    // arrive separately.
    void WriteEach(const std::vector<std::string>& pieces, int pauseMs = 30);
    // Writes each byte as its own segment.
    void WriteBytewise(std::string_view bytes, int pauseMs = 2);
    void Pause(int ms);
    // Closes the connection now.
    void Close();

    const std::string& Received() const { return m_received; }

private:
    bool ReadMore();

    int m_socket;
    std::string m_received;
    std::string m_pending; // read but not yet handed out
};

class CLoopbackServer {
public:
    using Handler = std::function<void(CServerSession&)>;

    explicit CLoopbackServer(Handler handler);
    ~CLoopbackServer();
    CLoopbackServer(const CLoopbackServer&) = delete;
    CLoopbackServer& operator=(const CLoopbackServer&) = delete;

    int Port() const { return m_port; }

    // Finishes the connections already made, then stops accepting. Call it after the
    // client is gone, before reading the transcripts.
    void Stop();

    // Every byte each connection's client sent, one entry per connection.
    std::vector<std::string> Transcripts();
    // The first connection's bytes ("" when there was none).
    std::string Transcript();

private:
    void Run();

    Handler m_handler;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::string> m_transcripts;
    std::thread m_thread;
};

// A port on 127.0.0.1 that nothing listens on (for refused connections).
int UnusedLoopbackPort();

} // namespace sentrel::test
