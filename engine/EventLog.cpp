#include "engine/EventLog.h"

#include "platform/Platform.h"

#include <clocale>
#include <ctime>
#include <locale.h>

namespace sentrel {

CTraceFile& CTraceFile::Instance() {
    static CTraceFile trace;
    return trace;
}

CTraceFile::~CTraceFile() { SwitchOff(); }

void CTraceFile::SwitchOn() {
    if (!m_file) {
        m_file = std::fopen(m_path.c_str(), "r+b");
        if (!m_file) {
            m_file = std::fopen(m_path.c_str(), "w+b");
        }
    }
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
    localtime_r(&t, &local);
    // The C locale, whatever the user's: the names are always English.
    locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    char buffer[128];
    std::size_t n = 0;
    if (c) {
        n = strftime_l(buffer, sizeof buffer, "%A,%B%d,%Y,%H:%M:%S ", &local, c);
        freelocale(c);
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
    // written the same way.
    std::string out;
    out.reserve(line.size() + 2);
    for (char c : line) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    out += "\r\n";
    std::fwrite(out.data(), 1, out.size(), m_file);
    std::fflush(m_file);
}

void Log(const std::string& source, const std::string& event) {
    CTraceFile::Instance().Log(source, event);
}

} // namespace sentrel
