#include "tests/net/RealSmtpServer.h"

#include "tests/support/TestCertificates.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace sentrel::test {

namespace {
constexpr int kStartLimitMs = 20000;
}

CRealSmtpServer::CRealSmtpServer(const std::string& usersJson, const SmtpServerOptions& options) {
    using Tls = SmtpServerOptions::Tls;
    std::string optionsJson = "{\"tls\":\"" +
                              std::string(options.tls == Tls::None       ? "none"
                                          : options.tls == Tls::StartTls ? "starttls"
                                                                         : "implicit") +
                              "\",\"host\":\"" + options.host +
                              "\",\"port\":" + std::to_string(options.port);
    if (options.certificate != nullptr) {
        optionsJson += ",\"key\":\"" + options.certificate->key + "\",\"cert\":\"" +
                       options.certificate->cert + "\"";
    }
    optionsJson += "}";
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    const std::string script = SENTREL_SMTP_SERVER_DIR "/server.js";
    std::vector<std::string> args = {"node", script, m_store.Path(), usersJson, optionsJson};
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const int spawned = posix_spawnp(&m_pid, "node", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    m_stdin = in[1]; // the server ends when this closes, even if the test dies
    if (spawned != 0) {
        close(out[0]);
        m_pid = -1;
        throw std::runtime_error("cannot start node: " + std::to_string(spawned));
    }

    std::string line;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartLimitMs);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{out[0], POLLIN, 0};
        if (poll(&ready, 1, 100) > 0) {
            char buffer[256];
            const ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            line.append(buffer, static_cast<std::size_t>(n));
        }
    }
    close(out[0]);
    if (line.rfind("LISTENING ", 0) != 0) {
        Stop();
        throw std::runtime_error("the SMTP test server did not start (is 'npm ci' done in " +
                                 std::string(SENTREL_SMTP_SERVER_DIR) + "?): " + line);
    }
    m_port = std::stoi(line.substr(10));
}

CRealSmtpServer::~CRealSmtpServer() {
    Stop();
}

void CRealSmtpServer::Stop() {
    if (m_stdin >= 0) {
        close(m_stdin);
        m_stdin = -1;
    }
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
}

std::vector<CRealSmtpServer::Message> CRealSmtpServer::Messages() const {
    std::vector<Message> all;
    for (int n = 1;; ++n) {
        const std::string base = m_store.File(std::to_string(n));
        struct stat info {};
        if (stat((base + ".json").c_str(), &info) != 0) {
            return all;
        }
        all.push_back({ReadFile(base + ".eml"), ReadFile(base + ".json")});
    }
}

std::string CRealSmtpServer::Message::Header(const std::string& name) const {
    const std::string headers = "\r\n" + data.substr(0, data.find("\r\n\r\n") + 2);
    const std::string key = "\r\n" + name + ": ";
    const auto at = headers.find(key);
    if (at == std::string::npos) {
        return {};
    }
    const auto start = at + key.size();
    return headers.substr(start, headers.find("\r\n", start) - start);
}

std::string CRealSmtpServer::Message::Body() const {
    const auto blank = data.find("\r\n\r\n");
    return blank == std::string::npos ? std::string() : data.substr(blank + 4);
}

} // namespace sentrel::test
