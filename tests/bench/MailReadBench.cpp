// Reading one large message over POP3 (RETR) from a server thread on 127.0.0.1, in plain
// text and through TLS; and logging in through TLS, which loads the CA store and runs the
// handshake.
//   mail_read_bench [--benchmark_repetitions=N ...]
// The message: 50 MB of 78-character lines, sent in one go after the status line.

#include "net/Pop3Client.h"
#include "tests/support/TestCertificates.h"

#include <benchmark/benchmark.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
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

// Answers one client: a mailbox of one message of `message.size()` bytes; with a
// certificate, in TLS from the start.
class MailboxThread {
public:
    explicit MailboxThread(const std::string& message, const test::TestCertificate* tls = nullptr)
        : m_message(message), m_certificate(tls) {
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
            const ssize_t n =
                m_ssl != nullptr
                    ? SSL_write(
                          m_ssl, text.data() + sent,
                          static_cast<int>(std::min<std::size_t>(text.size() - sent, 1 << 20)))
                    : send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                return;
            }
            sent += static_cast<std::size_t>(n);
        }
    }

    ssize_t Read(int fd, char* buffer, std::size_t size) {
        return m_ssl != nullptr ? SSL_read(m_ssl, buffer, static_cast<int>(size))
                                : recv(fd, buffer, size, 0);
    }

    void Serve() {
        const int fd = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        // As mail servers do: a greeting right after the handshake's tickets goes out at
        // once, without waiting for the client's delayed acknowledgement.
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        SSL_CTX* context = nullptr;
        if (m_certificate != nullptr) {
            context = SSL_CTX_new(TLS_server_method());
            SSL_CTX_use_certificate_file(context, m_certificate->cert.c_str(), SSL_FILETYPE_PEM);
            SSL_CTX_use_PrivateKey_file(context, m_certificate->key.c_str(), SSL_FILETYPE_PEM);
            m_ssl = SSL_new(context);
            SSL_set_fd(m_ssl, fd);
            if (SSL_accept(m_ssl) != 1) {
                SSL_free(m_ssl);
                SSL_CTX_free(context);
                close(fd);
                return;
            }
        }
        const std::string size = std::to_string(m_message.size());
        Write(fd, "+OK ready\r\n");
        std::string pending;
        char buffer[256];
        for (;;) {
            const ssize_t n = Read(fd, buffer, sizeof buffer);
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
                } else if (command == "CAPA") {
                    Write(fd, "-ERR unknown command\r\n");
                } else if (command == "RETR 1") {
                    Write(fd, "+OK\r\n" + m_message + ".\r\n");
                } else {
                    Write(fd, "+OK\r\n");
                }
            }
        }
        SSL_free(m_ssl);
        SSL_CTX_free(context);
        close(fd);
    }

    const std::string& m_message;
    const test::TestCertificate* m_certificate;
    SSL* m_ssl = nullptr;
    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
};

bool LogIn(CPop3Client& client, const MailboxThread& server, bool tls) {
    return client.Login("127.0.0.1", "ann", "secret", server.Port(),
                        tls ? TlsUse::Implicit : TlsUse::IfOffered);
}

// Arg 0: plain text; 1: TLS.
void BM_Retrieve50MB(benchmark::State& state) {
    static const std::string message = Message();
    const bool tls = state.range(0) == 1;
    const auto& certificates = test::Certificates();
    test::ScopedTrust trust(certificates.caFile, {});
    for (auto _ : state) {
        state.PauseTiming();
        MailboxThread server(message, tls ? &certificates.valid : nullptr);
        CPop3Client client;
        if (!LogIn(client, server, tls)) {
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
BENCHMARK(BM_Retrieve50MB)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5);

// Connect, TLS handshake (with the system's CA store read) and USER/PASS, against a login
// in plain text. Arg 0: plain text; 1: TLS.
void BM_Login(benchmark::State& state) {
    static const std::string message = "Subject: x\r\n\r\nx\r\n";
    const bool tls = state.range(0) == 1;
    const auto& certificates = test::Certificates();
    test::ScopedTrust trust(certificates.caFile, {});
    for (auto _ : state) {
        state.PauseTiming();
        MailboxThread server(message, tls ? &certificates.valid : nullptr);
        state.ResumeTiming();
        CPop3Client client;
        if (!LogIn(client, server, tls)) {
            state.SkipWithError("login failed");
            break;
        }
        state.PauseTiming();
        client.Quit();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Login)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(20)->Repetitions(5);

} // namespace

BENCHMARK_MAIN();
