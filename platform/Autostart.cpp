#include "platform/Autostart.h"

#include "platform/PosixPlatform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace sentrel {

namespace {

// One argument of an Exec line: quoted when it holds a character the launcher would read
// as syntax, with the characters the quotes keep their meaning in escaped. '%' starts a
// field code anywhere.
std::string ExecArgument(const std::string& arg) {
    static constexpr const char* kReserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string quoted;
    for (const char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c == '%' ? std::string("%%") : std::string(1, c);
    }
    return arg.find_first_of(kReserved) == std::string::npos ? quoted : '"' + quoted + '"';
}

// A string value of a desktop entry: backslashes and control characters escaped, since
// the file is read line by line and unescaped before the Exec line is split.
std::string EntryValue(const std::string& text) {
    std::string value;
    for (const char c : text) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\r':
            value += "\\r";
            break;
        case '\t':
            value += "\\t";
            break;
        default:
            value += c;
        }
    }
    return value;
}

} // namespace

std::string AutostartFile(const char* xdgConfigHome, const char* home) {
    std::string base;
    if (xdgConfigHome && *xdgConfigHome == '/') {
        base = xdgConfigHome; // a relative value is not valid and is ignored
    } else if (const std::string homeDir = HomeFolder(home); !homeDir.empty()) {
        base = homeDir + "/.config";
    } else {
        return {};
    }
    return base + "/autostart/sentrel.desktop";
}

std::string AutostartFileHere() {
    return AutostartFile(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

std::string AutostartEntry(const std::string& program) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Sentrel\n"
           "Comment=Watch files, hosts, mailboxes and web pages and send alerts to your phone\n"
           "Exec=" +
           EntryValue(ExecArgument(program)) +
           " --minimised\n"
           "Icon=sentrel\n"
           "Terminal=false\n";
}

bool AutostartEnabled(const std::string& file) {
    std::ifstream in(file);
    if (!in) {
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (line == "Hidden=true") {
            return false;
        }
    }
    return true;
}

bool SetAutostart(const std::string& file, bool on, const std::string& program,
                  std::string& problem) {
    const auto fail = [&problem, &file](int error) {
        problem = "Unable to change \"Start at login\": " + file + ": " + std::strerror(error);
        return false;
    };
    if (file.empty()) {
        return fail(ENOENT);
    }
    if (!on) {
        return unlink(file.c_str()) == 0 || errno == ENOENT || fail(errno);
    }
    const std::string folder = file.substr(0, file.rfind('/'));
    if (!MakeDirectories(folder)) {
        return fail(errno);
    }
    // Written beside and renamed into place: the session never reads half an entry.
    std::string temporary = file + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        return fail(errno);
    }
    const std::string entry = AutostartEntry(program);
    const bool written = fchmod(fd, 0644) == 0 && write(fd, entry.data(), entry.size()) ==
                                                      static_cast<ssize_t>(entry.size());
    const int error = errno;
    if (close(fd) != 0 || !written) {
        unlink(temporary.c_str());
        return fail(written ? errno : error);
    }
    if (rename(temporary.c_str(), file.c_str()) != 0) {
        const int renameError = errno;
        unlink(temporary.c_str());
        return fail(renameError);
    }
    return true;
}

} // namespace sentrel
