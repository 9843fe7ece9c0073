// Reading one large message over POP3 (RETR) from a server thread on 127.0.0.1.
//   mail_read_bench [--benchmark_repetitions=N ...]
// The message: 50 MB of 78-character lines, sent in one go after the status line.

#include "net/Pop3Client.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace sentrel;

constexpr std::size_t kMessageBytes = 50 * 1000 * 1000;

std::string Message() {
    std::string line(76, 'x');
    line += "\r\n";
    std::string text;
    text.reserve(kMessageBytes + line.size());
    while (text.size() < kMessageBytes) {
        text += line;
    }
    return text;
}

// Answers one client: a mailbox of one message of `message.size()` bytes.
class MailboxThread {
public:
    explicit MailboxThread(const std::string& message) : m_message(message) {
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listener < 0 ||
            bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(m_listener, 1) != 0 ||
            getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot listen on 127.0.0.1");
        }
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~MailboxThread() {
        m_thread.join();
        close(m_listener);
    }
    int Port() const { return m_port; }

private:
    void Write(int fd, const std::string& text) {
        for (std::size_t sent = 0; sent < text.size();) {
            const ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                return;
            }
            sent += static_cast<std::size_t>(n);
        }
    }

    void Serve() {
        const int fd = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        const std::string size = std::to_string(m_message.size());
        Write(fd, "+OK ready\r\n");
        std::string pending;
        char buffer[256];
        for (;;) {
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                break;
            }
            pending.append(buffer, static_cast<std::size_t>(n));
            std::size_t end;
            while ((end = pending.find("\r\n")) != std::string::npos) {
                const std::string command = pending.substr(0, end);
                pending.erase(0, end + 2);
                if (command == "STAT") {
                    Write(fd, "+OK 1 " + size + "\r\n");
                } else if (command == "LIST") {
                    Write(fd, "+OK\r\n1 " + size + "\r\n.\r\n");
                } else if (command == "RETR 1") {
                    Write(fd, "+OK\r\n" + m_message + ".\r\n");
                } else {
                    Write(fd, "+OK\r\n");
                }
            }
        }
        close(fd);
    }

    const std::string& m_message;
    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
};

void BM_Retrieve50MB(benchmark::State& state) {
    static const std::string message = Message();
    for (auto _ : state) {
        state.PauseTiming();
        MailboxThread server(message);
        CPop3Client client;
        if (!client.Login("127.0.0.1", "ann", "secret", server.Port())) {
            state.SkipWithError("login failed");
            break;
        }
        unsigned size = 0;
        client.GetMessageSize(1, size); // STAT and LIST outside the timing
        CPop3Message holder;
        state.ResumeTiming();
        if (!client.RetrieveMessage(1, holder)) {
            state.SkipWithError("RETR failed");
            break;
        }
        state.PauseTiming();
        benchmark::DoNotOptimize(holder.Text().size());
        client.Quit();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(message.size()));
}
BENCHMARK(BM_Retrieve50MB)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

} // namespace

BENCHMARK_MAIN();
