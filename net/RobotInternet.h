#pragma once

// HTTP fetcher: one GET of one plain-http address, the whole body handed back as text.
// Optional Basic authorisation, redirects followed, no cache, the machine's proxy settings
// (the usual proxy environment variables). Built on libcurl.

#include <string>

namespace sentrel {

class CRobotInternet {
public:
    // Result codes of Fetch; ErrorText gives their texts.
    enum : int {
        Successful = 0,
        InvalidUrl = 1,
        InvalidParameter = 2,
        ConnectionFailed = 3,
        TimedOut = 4,
        NotFound = 5,
        NotAuthorized = 6,
        DiskFileError = 7,
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

    // A connection that cannot be made in connectTimeoutMs, or a transfer that receives
    // nothing for idleTimeoutMs, ends with ConnectionFailed; left alone, a stalled server
    // would block the caller's thread for good.
    long connectTimeoutMs = 60000;
    long idleTimeoutMs = 60000;

    // Most redirects followed for one fetch.
    static constexpr long kMaxRedirects = 10;
};

// The base64 encoding of the Basic credentials: one unbroken line with "=" padding.
std::string EncodeBasicCredentials(const std::string& text);

} // namespace sentrel
