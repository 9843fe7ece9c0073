#pragma once

// Runs a piece of a test in a forked child: for process-wide settings (resource limits)
// and for running as an ordinary user when the tests run as root, where folder
// permissions would not stop anything.

#include <cstdio>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace sentrel::test {

// True when `body` returned true in the child. With `unprivileged`, a child of root first
// becomes the user and group "nobody" (65534).
inline bool RunInChild(const std::function<bool()>& body, bool unprivileged = false) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid < 0) {
        return false;
    }
    if (pid == 0) {
        if (unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(3);
        }
        const bool ok = body();
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) {
        return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace sentrel::test
