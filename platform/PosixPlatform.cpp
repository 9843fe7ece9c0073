#include "platform/PosixPlatform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <pwd.h>
#include <spawn.h>
#include <sstream>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace sentrel {

std::int64_t PosixClock::Now() const {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec);
}

std::uint32_t PosixClock::TickCount() const {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

void ConsoleMessageBox::Show(const std::string& text, const std::string& caption, MessageIcon) {
    std::cerr << caption << ": " << text << std::endl;
}

int ConsoleAlertPopup::Open(const std::string& text) {
    std::cout << "--- Alert ---\n" << text << "\n---" << std::endl;
    return ++m_next;
}

void ConsoleAlertPopup::Close(int) {}

bool ConsoleNotifications::Notify(const std::string& title, const std::string& text, std::string&) {
    std::cout << "--- Notification: " << title << " ---\n" << text << "\n---" << std::endl;
    return true;
}

bool PosixConnection::IsConnected() {
    std::ifstream routes("/proc/net/route");
    if (!routes) {
        return true; // no way to tell: assume the network is there rather than "dial"
    }
    std::string line;
    std::getline(routes, line); // header
    while (std::getline(routes, line)) {
        std::istringstream fields(line);
        std::string iface, destination;
        fields >> iface >> destination;
        if (destination == "00000000") {
            return true;
        }
    }
    return false;
}

bool PosixConnection::DialUnattended() {
    return false;
}

void PosixConnection::HangUp() {}

std::string ExecutablePath() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string path = n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
    // A program replaced while it runs (a package upgrade) is reported under this name;
    // its path is where the new one is.
    const std::string_view replaced = " (deleted)";
    if (path.size() > replaced.size() && path.ends_with(replaced)) {
        path.resize(path.size() - replaced.size());
    }
    return path;
}

std::string ExecutableDir() {
    const std::string path = ExecutablePath();
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    return path.substr(0, slash == 0 ? 1 : slash);
}

std::string HelpFile(const std::string& exeDir) {
    const std::filesystem::path folder = exeDir.empty() ? "." : exeDir;
    std::error_code error;
    if (std::filesystem::exists(folder / "help.htm", error)) {
        return (folder / "help.htm").string();
    }
    return (folder / SENTREL_DOCDIR_FROM_BINDIR / "help.htm").lexically_normal().string();
}

bool MakeDirectories(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty()) {
            continue;
        }
        if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

// Only this user may change what is in the folder.
bool IsPrivateFolder(const struct stat& st) {
    return st.st_uid == geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

std::string HomeFolder(const char* home) {
    if (home && *home) {
        return home;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir || found->pw_dir[0] != '/') {
        return {};
    }
    return found->pw_dir;
}

DataDirChoice ChooseDataDir(const std::string& exeDir, const char* xdgDataHome, const char* home) {
    // A store beside the program is a portable copy, or one an older version kept in a
    // build folder: it stays where it is. Anything else lives in the user's data folder,
    // which no rebuild or uninstall touches.
    struct stat st {};
    if (!exeDir.empty() && lstat((exeDir + "/Sentrel.bin").c_str(), &st) == 0 &&
        access(exeDir.c_str(), W_OK) == 0 && stat(exeDir.c_str(), &st) == 0 &&
        IsPrivateFolder(st)) {
        return {exeDir, {}};
    }
    std::string base;
    if (xdgDataHome && *xdgDataHome == '/') {
        base = xdgDataHome; // a relative value is not valid and is ignored
    } else {
        const std::string homeDir = HomeFolder(home);
        if (homeDir.empty()) {
            return {{},
                    "Sentrel has no folder for its data: HOME is not set and the user "
                    "database has no home folder for this user."};
        }
        base = homeDir + "/.local/share";
    }
    const std::string dir = base + "/sentrel";
    if (!MakeDirectories(dir)) {
        return {{},
                "Sentrel cannot create its data folder " + dir + ": " + std::strerror(errno) + "."};
    }
    if (stat(dir.c_str(), &st) != 0 || st.st_uid != geteuid()) {
        return {{},
                "Sentrel will not use its data folder " + dir + ": it belongs to another user."};
    }
    if (!IsPrivateFolder(st)) {
        return {{},
                "Sentrel will not use its data folder " + dir + ": other users can write to it."};
    }
    return {dir, {}};
}

namespace {

DataDirChoice ChooseDataDirHere() {
    return ChooseDataDir(ExecutableDir(), std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

} // namespace

std::string PosixPaths::DataDir() const {
    return ChooseDataDirHere().dir;
}

std::string PosixPaths::DataDirProblem() const {
    return ChooseDataDirHere().problem;
}

bool XdgHelp::Open(const std::string& path) {
    // Double fork so that the opener is re-parented and never left as a zombie.
    const pid_t child = fork();
    if (child == 0) {
        pid_t pid = 0;
        char arg0[] = "xdg-open";
        std::string copy = path;
        char* argv[] = {arg0, copy.data(), nullptr};
        const int rc = posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ);
        _exit(rc == 0 ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace sentrel
