#include "engine/EventLog.h"

#include "model/SentrelDoc.h"
#include "platform/Platform.h"

#include <ctime>
#include <fcntl.h>
#include <locale.h>
#include <unistd.h>

namespace sentrel {

CTraceFile& CTraceFile::Instance() {
    static CTraceFile trace;
    return trace;
}

CTraceFile::~CTraceFile() {
    SwitchOff();
}

void CTraceFile::SwitchOn() {
    if (!m_file) {
        // Open without ever truncating: read-write when we may, write-only otherwise;
        // created when missing.
        int fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        const char* mode = "r+b";
        if (fd < 0) {
            fd = open(m_path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            mode = "wb"; // fdopen does not truncate
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
    if (!m_enabled || !m_file) {
        return;
    }
    if (std::fseek(m_file, 0, SEEK_END) != 0) {
        return;
    }
    std::string line = TraceTimeStamp(Platform().clock->Now());
    line += source;
    line += ' ';
    line += event;
    // Text-mode lines end CR LF, as trace files always have; an inner line feed is
    // written the same way and nothing else is escaped.
    std::string out;
    out.reserve(line.size() + 2);
    for (char c : line) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    out += "\r\n";
    if (std::fwrite(out.data(), 1, out.size(), m_file) != out.size() || std::fflush(m_file) != 0) {
        std::clearerr(m_file); // the line is lost; the next one tries again
    }
}

void Log(const std::string& source, const std::string& event) {
    CTraceFile::Instance().Log(source, event);
}

std::string TracePathFor(const std::string& storePath) {
    const auto slash = storePath.rfind('/');
    if (slash == std::string::npos) {
        return "trace.txt";
    }
    return storePath.substr(0, slash + 1) + "trace.txt";
}

void ApplyTraceSwitch(CSentrelDoc& doc, bool on) {
    CTraceFile& trace = CTraceFile::Instance();
    if (!trace.IsOpen()) {
        trace.SetPath(TracePathFor(doc.StorePath()));
    }
    doc.traceOn = on;
    doc.Save();
    if (on) {
        trace.SwitchOn();
        Log("TRACE", "Trace Switched on");
    } else {
        // Still written: the file is open until the switch goes off.
        Log("TRACE", "Trace Switched off");
        trace.SwitchOff();
    }
}

} // namespace sentrel
