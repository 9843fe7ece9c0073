#pragma once

// HTTP client: one GET of one http or https address, the whole body handed back as text
// (Fetch), or one GET or POST with header lines and a body of the caller's, whose reply
// is handed back whatever its status (Request). Optional Basic authorisation, no cache,
// the machine's proxy settings (the usual proxy environment variables). https verifies
// the server's certificate and name against the system's trusted authorities and those
// that SSL_CERT_FILE and SSL_CERT_DIR name, TLS 1.2 or newer. Built on libcurl.

#include "net/NetLimits.h"

#include <cstddef>
#include <string>
#include <vector>

namespace sentrel {

// What came back for a Request: the status and the whole body, whatever the status.
struct HttpReply {
    long status = 0;
    std::string body;
    // The host of a redirect that was not followed (it led to another host, or from https
    // to http); empty when there was none. The reply is then the redirect itself.
    std::string refusedRedirectHost;
};

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

    // One request, "GET" or "POST", to an http or https `url`. The header block
    // (BuildRequestHeaders) goes first, then the lines of `headers` ("Name: value"); a POST
    // sends `body`. True when a whole reply came, whatever its status, with `reply` filled
    // in; false when none did (FailureReason says why). Such a request may carry secrets in
    // its headers, its address or its body: a redirect is followed only on the same host,
    // and never from https to plain http.
    bool Request(const std::string& method, const std::string& url,
                 const std::vector<std::string>& headers, const std::string& body,
                 HttpReply& reply);

    static std::string ErrorText(int code);

    // "Accept: */*", the Basic authorisation when a user is set, and a closing empty line.
    std::string BuildRequestHeaders() const;

    std::string user;
    std::string password;
    std::string agent = "Mozilla";

    // Why the last Fetch or Request failed, in a sentence for the trace; empty after a
    // success.
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
