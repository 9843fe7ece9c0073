#pragma once

// One program per store: a lock on "<store>.lock" beside the file a store path finally
// names, held for as long as the object lives. The system lets it go when the process
// ends in any way (flock), so a program that was killed never keeps a store from the
// next one. The file holds the pid of the process that has the lock.

#include <string>
#include <sys/types.h>

namespace sentrel {

class CStoreLock {
public:
    enum class Result { Taken, Held, Failed };

    CStoreLock() = default;
    ~CStoreLock();
    CStoreLock(CStoreLock&& other) noexcept;
    CStoreLock& operator=(CStoreLock&& other) noexcept;
    CStoreLock(const CStoreLock&) = delete;
    CStoreLock& operator=(const CStoreLock&) = delete;

    // Takes the lock of the store at `storePath`, without waiting. Held: another process
    // has it, `holder` is its pid (0 when it could not be told). Failed: no lock file
    // could be made there (a read-only folder, say), `problem` says why; nothing stops a
    // run then, as nothing could stop the one that holds none.
    Result Take(const std::string& storePath, pid_t& holder, std::string& problem);
    bool IsHeld() const { return m_fd >= 0; }
    // The lock file of a store path.
    static std::string PathFor(const std::string& storePath);

private:
    int m_fd = -1;
};

// "Sentrel.bin is in use by another Sentrel (pid N)".
std::string InUseMessage(pid_t holder);

} // namespace sentrel
