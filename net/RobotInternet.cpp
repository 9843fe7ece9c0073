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

// A part of an address (CURLUPART_HOST, CURLUPART_SCHEME); empty when it has none.
std::string PartOf(const char* url, CURLUPart which) {
    std::string value;
    if (CURLU* parsed = curl_url()) {
        char* part = nullptr;
        if (curl_url_set(parsed, CURLUPART_URL, url, 0) == CURLUE_OK &&
            curl_url_get(parsed, which, &part, 0) == CURLUE_OK) {
            value = part;
        }
        curl_free(part);
        curl_url_cleanup(parsed);
    }
    return value;
}

// The host of the address the transfer was at when it ended (after any redirects).
std::string HostOf(CURL* curl) {
    char* url = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &url) != CURLE_OK || !url) {
        return {};
    }
    return PartOf(url, CURLUPART_HOST);
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
    bool readRefused = false; // read the body of such a reply too
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
        if (!transfer->readRefused && ResponseStatus(transfer->curl) >= 400) {
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

// One transfer: the handle set up with what every request shares (the header block and
// the caller's lines, TLS verification with the user's trusted authorities, the agent,
// the time limits and the callbacks), and what the callbacks saw.
class Exchange {
public:
    Exchange(const CRobotInternet& client, const std::string& url, const std::string& headerBlock,
             const std::vector<std::string>& lines) {
        transfer.curl = curl.handle;
        transfer.idleTimeoutMs = client.idleTimeoutMs;
        transfer.maxBodyBytes = client.maxBodyBytes;
        // The header block becomes the request's extra header lines.
        std::size_t start = 0;
        for (std::size_t end; (end = headerBlock.find("\r\n", start)) != std::string::npos;
             start = end + 2) {
            if (end > start) {
                Add(headerBlock.substr(start, end - start));
            }
        }
        // Always a fresh copy from the server, never one from a cache on the way.
        Add("Cache-Control: no-cache");
        Add("Pragma: no-cache");
        for (const std::string& line : lines) {
            Add(line);
        }

        CURL* h = curl.handle;
        if (!h) {
            return;
        }
        curl_easy_setopt(h, CURLOPT_URL, url.c_str());
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        // Credentials in our own header are dropped by libcurl when a redirect leads to
        // another host, port or scheme: never to another server, and never over plain
        // http once a redirect has left https. Keep it that way.
        curl_easy_setopt(h, CURLOPT_UNRESTRICTED_AUTH, 0L);
        // The server's certificate and name are always verified. libcurl has its own idea
        // of where the trusted certificates are; the variables by which users add a
        // private authority must win over it.
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(h, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
        if (const char* file = std::getenv("SSL_CERT_FILE"); file && *file) {
            curl_easy_setopt(h, CURLOPT_CAINFO, file);
        }
        if (const char* folder = std::getenv("SSL_CERT_DIR"); folder && *folder) {
            curl_easy_setopt(h, CURLOPT_CAPATH, folder);
        }
        curl_easy_setopt(h, CURLOPT_USERAGENT, client.agent.c_str());
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, curl.headers);
        curl_easy_setopt(h, CURLOPT_HTTP09_ALLOWED, 1L);
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, client.connectTimeoutMs);
        curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, client.transferTimeLimitMs);
        curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &OnBody);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
        curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &OnHeader);
        curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &OnProgress);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    }

    CURL* Handle() const { return curl.handle; }

    CURLcode Perform() {
        transfer.Touch();
        result = curl_easy_perform(curl.handle);
        status = ResponseStatus(curl.handle);
        return result;
    }

    // What was read, as text.
    std::string Body() {
        transfer.FlushBlock();
        return transfer.accumulator;
    }

    // Why the transfer failed, in a sentence for the trace.
    std::string FailureReason(const CRobotInternet& client, bool statusIsFailure) const {
        if (transfer.tooLong) {
            return "The page is longer than " + std::to_string(client.maxBodyBytes) + " bytes";
        }
        if (transfer.idle) {
            return "The server sent nothing for " +
                   DurationText(static_cast<unsigned>(client.idleTimeoutMs));
        }
        if (statusIsFailure && status >= 400) {
            return "The server answered with status " + std::to_string(status);
        }
        if (result == CURLE_PEER_FAILED_VERIFICATION) {
            return CertificateProblemOf(curl.handle);
        }
        return error[0] != '\0' ? std::string(error) : std::string(curl_easy_strerror(result));
    }

    Transfer transfer;
    CURLcode result = CURLE_OK;
    long status = 0;

