#pragma once

// HTTP fetcher: one GET of one http or https address, the whole body handed back as text.
// Optional Basic authorisation, redirects followed, no cache, the machine's proxy settings
// (the usual proxy environment variables). https verifies the server's certificate and
// name against the system's trusted authorities and those that SSL_CERT_FILE and
// SSL_CERT_DIR name, TLS 1.2 or newer. Built on libcurl.

#include "net/NetLimits.h"

#include <cstddef>
#include <string>

namespace sentrel {

class CRobotInternet {
public:
    // Result codes of Fetch; ErrorText gives their texts. Codes 4 ("Timed out") and 7
    // ("Disk/file error") have texts but no fetch ends with them: a time-out is a
    // ConnectionFailed, and the body goes to memory only.
    enum : int {
        Successful = 0,
        InvalidUrl = 1,
        InvalidParameter = 2,
        ConnectionFailed = 3,
        NotFound = 5,
        NotAuthorized = 6,
    };

    // Fetches `url`. True exactly when `code` is 0; `resultText` is always ErrorText(code).
    // `body` is written on success and when the transfer breaks off after the reply began
    // (then with what was read so far); otherwise it is left as it was.
    bool Fetch(const std::string& url, std::string& body, int& code, std::string& resultText);

    static std::string ErrorText(int code);

    // "Accept: */*", the Basic authorisation when a user is set, and a closing empty line.
    std::string BuildRequestHeaders() const;

    std::string user;
    std::string password;
    std::string agent = "Mozilla";

    // Why the last Fetch failed, in a sentence for the trace; empty after a success.
    const std::string& FailureReason() const { return m_failureReason; }

    // A connection that cannot be made in connectTimeoutMs, a transfer that receives
    // nothing for idleTimeoutMs or is not done after transferTimeLimitMs, and a body
    // longer than maxBodyBytes end with ConnectionFailed (and what was read so far);
    // left alone, a stalled or endless server would block the caller's thread for good
    // or fill the memory.
    long connectTimeoutMs = kConnectTimeoutMs;
    long idleTimeoutMs = 60000;
    long transferTimeLimitMs = kReplyTimeLimitMs;
    std::size_t maxBodyBytes = kMaxMessageReply;

    // Most redirects followed for one fetch.
    static constexpr long kMaxRedirects = 10;

private:
    std::string m_failureReason;
};

} // namespace sentrel
