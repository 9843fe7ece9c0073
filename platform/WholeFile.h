#pragma once

// Files read and written whole: opening a file for reading without ever waiting on a pipe
// or a device in its place, and replacing a file atomically (a temporary file beside it,
// locked while it is written, flushed to disk and renamed over it; through a symbolic
// link, the file the link names), with the sweep of what a killed writer left behind.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace sentrel {

enum class OpenResult { Opened, Missing, Unreadable };

// Opens a regular file for reading. Only a file that does not exist is Missing; anything
// else that keeps it from being read is Unreadable, with the reason.
OpenResult OpenForReading(const std::string& path, int& fd, struct stat& st, std::string& reason);

// Closes a file descriptor when it goes out of scope.
class ClosedAtEnd {
public:
    explicit ClosedAtEnd(int fd) : m_fd(fd) {}
    ~ClosedAtEnd();
    ClosedAtEnd(const ClosedAtEnd&) = delete;
    ClosedAtEnd& operator=(const ClosedAtEnd&) = delete;

private:
    int m_fd;
};

// Thrown when a file's bytes cannot be read (an I/O error): the reason.
struct ReadFailed {
    std::string reason;
};

// Reads at most `max` bytes at the file position; 0 at the end. Throws ReadFailed.
std::size_t ReadSome(int fd, char* into, std::size_t max);
// The whole file, from its first byte to its end as it is now. Throws ReadFailed.
std::string ReadWhole(int fd);

// Writes all of `data`; false (errno set) when the file takes no more.
bool WriteAll(int fd, std::string_view data);

std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

// The file a path finally names, following symbolic links (also to a file that does not
// exist yet), so that a replacement keeps the link.
std::string FollowLinks(std::string path);

// Has `write` fill a new file (owner-only) in the folder of `path` and, once it returned,
// calls `written` (the writer's source is no longer needed), flushes the file to disk and
// renames it over `path`. The old file stays untouched until the rename; when anything
// fails, including `write` throwing (which is passed on), the new file is removed and the
// old one stays as it was. The temporary file is "<path>.saving.XXXXXX".
bool ReplaceFileAtomically(const std::string& path, const std::function<void(int fd)>& write,
                           const std::function<void()>& written = {});

// Removes the temporary files that replacements killed half-way left beside `path`: only
// files of their naming, owned by this user, and not locked by a writer still at work.
void RemoveReplaceLeftovers(const std::string& path);

// Writes `bytes` to a new owner-only file at `path`, flushed to disk; never over a file or
// a link that is there. When it fails, nothing is left at `path` and `error` says why.
enum class NewFile { Written, Exists, Failed };
NewFile WriteNewFile(const std::string& path, std::string_view bytes, std::string& error);

} // namespace sentrel