private:
    void Add(const std::string& line) {
        curl.headers = curl_slist_append(curl.headers, line.c_str());
    }

    CurlHandle curl;
    char error[CURL_ERROR_SIZE] = {};
};

// Whether a redirect from `from` to `to` may be followed by a request that carries
// secrets: to the same host, and not from https to plain http.
bool MayCarrySecrets(const std::string& from, const char* to) {
    const std::string fromScheme = PartOf(from.c_str(), CURLUPART_SCHEME);
    const std::string toScheme = PartOf(to, CURLUPART_SCHEME);
    return EqualsNoCase(PartOf(from.c_str(), CURLUPART_HOST), PartOf(to, CURLUPART_HOST)) &&
           !(EqualsNoCase(fromScheme, "https") && !EqualsNoCase(toScheme, "https"));
}

bool IsFollowedRedirect(long status, bool post) {
    // A 303 after a POST says the request was taken: asking again would send it twice.
    return status == 301 || status == 302 || status == 307 || status == 308 ||
           (status == 303 && !post);
}

// The address as it will be requested: without a scheme, "http://" goes in front (or
// "http:" before two slashes); nothing when it is empty or cannot be parsed.
int Canonicalise(const std::string& url, std::string& canonical) {
    std::string address(Trim(url));
    if (address.find(':') == std::string::npos) {
        address.insert(0, !address.empty() && address[0] == '/' ? "http:" : "http://");
    }
    if (url.empty()) {
        return CRobotInternet::InvalidParameter;
    }
    return ParseHttpUrl(address, canonical) ? CRobotInternet::Successful
                                            : CRobotInternet::InvalidUrl;
}

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
    std::string canonical;
    code = Canonicalise(url, canonical);
    if (code == Successful) {
        GlobalInit();
        Exchange exchange(*this, canonical, BuildRequestHeaders(), {});
        if (CURL* h = exchange.Handle(); !h) {
            code = ConnectionFailed;
        } else {
            curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
            curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
            const CURLcode result = exchange.Perform();
            const long status = exchange.status;
            if (exchange.transfer.refused) {
                code = CodeForStatus(status);
            } else if (result == CURLE_OK) {
                // A reply without a status line counts as 200.
                if (status >= 400) {
                    code = CodeForStatus(status);
                } else {
                    body = exchange.Body();
                }
            } else if (exchange.transfer.bodyStarted || (status >= 200 && status < 300)) {
                // Broken off after the reply began: hand back what was read.
                body = exchange.Body();
                code = ConnectionFailed;
            } else if (status >= 400) {
                code = CodeForStatus(status);
            } else {
                code = ConnectionFailed;
            }
            if (code != Successful) {
                m_failureReason = exchange.FailureReason(*this, true);
            }
        }
    }

    resultText = ErrorText(code);
    if (code != Successful && m_failureReason.empty()) {
        m_failureReason = resultText;
    }
    return code == Successful;
}

bool CRobotInternet::Request(const std::string& method, const std::string& url,
                             const std::vector<std::string>& headers, const std::string& body,
                             HttpReply& reply) {
    m_failureReason.clear();
    reply = {};
    const bool post = method == "POST";
    std::string address;
    if (const int code = Canonicalise(url, address); code != Successful) {
        m_failureReason = ErrorText(code);
        return false;
    }
    GlobalInit();
    std::vector<std::string> lines = headers;
    if (post) {
        // The body goes at once: no waiting for a "100 Continue" that some servers never
        // send.
        lines.emplace_back("Expect:");
    }
    const std::string headerBlock = BuildRequestHeaders();
    // Redirects are followed here, one request each, so that each can be judged before
    // anything goes there.
    for (long redirects = 0;; ++redirects) {
        Exchange exchange(*this, address, headerBlock, lines);
        CURL* h = exchange.Handle();
        if (!h) {
            m_failureReason = ErrorText(ConnectionFailed);
            return false;
        }
        exchange.transfer.readRefused = true;
        if (post) {
            curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
            curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
        }
        if (exchange.Perform() != CURLE_OK) {
            m_failureReason = exchange.FailureReason(*this, false);
            return false;
        }
        char* next = nullptr;
        if (IsFollowedRedirect(exchange.status, post) &&
            curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &next) == CURLE_OK && next) {
            if (!MayCarrySecrets(address, next)) {
                reply.refusedRedirectHost = PartOf(next, CURLUPART_HOST);
            } else if (redirects < kMaxRedirects) {
                address = next;
                continue;
            }
        }
        reply.status = exchange.status;
        reply.body = exchange.Body();
        return true;
    }
}

} // namespace sentrel
