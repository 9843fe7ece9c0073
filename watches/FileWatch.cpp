#include "watches/FileWatch.h"

#include "model/Fields.h"
#include "services/EventLog.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CFileWatch, CWatch, "CFileWatch");

void CFileWatch::VisitFields(IFieldVisitor& v) {
    CWatch::VisitFields(v);
    v.String("containsText", containsText);
    v.String("notContainsText", notContainsText);
    v.String("fileName", fileName);
    v.String("message", message);
    v.Int("messageSource", messageSource);
    v.Int("watchMode", watchMode);
    v.String("lastContents", lastContents);
    v.TimeStamp("lastModified", lastModified);
}

std::string JoinLines(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size());
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            text.append(bytes, start, std::string::npos); // last line without terminator
            break;
        }
        std::size_t lineEnd = end;
        if (lineEnd > start && bytes[lineEnd - 1] == '\r') {
            --lineEnd;
        }
        text.append(bytes, start, lineEnd - start);
        start = end + 1;
    }
    return text;
}

namespace {

// Closes the descriptor on every way out of Check.
class FileHandle {
public:
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

std::string TooLarge(const std::string& path) {
    return "Cannot open " + path + ": it is longer than " + std::to_string(kMaxWatchedFileBytes) +
           " bytes";
}

// The system's words for an error number; safe on any thread.
std::string SystemError(int error) {
    return std::generic_category().message(error);
}

// Reads to the end, or one byte past the limit (too large), whichever comes first.
FileReadResult ReadAll(int fd, const std::string& path, std::string& bytes, std::string& why) {
    char buffer[65536];
    constexpr auto kLimit = static_cast<std::size_t>(kMaxWatchedFileBytes);
    while (true) {
        const std::size_t wanted = std::min(sizeof buffer, kLimit + 1 - bytes.size());
        const ssize_t n = read(fd, buffer, wanted);
        if (n > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
            if (bytes.size() > kLimit) {
                why = TooLarge(path);
                return FileReadResult::OpenFailed;
            }
        } else if (n == 0) {
            return FileReadResult::Ok;
        } else if (const int error = errno; error != EINTR) {
            why = "Cannot read " + path + ": " + SystemError(error);
            return FileReadResult::ReadFailed;
        }
    }
}

} // namespace

std::int64_t StoredTimeStamp(std::int64_t seconds) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(seconds));
}

FileReadResult ReadWatchedFile(const std::string& path, std::string& text, std::int64_t& modified,
                               std::string* why) {
    std::string unasked;
    std::string& reason = why ? *why : unasked;
    // Non-blocking open: a named pipe without a writer must not stall the engine. A folder
    // is not a file that can be opened for reading.
    FileHandle file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (file.get() < 0 || fstat(file.get(), &st) != 0) {
        const int error = errno;
        reason = "Cannot open " + path + ": " + SystemError(error);
        return FileReadResult::OpenFailed;
    }
    if (S_ISDIR(st.st_mode)) {
        reason = "Cannot open " + path + ": " + SystemError(EISDIR);
        return FileReadResult::OpenFailed;
    }
    if (S_ISREG(st.st_mode) && st.st_size > kMaxWatchedFileBytes) {
        reason = TooLarge(path);
        return FileReadResult::OpenFailed;
    }
    std::string bytes;
    if (const FileReadResult result = ReadAll(file.get(), path, bytes, reason);
        result != FileReadResult::Ok) {
        return result;
    }
    text = JoinLines(bytes);
    modified = StoredTimeStamp(static_cast<std::int64_t>(st.st_mtim.tv_sec));
    return FileReadResult::Ok;
}

bool CFileWatch::Check(std::string& outMessage) {
    ResetFailure();
    std::string text;
    std::int64_t modified = 0;
    std::string why;
    switch (ReadWatchedFile(fileName, text, modified, &why)) {
    case FileReadResult::OpenFailed:
        Log("File Watch", "Failed to open file: " + fileName);
        Log("File Watch", why);
        NoteFailure(why);
        return false;
    case FileReadResult::ReadFailed:
        Log("File Watch", "Failed to write to file: " + fileName);
        Log("File Watch", why);
        NoteFailure(why);
        return false;
    case FileReadResult::Ok:
        break;
    }

    bool fire = false;
    switch (watchMode) {
    case 0:
        if (modified != lastModified) {
            lastModified = modified;
            fire = true;
        }
        break;
    case 1:
        if (text != lastContents) {
            lastContents = text;
            fire = true;
        }
        break;
    case 2:
        fire = text.find(containsText) != std::string::npos;
        break;
    case 3:
        fire = text.find(notContainsText) == std::string::npos;
        break;
    default:
        break;
    }
    if (fire) {
        outMessage = messageSource == 0 ? text : message;
    }
    return fire;
}

} // namespace sentrel
