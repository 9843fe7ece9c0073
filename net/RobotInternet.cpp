#include "net/RobotInternet.h"

#include "net/Base64Coder.h"
#include "net/SocketConnection.h"
#include "net/TlsSession.h"
#include "platform/Text.h"

#include <curl/curl.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>

namespace sentrel {

namespace {

using SteadyClock = std::chrono::steady_clock;

// The body is read in blocks of this size; each block is taken as NUL-terminated text.
constexpr std::size_t kReadBlock = 1023;

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Parses the address; on success `canonical` is the address as it will be requested.
// Only http and https are accepted.
bool ParseHttpUrl(const std::string& address, std::string& canonical) {
    CURLU* parsed = curl_url();
    if (!parsed) {
        return false;
    }
    bool ok = false;
    // Inner spaces and bytes outside ASCII are escaped, as a browser would, rather than
    // refusing the address; a space is %20 in the query too.
    std::string escaped;
    for (char c : address) {
        if (c == ' ') {
            escaped += "%20";
        } else {
            escaped += c;
        }
    }
    if (curl_url_set(parsed, CURLUPART_URL, escaped.c_str(),
                     CURLU_NON_SUPPORT_SCHEME | CURLU_URLENCODE) == CURLUE_OK) {
        char* scheme = nullptr;
        char* host = nullptr;
        char* full = nullptr;
        if (curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
            (EqualsNoCase(scheme, "http") || EqualsNoCase(scheme, "https")) &&
            curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK && host[0] != '\0' &&
            curl_url_get(parsed, CURLUPART_URL, &full, 0) == CURLUE_OK) {
            canonical = full;
            ok = true;
        }
        curl_free(scheme);
        curl_free(host);
        curl_free(full);
    }
    curl_url_cleanup(parsed);
    return ok;
}

// The host of the address the transfer was at when it ended (after any redirects).
std::string HostOf(CURL* curl) {
    char* url = nullptr;
    std::string host;
    if (curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &url) != CURLE_OK || !url) {
        return host;
    }
    if (CURLU* parsed = curl_url()) {
        char* part = nullptr;
        if (curl_url_set(parsed, CURLUPART_URL, url, 0) == CURLUE_OK &&
            curl_url_get(parsed, CURLUPART_HOST, &part, 0) == CURLUE_OK) {
            host = part;
        }
        curl_free(part);
        curl_url_cleanup(parsed);
    }
    return host;
}

// Why the server's certificate was refused, in the words the mail and POP3 connections
// use too.
std::string CertificateProblemOf(CURL* curl) {
    long verdict = X509_V_OK;
    curl_easy_getinfo(curl, CURLINFO_SSL_VERIFYRESULT, &verdict);
    // libcurl checks the name itself once the chain is accepted, and leaves "ok" or
    // "unspecified" as the result when that check fails.
    if (verdict == X509_V_OK || verdict == X509_V_ERR_UNSPECIFIED) {
        verdict = X509_V_ERR_HOSTNAME_MISMATCH;
    }
    return CertificateProblem(verdict, HostOf(curl));
}

int CodeForStatus(long status) {
    if (status == 403 || status == 407) {
        return CRobotInternet::NotAuthorized;
    }
    if (status == 404) {
        return CRobotInternet::NotFound;
    }
    return CRobotInternet::ConnectionFailed;
}

// What one transfer has seen so far; shared with libcurl's callbacks.
struct Transfer {
    CURL* curl = nullptr;
    std::string accumulator;
    std::string block;        // the read block being filled
    bool bodyStarted = false; // the final reply was accepted and its body began
    bool refused = false;     // the final reply had a status of 400 or more
    bool idle = false;        // ended for receiving nothing for idleTimeoutMs
    bool tooLong = false;     // ended for a body longer than maxBodyBytes
    long idleTimeoutMs = 0;
    std::size_t maxBodyBytes = 0;
    std::size_t bodyBytes = 0;
    SteadyClock::time_point lastActivity;
    curl_off_t lastReceived = -1;

    void Touch() { lastActivity = SteadyClock::now(); }

    // Appends the block up to its first NUL, as text.
    void FlushBlock() {
        accumulator.append(block.c_str());
        block.clear();
    }

    void Append(const char* data, std::size_t size) {
        while (size > 0) {
            const std::size_t take = std::min(size, kReadBlock - block.size());
            block.append(data, take);
            data += take;
            size -= take;
            if (block.size() == kReadBlock) {
                FlushBlock();
            }
        }
    }
};

long ResponseStatus(CURL* curl) {
    long status = 0;
    if (curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) {
        return 0;
    }
    return status;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    transfer->Touch();
    const std::size_t bytes = size * count;
    if (!transfer->bodyStarted) {
        // The status is looked at once, before the first byte is kept; a refused reply's
        // body is not read.
        if (ResponseStatus(transfer->curl) >= 400) {
            transfer->refused = true;
            return 0;
        }
        transfer->bodyStarted = true;
    }
    if (bytes > transfer->maxBodyBytes - transfer->bodyBytes) {
        transfer->tooLong = true;
        return 0;
    }
    transfer->bodyBytes += bytes;
    transfer->Append(data, bytes);
    return bytes;
}

std::size_t OnHeader(char*, std::size_t size, std::size_t count, void* context) {
    static_cast<Transfer*>(context)->Touch();
    return size * count;
}

int OnProgress(void* context, curl_off_t, curl_off_t received, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(context);
    if (received != transfer->lastReceived) {
        transfer->lastReceived = received;
        transfer->Touch();
    }
    const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() -
                                                                            transfer->lastActivity);
    transfer->idle = idle.count() > transfer->idleTimeoutMs;
    return transfer->idle ? 1 : 0;
}

