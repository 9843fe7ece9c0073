#include "tests/support/Programs.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sentrel::test {

CStartedProgram::CStartedProgram(const std::vector<std::string>& argv,
                                 const std::vector<std::string>& environment)
    : m_dir(std::make_unique<TempDir>()) {
    if (argv.empty()) {
        return;
    }
    const std::string outPath = m_dir->File("stdout");
    const std::string errPath = m_dir->File("stderr");
    m_pid = fork();
    if (m_pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0) {
            _exit(127);
        }
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        for (const std::string& setting : environment) {
            const auto equals = setting.find('=');
            if (equals != std::string::npos) {
                setenv(setting.substr(0, equals).c_str(), setting.c_str() + equals + 1, 1);
            }
        }
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
}

CStartedProgram::~CStartedProgram() {
    if (m_pid > 0) {
        Wait();
    }
}

ProgramResult CStartedProgram::Wait() {
    ProgramResult result;
    if (m_pid <= 0) {
        return result;
    }
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadFile(m_dir->File("stdout"));
    result.err = ReadFile(m_dir->File("stderr"));
    return result;
}

std::string FindExecutable(const std::vector<std::string>& candidates) {
    for (const std::string& path : candidates) {
        if (access(path.c_str(), X_OK) == 0) {
            return path;
        }
    }
    return {};
}

int FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) {
        close(fd);
    }
    return port;
}

bool LoopbackPortAnswers(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

bool StartOnAFreePort(const std::function<bool(bool* portTaken)>& startOnce) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        bool portTaken = false;
        if (startOnce(&portTaken)) {
            return true;
        }
        if (!portTaken) {
            return false;
        }
    }
    return false;
}

} // namespace sentrel::test
