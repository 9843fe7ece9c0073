#include "tests/support/NginxServer.h"

#include "tests/support/Programs.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

namespace sentrel::test {

namespace {

std::string FindNginx() {
    return FindExecutable({"/usr/sbin/nginx", "/usr/bin/nginx"});
}

std::vector<char*> ArgvOf(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    return argv;
}

} // namespace

bool RunAndCapture(const std::vector<std::string>& args, std::string& output,
                   const std::vector<std::string>& extraEnvironment) {
    const ProgramResult result = RunProgram(args, extraEnvironment);
    output = result.out;
    return result.exitCode == 0;
}

NginxServer::NginxServer() {
    std::filesystem::create_directories(m_dir.File("www"));
    std::filesystem::create_directories(m_dir.File("tmp"));
}

NginxServer::~NginxServer() {
    Stop();
}

void NginxServer::AddFile(const std::string& path, const std::string& content) {
    const std::filesystem::path file = m_dir.File("www") + path;
    std::filesystem::create_directories(file.parent_path());
    WriteFile(file.string(), content);
}

bool NginxServer::AddUser(const std::string& user, const std::string& password,
                          std::string* error) {
    std::string hash;
    if (!RunAndCapture({"openssl", "passwd", "-apr1", password}, hash) || hash.empty()) {
        if (error) {
            *error = "openssl passwd -apr1 failed";
        }
        return false;
    }
    while (!hash.empty() && (hash.back() == '\n' || hash.back() == '\r')) {
        hash.pop_back();
    }
    m_users += user + ":" + hash + "\n";
    WriteFile(m_dir.File("htpasswd"), m_users);
    return true;
}

void NginxServer::AddServerConfig(const std::string& directives) {
    m_serverConfig += directives + "\n";
}

std::string NginxServer::AuthBasic(const std::string& realm) const {
    return "auth_basic \"" + realm + "\"; auth_basic_user_file " + m_dir.File("htpasswd") + ";";
}

void NginxServer::UseTls(const TestCertificate& certificate) {
    m_certificate = certificate;
}

std::string NginxServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::string NginxServer::TlsUrl(const std::string& path, const std::string& host) const {
    return "https://" + host + ":" + std::to_string(m_tlsPort) + path;
}

std::string NginxServer::AccessLog() const {
    // nginx serves one request after the other: once the reply to an unlogged request has
    // come back, every earlier request has been logged.
    if (m_pid > 0) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(m_port));
        if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            const char request[] = "GET /.logged HTTP/1.0\r\n\r\n";
            char reply[256];
            if (::send(fd, request, sizeof request - 1, MSG_NOSIGNAL) > 0) {
                while (::recv(fd, reply, sizeof reply, 0) > 0) {
                }
            }
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }
    return std::filesystem::exists(m_dir.File("access.log")) ? ReadFile(m_dir.File("access.log"))
                                                             : std::string();
}

bool NginxServer::Start(std::string* error) {
    if (FindNginx().empty()) {
        if (error) {
            *error = "nginx is not installed (scripts/install-deps.sh installs it)";
        }
        return false;
    }
    return StartOnAFreePort([&](bool* portTaken) { return StartOnce(error, portTaken); });
}

bool NginxServer::StartOnce(std::string* error, bool* portTaken) {
    m_port = FreeLoopbackPort();
    std::string tls;
    if (!m_certificate.cert.empty()) {
        do {
            m_tlsPort = FreeLoopbackPort();
        } while (m_tlsPort == m_port);
        const std::string port = std::to_string(m_tlsPort);
        tls = "    listen 127.0.0.1:" + port + " ssl;\n    listen [::1]:" + port +
              " ssl;\n    ssl_certificate " + m_certificate.cert + ";\n    ssl_certificate_key " +
              m_certificate.key + ";\n";
    }
    const std::string dir = m_dir.Path();
    const std::string config =
        "daemon off;\n"
        "master_process off;\n"
        "worker_processes 1;\n"
        "pid " +
        dir +
        "/nginx.pid;\n"
        "error_log " +
        dir +
        "/error.log info;\n"
        "events { worker_connections 64; }\n"
        "http {\n"
        "  log_format sentrel '$request|$status|$http_user_agent|$http_accept|"
        "$http_authorization|$http_cache_control';\n"
        "  access_log " +
        dir +
        "/access.log sentrel;\n"
        "  client_body_temp_path " +
        dir +
        "/tmp/body;\n"
        "  proxy_temp_path " +
        dir +
        "/tmp/proxy;\n"
        "  fastcgi_temp_path " +
        dir +
        "/tmp/fastcgi;\n"
        "  uwsgi_temp_path " +
        dir +
        "/tmp/uwsgi;\n"
        "  scgi_temp_path " +
        dir +
        "/tmp/scgi;\n"
        "  default_type text/html;\n"
        "  server {\n"
        "    listen 127.0.0.1:" +
        std::to_string(m_port) + ";\n" + tls +
        "    server_name localhost;\n"
        "    location = /.logged { access_log off; return 204; }\n"
        "    root " +
        dir + "/www;\n" + m_serverConfig +
        "  }\n"
        "}\n";
    WriteFile(m_dir.File("nginx.conf"), config);

    const std::string nginx = FindNginx();
    const std::vector<std::string> args = {nginx,     "-c", m_dir.File("nginx.conf"), "-p",
                                           dir + "/", "-e", m_dir.File("error.log")};
    const pid_t pid = ::fork();
    if (pid < 0) {
        if (error) {
            *error = "fork failed";
        }
        return false;
    }
    if (pid == 0) {
        const int out = ::open((dir + "/stderr.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out >= 0) {
            ::dup2(out, STDOUT_FILENO);
            ::dup2(out, STDERR_FILENO);
        }
        auto argv = ArgvOf(args);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    m_pid = pid;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (LoopbackPortAnswers(m_port)) {
            return true;
        }
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            std::string log;
            for (const char* name : {"stderr.log", "error.log"}) {
                if (std::filesystem::exists(m_dir.File(name))) {
                    log += ReadFile(m_dir.File(name));
                }
            }
            *portTaken = log.find("Address already in use") != std::string::npos;
            if (error) {
                *error = "nginx exited at start: " + log;
            }
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (error) {
        *error = "nginx did not accept connections within 10 s";
    }
    Stop();
    return false;
}

void NginxServer::Stop() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(m_pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (::waitpid(m_pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_pid = -1;
}

} // namespace sentrel::test
