#pragma once

// A TCP server on 127.0.0.1 (or ::1) for protocol tests. It listens on a free port and
// runs the test's handler for each connection in turn, on its own thread; the handler
// reads and writes through a CServerSession, in plain text or, once it has started it,
// through TLS, and records every byte the client sent.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace sentrel::test {

struct TestCertificate;

class CServerSession {
public:
    explicit CServerSession(int socket);
    ~CServerSession();
    CServerSession(const CServerSession&) = delete;
    CServerSession& operator=(const CServerSession&) = delete;

    // The server's side of a TLS handshake with this certificate; from then on reads and
    // writes go through TLS. The transcript shows "<TLS>" where it began, or "<TLS name>"
    // when the client asked for the server by name (SNI). False when the handshake failed.
    bool StartTls(const TestCertificate& certificate);

    // Reads up to and including the next CR LF; what arrived if the client closes first.
    std::string ReadLine();
    // Reads up to and including the terminator.
    std::string ReadUntil(std::string_view terminator);
    // Reads `count` bytes; what arrived if the client closes first.
    std::string Read(std::size_t count);
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

    struct Tls;

    int m_socket;
    std::unique_ptr<Tls> m_tls;
    std::string m_received;
    std::string m_pending; // read but not yet handed out
};

class CLoopbackServer {
public:
    using Handler = std::function<void(CServerSession&)>;

    explicit CLoopbackServer(Handler handler, bool ipv6 = false);
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