struct CurlHandle {
    CURL* handle = curl_easy_init();
    curl_slist* headers = nullptr;
    ~CurlHandle() {
        if (handle) {
            curl_easy_cleanup(handle);
        }
        curl_slist_free_all(headers);
    }
};

} // namespace

std::string CRobotInternet::ErrorText(int code) {
    static constexpr const char* kTexts[] = {
        "Successful", "Invalid URL", "Invalid parameter", "Connection failed",
        "Timed out",  "Not found",   "Not authorized",    "Disk/file error",
    };
    if (code >= 0 && code < static_cast<int>(std::size(kTexts))) {
        return kTexts[code];
    }
    char text[48];
    std::snprintf(text, sizeof text, "CRobotInternet error %d", code);
    return text;
}

std::string CRobotInternet::BuildRequestHeaders() const {
    std::string headers = "Accept: */*\r\n";
    if (!user.empty()) {
        headers += "Authorization: Basic " + CBase64Coder::Encode(user + ":" + password) + "\r\n";
    }
    headers += "\r\n";
    return headers;
}

bool CRobotInternet::Fetch(const std::string& url, std::string& body, int& code,
                           std::string& resultText) {
    resultText.clear();
    m_failureReason.clear();
    code = Successful;
    const std::string headerBlock = BuildRequestHeaders();

    std::string address(Trim(url));
    if (address.find(':') == std::string::npos) {
        address.insert(0, !address.empty() && address[0] == '/' ? "http:" : "http://");
    }

    std::string canonical;
    if (url.empty()) {
        code = InvalidParameter;
    } else if (!ParseHttpUrl(address, canonical)) {
        code = InvalidUrl;
    } else {
        GlobalInit();
        CurlHandle curl;
        Transfer transfer;
        transfer.curl = curl.handle;
        transfer.idleTimeoutMs = idleTimeoutMs;
        transfer.maxBodyBytes = maxBodyBytes;
        char curlError[CURL_ERROR_SIZE] = {};
        // The header block becomes the request's extra header lines.
        std::size_t start = 0;
        for (std::size_t end; (end = headerBlock.find("\r\n", start)) != std::string::npos;
             start = end + 2) {
            if (end > start) {
                curl.headers =
                    curl_slist_append(curl.headers, headerBlock.substr(start, end - start).c_str());
            }
        }
        // Always a fresh copy from the server, never one from a cache on the way.
        curl.headers = curl_slist_append(curl.headers, "Cache-Control: no-cache");
        curl.headers = curl_slist_append(curl.headers, "Pragma: no-cache");

        CURL* h = curl.handle;
        if (!h) {
            code = ConnectionFailed;
        } else {
            curl_easy_setopt(h, CURLOPT_URL, canonical.c_str());
            curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
            curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
            curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
            curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
            // Credentials in our own header are dropped by libcurl when a redirect leads
            // to another host, port or scheme: never to another server, and never over
            // plain http once a redirect has left https. Keep it that way.
            curl_easy_setopt(h, CURLOPT_UNRESTRICTED_AUTH, 0L);
            // The server's certificate and name are always verified. libcurl has its own
            // idea of where the trusted certificates are; the variables by which users
            // add a private authority must win over it.
            curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
            curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
            curl_easy_setopt(h, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
            if (const char* file = std::getenv("SSL_CERT_FILE"); file && *file) {
                curl_easy_setopt(h, CURLOPT_CAINFO, file);
            }
            if (const char* folder = std::getenv("SSL_CERT_DIR"); folder && *folder) {
                curl_easy_setopt(h, CURLOPT_CAPATH, folder);
            }
            curl_easy_setopt(h, CURLOPT_USERAGENT, agent.c_str());
            curl_easy_setopt(h, CURLOPT_HTTPHEADER, curl.headers);
            curl_easy_setopt(h, CURLOPT_HTTP09_ALLOWED, 1L);
            curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
            curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs);
            curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, transferTimeLimitMs);
            curl_easy_setopt(h, CURLOPT_ERRORBUFFER, curlError);
            curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &OnBody);
            curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
            curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &OnHeader);
            curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
            curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &OnProgress);
            curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
            curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);

            transfer.Touch();
            const CURLcode result = curl_easy_perform(h);
            const long status = ResponseStatus(h);
            if (transfer.refused) {
                code = CodeForStatus(status);
            } else if (result == CURLE_OK) {
                // A reply without a status line counts as 200.
                if (status >= 400) {
                    code = CodeForStatus(status);
                } else {
                    transfer.FlushBlock();
                    body = transfer.accumulator;
                }
            } else if (transfer.bodyStarted || (status >= 200 && status < 300)) {
                // Broken off after the reply began: hand back what was read.
                transfer.FlushBlock();
                body = transfer.accumulator;
                code = ConnectionFailed;
            } else if (status >= 400) {
                code = CodeForStatus(status);
            } else {
                code = ConnectionFailed;
            }
            if (code != Successful) {
                m_failureReason =
                    transfer.tooLong
                        ? "The page is longer than " + std::to_string(maxBodyBytes) + " bytes"
                    : transfer.idle ? "The server sent nothing for " +
                                          DurationText(static_cast<unsigned>(idleTimeoutMs))
                    : status >= 400 ? "The server answered with status " + std::to_string(status)
                    : result == CURLE_PEER_FAILED_VERIFICATION ? CertificateProblemOf(h)
                    : curlError[0] != '\0'                     ? std::string(curlError)
                                           : std::string(curl_easy_strerror(result));
            }
        }
    }

    resultText = ErrorText(code);
    if (code != Successful && m_failureReason.empty()) {
        m_failureReason = resultText;
    }
    return code == Successful;
}

} // namespace sentrel
