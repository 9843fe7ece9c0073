#include "tests/support/NetNamespace.h"

#include "platform/WholeFile.h"

#include <fcntl.h>
#include <grp.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace sentrel::test {

namespace {

std::string Failure(const std::string& what) {
    return "E" + what + ": " + std::strerror(errno);
}

bool LoopbackUp() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    ok = ok && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return ok;
}

// Runs a program of the system (no shell) with stdout going nowhere; true when it exits
// with 0.
bool RunTool(const char* path, const char* name, std::initializer_list<const char*> args) {
    std::vector<const char*> argv{name};
    argv.insert(argv.end(), args);
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        execv(path, const_cast<char* const*>(argv.data()));
        execvp(name, const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// Runs nft with a rule file; true when it exits with 0.
bool RunNft(const std::string& rules) {
    char path[] = "/tmp/sentrel-nft-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) {
        return false;
    }
    const bool written = WriteAll(fd, rules);
    ::close(fd);
    const bool ok = written && RunTool("/usr/sbin/nft", "nft", {"-f", path});
    ::unlink(path);
    return ok;
}

// The child's side: set up, run the body, report "O<output>" or "E<reason>".
std::string SetUpAndRun(const NetNamespaceOptions& options,
                        const std::function<std::string()>& body) {
    if (::unshare(CLONE_NEWNET) != 0) {
        return Failure("cannot create a network namespace (unshare CLONE_NEWNET; needs root "
                       "or CAP_SYS_ADMIN)");
    }
    if (!LoopbackUp()) {
        return Failure("cannot bring up lo in the test's namespace");
    }
    if (options.openPingGroupRange) {
        const int fd = ::open("/proc/sys/net/ipv4/ping_group_range", O_WRONLY | O_CLOEXEC);
        const bool ok = fd >= 0 && WriteAll(fd, "0 2147483647\n");
        if (fd >= 0) {
            ::close(fd);
        }
        if (!ok) {
            return Failure("cannot set net.ipv4.ping_group_range in the test's namespace");
        }
    }
    if (options.silence127_0_0_2 &&
        !RunNft("table ip sentrel_test {\n"
                "  chain input {\n"
                "    type filter hook input priority 0; policy accept;\n"
                "    ip daddr 127.0.0.2 icmp type echo-request drop\n"
                "  }\n"
                "}\n")) {
        return "Ecannot add the nft rule that silences 127.0.0.2 (is nftables installed?)";
    }
    if (options.silenceIpv6Host) {
        const std::string address = std::string(kSilentIpv6Host) + "/128";
        if (!RunTool("/usr/sbin/ip", "ip",
                     {"-6", "addr", "add", address.c_str(), "dev", "lo", "nodad"})) {
            return "Ecannot add " + address + " to lo (is iproute2 installed?)";
        }
        if (!RunNft("table ip6 sentrel_test {\n"
                    "  chain input {\n"
                    "    type filter hook input priority 0; policy accept;\n"
                    "    ip6 daddr " +
                    std::string(kSilentIpv6Host) +
                    " icmpv6 type echo-request drop\n"
                    "  }\n"
                    "}\n")) {
            return "Ecannot add the nft rule that silences " + std::string(kSilentIpv6Host);
        }
    }
    if (options.asNobody) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
            return Failure("cannot switch to the user nobody");
        }
    }
    return "O" + body();
}

} // namespace

NetNamespaceRun RunInNetNamespace(const NetNamespaceOptions& options,
                                  const std::function<std::string()>& body) {
    NetNamespaceRun run;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        run.error = "pipe failed";
        return run;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        run.error = "fork failed";
        return run;
    }
    if (pid == 0) {
        ::close(fds[0]);
        WriteAll(fds[1], SetUpAndRun(options, body));
        ::_exit(0);
    }
    ::close(fds[1]);

    std::string report;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options.limitMs);
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd readable{fds[0], POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            timedOut = ready == 0;
            break;
        }
        char buffer[512];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        report.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    if (timedOut) {
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }

    if (timedOut) {
        run.error = "the child in the test's network namespace took longer than " +
                    std::to_string(options.limitMs) + " ms and was killed";
    } else if (report.empty()) {
        run.error = "the child in the test's network namespace ended without a report";
    } else if (report[0] == 'E') {
        run.error = report.substr(1);
    } else {
        run.ok = true;
        run.output = report.substr(1);
    }
    return run;
}

} // namespace sentrel::test
