#include "platform/WholeFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace sentrel {

namespace {

const char kSavingInfix[] = ".saving.";
constexpr std::size_t kSavingSuffixLength = 6; // what mkostemp puts for the X's

bool IsSavingName(const std::string& name, const std::string& fileName) {
    const std::string prefix = fileName + kSavingInfix;
    return name.size() == prefix.size() + kSavingSuffixLength && name.rfind(prefix, 0) == 0 &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// A new temporary file beside `path`, locked while it is written; -1 when none could be
// made.
int CreateSavingFile(const std::string& path, std::string& temp) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        temp = path + kSavingInfix + std::string(kSavingSuffixLength, 'X');
        const int fd = mkostemp(temp.data(), O_CLOEXEC); // 0600: a store holds passwords
        if (fd < 0) {
            return -1;
        }
        // A sweep of leftovers may have taken the file before the lock was on it.
        struct stat st {};
        if (flock(fd, LOCK_EX) != 0 || (fstat(fd, &st) == 0 && st.st_nlink > 0)) {
            return fd;
        }
        close(fd);
    }
    return -1;
}

} // namespace

OpenResult OpenForReading(const std::string& path, int& fd, struct stat& st, std::string& reason) {
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) {
            return OpenResult::Missing;
        }
        reason = std::strerror(errno);
        return OpenResult::Unreadable;
    }
    if (fstat(fd, &st) != 0) {
        reason = std::strerror(errno);
    } else if (S_ISDIR(st.st_mode)) {
        reason = std::strerror(EISDIR);
    } else if (!S_ISREG(st.st_mode)) {
        reason = "not a regular file";
    } else {
        return OpenResult::Opened;
    }
    close(fd);
    fd = -1;
    return OpenResult::Unreadable;
}

ClosedAtEnd::~ClosedAtEnd() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}

std::size_t ReadSome(int fd, char* into, std::size_t max) {
    for (;;) {
        const ssize_t n = read(fd, into, max);
        if (n >= 0) {
            return static_cast<std::size_t>(n);
        }
        if (errno != EINTR) {
            throw ReadFailed{std::strerror(errno)};
        }
    }
}

std::string ReadWhole(int fd) {
    std::string bytes;
    char piece[64 * 1024];
    for (;;) {
        const ssize_t n = pread(fd, piece, sizeof piece, static_cast<off_t>(bytes.size()));
        if (n == 0) {
            return bytes;
        }
        if (n > 0) {
            bytes.append(piece, static_cast<std::size_t>(n));
        } else if (errno != EINTR) {
            throw ReadFailed{std::strerror(errno)};
        }
    }
}

bool WriteAll(int fd, std::string_view data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FollowLinks(std::string path) {
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            break;
        }
        std::string target(static_cast<std::size_t>(st.st_size) + 1, '\0');
        const ssize_t n = readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) {
            break;
        }
        target.resize(static_cast<std::size_t>(n));
        path = target.front() == '/' ? target : FolderOf(path) + "/" + target;
    }
    return path;
}

bool ReplaceFileAtomically(const std::string& path, const std::function<void(int fd)>& write,
                           const std::function<void()>& written) {
    std::string temp;
    const int fd = CreateSavingFile(path, temp);
    if (fd < 0) {
        return false;
    }
    try {
        write(fd);
    } catch (...) {
        unlink(temp.c_str());
        close(fd);
        throw;
    }
    if (written) {
        written();
    }
    if (fsync(fd) != 0 || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        close(fd);
        return false;
    }
    close(fd); // the bytes are on disk already (fsync)
    const int dir = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir); // make the rename itself durable
        close(dir);
    }
    return true;
}

void RemoveReplaceLeftovers(const std::string& path) {
    const std::string folder = FolderOf(path);
    const std::string fileName = NameOf(path);
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (!IsSavingName(name, fileName)) {
            continue;
        }
        const std::string leftover = folder + "/" + name;
        const int fd = open(leftover.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) {
            continue;
        }
        struct stat st {};
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
            flock(fd, LOCK_EX | LOCK_NB) == 0) {
            unlink(leftover.c_str());
        }
        close(fd);
    }
    closedir(dir);
}

NewFile WriteNewFile(const std::string& path, std::string_view bytes, std::string& error) {
    error.clear();
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        if (errno == EEXIST) {
            return NewFile::Exists;
        }
        error = std::strerror(errno);
        return NewFile::Failed;
    }
    if (!WriteAll(fd, bytes) || fsync(fd) != 0) {
        error = std::strerror(errno);
    }
    if (close(fd) != 0 && error.empty()) {
        error = std::strerror(errno);
    }
    if (!error.empty()) {
        unlink(path.c_str());
        return NewFile::Failed;
    }
    return NewFile::Written;
}

} // namespace sentrel
