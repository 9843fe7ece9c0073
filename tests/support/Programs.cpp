#include "tests/support/Programs.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
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

} // namespace sentrel::test
