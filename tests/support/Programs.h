#pragma once

// Running a real program from a test (its exit code and what it printed), and the
// loopback ports that test servers listen on.

#include "tests/support/TestSupport.h"

#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace sentrel::test {

struct ProgramResult {
    int exitCode = -1; // -1 when it could not start or died of a signal
    std::string out;
    std::string err;
};

// A program started without waiting; standard output and error go to files of its own.
class CStartedProgram {
public:
    // argv[0] is a path or a name looked up on PATH; `environment` holds "NAME=value"
    // entries added to (or replacing those of) the test's own environment.
    CStartedProgram(const std::vector<std::string>& argv,
                    const std::vector<std::string>& environment = {});
    ~CStartedProgram();
    CStartedProgram(const CStartedProgram&) = delete;
    CStartedProgram& operator=(const CStartedProgram&) = delete;

    pid_t Pid() const { return m_pid; }
    // Waits for the program to end (once) and returns what it did.
    ProgramResult Wait();

private:
    std::unique_ptr<TempDir> m_dir;
    pid_t m_pid = -1;
};

// The first candidate path that is an executable file, or empty.
std::string FindExecutable(const std::vector<std::string>& candidates);

// A port on 127.0.0.1 that was free a moment ago.
int FreeLoopbackPort();

// True when something accepts connections on 127.0.0.1:port.
bool LoopbackPortAnswers(int port);

// Starts a test server with `startOnce`, which picks a free port each time; tries again
// (a few times) when it reports that another process took the port before the server
// could bind it.
bool StartOnAFreePort(const std::function<bool(bool* portTaken)>& startOnce);

inline ProgramResult RunProgram(const std::vector<std::string>& argv,
                                const std::vector<std::string>& environment = {}) {
    return CStartedProgram(argv, environment).Wait();
}

} // namespace sentrel::test
