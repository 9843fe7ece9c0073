#include "services/EventLog.h"

#include "platform/Platform.h"

#include <algorithm>
#include <ctime>
#include <fcntl.h>
#include <locale.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace sentrel {

CTraceFile& CTraceFile::Instance() {
    static CTraceFile trace;
    return trace;
}

CTraceFile::~CTraceFile() {
    SwitchOff();
}

void CTraceFile::SetPath(std::string path) {
    std::lock_guard lock(m_mutex);
    m_path = std::move(path);
}

std::string CTraceFile::GetPath() const {
    std::lock_guard lock(m_mutex);
    return m_path;
}

bool CTraceFile::IsEnabled() const {
    std::lock_guard lock(m_mutex);
    return m_enabled;
}

bool CTraceFile::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_file != nullptr;
}

void CTraceFile::SwitchOn() {
    std::lock_guard lock(m_mutex);
    if (!m_file) {
        // Open without ever truncating: read-write when we may, write-only otherwise;
        // created when missing, for the user alone (it records addresses and messages).
        // Never through a symbolic link, and never anything but a plain file: a link or a
        // pipe planted in its place loses the trace instead of redirecting or blocking it.
        constexpr int kFlags = O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
        int fd = open(m_path.c_str(), O_RDWR | kFlags, 0600);
        const char* mode = "r+b";
        if (fd < 0) {
            fd = open(m_path.c_str(), O_WRONLY | kFlags, 0600);
            mode = "wb"; // fdopen does not truncate
        }
        struct stat st {};
        if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
            close(fd);
            fd = -1;
        }
        if (fd >= 0) {
            m_file = fdopen(fd, mode);
            if (!m_file) {
                close(fd);
            }
        }
    }
    // Enabled even when the file could not be opened: the events are then lost.
    m_enabled = true;
}

void CTraceFile::SwitchOff() {
    std::lock_guard lock(m_mutex);
    SwitchOffLocked();
}

void CTraceFile::SwitchOffLocked() {
    if (m_file) {
        std::fflush(m_file);
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_enabled = false;
}

std::string TraceTimeStamp(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&t, &local)) {
        return {};
    }
    // The C locale, whatever the user's: the names are always English.
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    char buffer[128];
    std::size_t n = 0;
    if (c) {
        n = strftime_l(buffer, sizeof buffer, "%A,%B%d,%Y,%H:%M:%S ", &local, c);
    }
    return std::string(buffer, n);
}

void CTraceFile::Log(const std::string& source, const std::string& event) {
    std::lock_guard lock(m_mutex);
    if (!m_enabled || !m_file) {
        return;
    }
    if (std::fseek(m_file, 0, SEEK_END) != 0) {
        return;
    }
    // Sources and events carry text from servers and stored fields: one event is always
    // one line, so a line break inside it becomes a blank. Lines end CR LF, as trace
    // files always have.
    std::string out =
        TraceTimeStamp(Platform().clock->Now()) + WithoutUrlPasswords(source + ' ' + event);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    out += "\r\n";
    if (std::fwrite(out.data(), 1, out.size(), m_file) != out.size() || std::fflush(m_file) != 0) {
        std::clearerr(m_file); // the line is lost; the next one tries again
    }
}

void Log(const std::string& source, const std::string& event) {
    CTraceFile::Instance().Log(source, event);
}

std::string WithoutUrlPasswords(const std::string& text) {
    std::string out;
    std::size_t done = 0; // text before this is in `out`
    for (std::size_t mark = text.find("://"); mark != std::string::npos;
         mark = text.find("://", std::max(mark + 3, done))) {
        const std::size_t start = mark + 3;
        const std::size_t end = std::min(text.find_first_of(" \t\r\n", start), text.size());
        const std::string_view address(text.data() + start, end - start);
        // The user's part ends at the host's last "@"; a password that holds "/", "?" or
        // "#" (unescaped, as users type it) reaches past where the host would end, so its
        // "@" is the first one after that.
        const std::size_t cut = std::min(address.find_first_of("/?#"), address.size());
        std::size_t at = address.substr(0, cut).rfind('@');
        if (at == std::string_view::npos) {
            at = address.find('@', cut);
        }
        const std::size_t colon = address.find(':');
        if (at == std::string_view::npos || colon == std::string_view::npos || colon > at ||
            colon > cut) {
            continue; // no password in this address
        }
        out.append(text, done, start + colon + 1 - done);
        out += "***";
        done = start + at;
    }
    out.append(text, done);
    return out;
}

std::string TracePathFor(const std::string& storePath) {
    const auto slash = storePath.rfind('/');
    if (slash == std::string::npos) {
        return "trace.txt";
    }
    return storePath.substr(0, slash + 1) + "trace.txt";
}

} // namespace sentrel
