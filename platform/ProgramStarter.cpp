#include "platform/ProgramStarter.h"
#include "platform/Text.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace sentrel {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// The path to execute for a program name, or empty.
std::string FindExecutable(const std::string& name) {
    if (name.empty()) {
        return {};
    }
    if (name.find('/') != std::string::npos) {
        return IsExecutableFile(name) ? name : std::string();
    }
    const char* env = std::getenv("PATH");
    const std::string path = env ? env : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        // An empty entry is the working folder.
        const std::string candidate =
            (end == start ? std::string(".") : path.substr(start, end - start)) + "/" + name;
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

} // namespace

std::vector<std::string> SplitArguments(std::string_view text) {
    std::vector<std::string> args;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (true) {
        while (i < n && IsSpaceOrTab(text[i])) {
            ++i;
        }
        if (i >= n) {
            break;
        }
        std::string arg;
        bool quoted = false;
        while (i < n) {
            std::size_t slashes = 0;
            while (i < n && text[i] == '\\') {
                ++slashes;
                ++i;
            }
            if (i < n && text[i] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    arg += '"'; // escaped quote
                    ++i;
                } else if (quoted && i + 1 < n && text[i + 1] == '"') {
                    arg += '"'; // doubled quote inside quotes
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
                continue;
            }
            arg.append(slashes, '\\');
            if (i >= n || (!quoted && IsSpaceOrTab(text[i]))) {
                break;
            }
            arg += text[i++];
        }
        args.push_back(std::move(arg));
    }
    return args;
}

ParsedCommandLine ParseCommandLine(const std::string& commandLine) {
    ParsedCommandLine result;
    std::size_t start = 0;
    while (start < commandLine.size() && IsSpaceOrTab(commandLine[start])) {
        ++start;
    }
    if (start >= commandLine.size()) {
        return result;
    }
    if (commandLine[start] == '"') {
        const std::size_t close = commandLine.find('"', start + 1);
        const std::size_t end = close == std::string::npos ? commandLine.size() : close;
        result.program = FindExecutable(commandLine.substr(start + 1, end - start - 1));
        if (!result.program.empty()) {
            const std::size_t rest = close == std::string::npos ? end : close + 1;
            result.arguments = SplitArguments(std::string_view(commandLine).substr(rest));
        }
        return result;
    }
    // Unquoted: try every prefix that ends before a blank, shortest first, then the whole.
    for (std::size_t i = start + 1; i <= commandLine.size(); ++i) {
        const bool endsHere = i == commandLine.size() || IsSpaceOrTab(commandLine[i]);
        if (!endsHere || IsSpaceOrTab(commandLine[i - 1])) {
            continue;
        }
        const std::string found = FindExecutable(commandLine.substr(start, i - start));
        if (!found.empty()) {
            result.program = found;
            result.arguments = SplitArguments(std::string_view(commandLine).substr(i));
            return result;
        }
    }
    return result;
}

bool PosixProgramStarter::Start(const std::string& program, const std::string& arguments) {
    ParsedCommandLine parsed;
    struct stat st {};
    if (program.find('/') != std::string::npos && stat(program.c_str(), &st) == 0 &&
        !S_ISDIR(st.st_mode)) {
        parsed.program = program;
    } else {
        parsed = ParseCommandLine(program);
    }
    if (parsed.program.empty()) {
        return false;
    }
    if (!arguments.empty()) {
        parsed.arguments.push_back(arguments);
    }
    // Everything the intermediate process needs is prepared here: after fork it may only
    // make async-signal-safe calls.
    std::vector<std::string> strings;
    strings.reserve(parsed.arguments.size() + 1);
    strings.push_back(parsed.program);
    strings.insert(strings.end(), parsed.arguments.begin(), parsed.arguments.end());
    std::vector<char*> argv;
    for (std::string& s : strings) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // The store, the trace file and sockets are none of the program's business.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif

    // Double fork: the intermediate process starts the program in a session of its own and
    // ends at once, so the program is re-parented and reaped by the system.
    bool started = false;
    const pid_t child = fork();
    if (child == 0) {
        setsid();
        pid_t pid = 0;
        const int rc = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
        _exit(rc == 0 ? 0 : 127);
    }
    if (child > 0) {
        int status = 0;
        pid_t waited;
        do {
            waited = waitpid(child, &status, 0);
        } while (waited < 0 && errno == EINTR);
        // Without a status (children reaped elsewhere) the start is taken as done.
        started = waited < 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return started;
}

} // namespace sentrel
