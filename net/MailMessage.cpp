#include "net/MailMessage.h"

#include "platform/ErrorCodes.h"
#include "platform/Platform.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <locale.h>

namespace sentrel {

namespace {

std::string Joined(const std::vector<CMailAddress>& addresses) {
    std::string text;
    for (const auto& a : addresses) {
        if (!text.empty()) {
            text += ',';
        }
        text += a.Render();
    }
    return text;
}

} // namespace

std::string CMailAddress::Render() const {
    return name.empty() ? address : name + " <" + address + ">";
}

bool CMailMessage::AddRecipients(const std::string& list, RecipientKind kind) {
    std::vector<CMailAddress>& target = kind == RecipientKind::To   ? to
                                        : kind == RecipientKind::Cc ? cc
                                                                    : bcc;
    std::size_t start = 0;
    while (start <= list.size()) {
        auto end = list.find_first_of(",;", start);
        if (end == std::string::npos) {
            end = list.size();
        }
        const std::string_view piece = std::string_view(list).substr(start, end - start);
        start = end + 1;

        CMailAddress entry;
        const auto open = piece.find('<');
        if (open != std::string_view::npos) {
            const auto close = piece.find('>');
            if (close == std::string_view::npos || close < open) {
                SetLastError(ERROR_INVALID_DATA);
                return false;
            }
            entry.name = Trim(piece.substr(0, open));
            entry.address = Trim(piece.substr(open + 1, close - open - 1));
        } else {
            entry.address = Trim(piece);
        }
        if (!entry.address.empty()) {
            target.push_back(std::move(entry));
        }
    }
    return true;
}

void CMailMessage::SetBody(const std::string& text) {
    m_body.clear();
    m_body.reserve(text.size() + text.size() / 32 + 16);
    bool lineStart = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            // CR LF, a bare LF and a bare CR all end one line.
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            m_body += "\r\n";
            lineStart = true;
            continue;
        }
        if (c == '.' && lineStart) {
            m_body += '.';
        }
        m_body += c;
        lineStart = false;
    }
}

std::string ZoneText(long biasMinutes) {
    const long magnitude = std::labs(biasMinutes);
    char zone[48];
    std::snprintf(zone, sizeof zone, "%c%02ld%02ld", -biasMinutes >= 0 ? '+' : '-', magnitude / 60,
                  magnitude % 60);
    return zone;
}

std::string MailDate(long long seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    // The C locale's names are the English ones, whatever the user's locale is; using it
    // for this call alone leaves the process's locale untouched.
    std::string text;
    if (locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0))) {
        char buffer[128];
        const std::size_t n =
            strftime_l(buffer, sizeof buffer, "%a, %d %b %Y %H:%M:%S ", &local, c);
        text.assign(buffer, n);
        freelocale(c);
    }
    return text + ZoneText(-local.tm_gmtoff / 60);
}

std::string CMailMessage::BuildHeaders() const {
    const std::string ccText = Joined(cc);
    std::string headers = "From: " + from.Render() + "\r\nTo: " + Joined(to) + "\r\n";
    if (!ccText.empty()) {
        headers += "Cc: " + ccText + "\r\n";
    }
    // The subject may carry a watch's text: a line break in it, even a lone CR, must not
    // end the header early and start another one.
    std::string oneLine = subject;
    std::replace(oneLine.begin(), oneLine.end(), '\r', ' ');
    std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
    headers += "Subject: " + oneLine + "\r\nDate: " + MailDate(Platform().clock->Now()) +
               "\r\nX-Mailer: " + mailer + "\r\n";
    if (!replyTo.address.empty()) {
        headers += "Reply-To: " + replyTo.Render() + "\r\n";
    }
    headers += "MIME-Version: 1.0\r\nContent-type: text/plain; charset=US-ASCII\r\n\r\n";
    return headers;
}

} // namespace sentrel
