#include "platform/StoreLock.h"

#include "platform/WholeFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace sentrel {

namespace {

// The pid the lock file holds; 0 when there is none yet (its holder is still writing it).
pid_t ReadHolder(int fd) {
    char text[32] = {};
    const ssize_t n = pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) {
        return 0;
    }
    const long pid = std::strtol(text, nullptr, 10);
    return pid > 0 ? static_cast<pid_t>(pid) : 0;
}

} // namespace

CStoreLock::~CStoreLock() {
    if (m_fd >= 0) {
        close(m_fd); // the lock goes with the descriptor; the file stays for the next run
    }
}

CStoreLock::CStoreLock(CStoreLock&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

CStoreLock& CStoreLock::operator=(CStoreLock&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

std::string CStoreLock::PathFor(const std::string& storePath) {
    return FollowLinks(storePath) + ".lock";
}

CStoreLock::Result CStoreLock::Take(const std::string& storePath, pid_t& holder,
                                    std::string& problem) {
    holder = 0;
    const std::string path = PathFor(storePath);
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        problem = "cannot open " + path + ": " + std::strerror(errno);
        return Result::Failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            // The holder writes its pid right after taking the lock: give it a moment.
            for (int attempt = 0; attempt < 20 && holder == 0; ++attempt) {
                holder = ReadHolder(fd);
                if (holder == 0) {
                    usleep(10 * 1000);
                }
            }
            close(fd);
            return Result::Held;
        }
        close(fd);
        problem = "cannot lock " + path + ": " + std::strerror(error);
        return Result::Failed;
    }
    const std::string pid = std::to_string(getpid()) + "\n";
    // Locked even when this fails: only the message of a second run then lacks the pid.
    [[maybe_unused]] const bool told =
        ftruncate(fd, 0) == 0 && pwrite(fd, pid.data(), pid.size(), 0) > 0;
    if (m_fd >= 0) {
        close(m_fd);
    }
    m_fd = fd;
    return Result::Taken;
}

std::string InUseMessage(pid_t holder) {
    std::string text = "Sentrel.bin is in use by another Sentrel";
    if (holder > 0) {
        text += " (pid " + std::to_string(holder) + ")";
    }
    return text;
}

} // namespace sentrel
