#include "alerts/PushAlert.h"

#include "alerts/JsonReply.h"
#include "alerts/SmsPieces.h"
#include "model/Fields.h"
#include "net/Base64Coder.h"
#include "net/Encoders.h"
#include "net/RobotInternet.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "services/EventLog.h"
#include "services/NetworkServices.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CPushAlert, CAlert, "CPushAlert");

namespace {

const char* const kSource = "Push Alert";
const char* const kHidden = "***";

// The most a service takes of one message: ntfy counts bytes, the others characters.
constexpr std::int64_t kNtfyBytes = 4096;
constexpr std::int64_t kTelegramCharacters = 4096;
constexpr std::int64_t kDiscordCharacters = 2000;
constexpr std::int64_t kPushoverCharacters = 1024;

// How a service says that it took a message, beyond a 2xx status.
enum class Verdict {
    Status,      // the status alone
    OkField,     // {"ok": true} (Telegram)
    StatusField, // {"status": 1} (Pushover)
};

// What an address asks for: a POST to a service, or a desktop notification; or, in
// `problem`, why neither can be made. `shown` is the address with its secrets hidden.
struct Delivery {
    std::string problem{};
    std::string shown{};
    bool desktop = false;
    std::string url{};
    std::vector<std::string> headers{};
    std::string user{}; // Basic authorisation, when not empty
    std::string password{};
    std::string body{};
    Verdict verdict = Verdict::Status;
};

// An address taken apart: "scheme://[userinfo@]authority[/path][?query]".
struct Address {
    std::string scheme; // in lower case
    bool hasUserInfo = false;
    std::string userInfo;
    std::string authority;
    bool hasPath = false; // a "/" follows the authority
    std::string path;     // after that "/"
    std::string query;    // after the "?"

    // The address again, with `userInfo` and `path` as given.
    std::string Shown(const std::string& shownUserInfo, const std::string& shownPath) const {
        return scheme + "://" + (hasUserInfo ? shownUserInfo + "@" : "") + authority +
               (hasPath ? "/" + shownPath : "") + (query.empty() ? "" : "?" + query);
    }
};

std::optional<Address> Split(std::string_view text) {
    const std::size_t marker = text.find("://");
    if (marker == std::string_view::npos || marker == 0) {
        return std::nullopt;
    }
    Address address;
    for (char c : text.substr(0, marker)) {
        address.scheme += AsciiLower(c);
    }
    std::string_view rest = text.substr(marker + 3);
    if (const std::size_t query = rest.find('?'); query != std::string_view::npos) {
        address.query = rest.substr(query + 1);
        rest = rest.substr(0, query);
    }
    const std::size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    if (slash != std::string_view::npos) {
        address.hasPath = true;
        address.path = rest.substr(slash + 1);
    }
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        address.hasUserInfo = true;
        address.userInfo = authority.substr(0, at);
        authority = authority.substr(at + 1);
    }
    address.authority = authority;
    return address;
}

int HexValue(char c) {
    const char lower = AsciiLower(c);
    return IsDigit(c) ? c - '0' : lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// "%XX" escapes turned back into their bytes, but for control characters: a line break
// in a token would end its header and start another of the address's choosing.
std::string Unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int byte = text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                                 HexValue(text[i + 2]) >= 0
                             ? HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])
                             : -1;
        if (byte >= 0x20 && byte != 0x7F) {
            out += static_cast<char>(byte);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The value of a query parameter, unescaped; nothing when it is not there.
std::optional<std::string> Parameter(const std::string& query, std::string_view name) {
    std::string_view rest = query;
    while (!rest.empty()) {
        const std::size_t end = rest.find('&');
        const std::string_view pair = rest.substr(0, end);
        const std::size_t equals = pair.find('=');
        if (pair.substr(0, equals) == name) {
            return Unescaped(equals == std::string_view::npos ? "" : pair.substr(equals + 1));
        }
        rest = end == std::string_view::npos ? "" : rest.substr(end + 1);
    }
    return std::nullopt;
}

// Why an own server's "host[:port]" cannot be used; empty when it can.
std::string HostProblem(std::string_view authority) {
    std::string_view port;
    if (!authority.empty() && authority[0] == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos || close == 1) {
            return "The push address has no host";
        }
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty() && after[0] != ':') {
            return "The push address has no host";
        }
        port = after.empty() ? after : after.substr(1);
        if (!after.empty() && port.empty()) {
            return "The push address has no port after its \":\"";
        }
    } else {
        const std::size_t colon = authority.rfind(':');
        if (authority.substr(0, colon).empty()) {
            return "The push address has no host";
        }
        if (colon != std::string_view::npos) {
            port = authority.substr(colon + 1);
            if (port.empty()) {
                return "The push address has no port after its \":\"";
            }
        }
    }
    long value = 0;
    for (char c : port) {
        if (!IsDigit(c) || (value = value * 10 + (c - '0')) > 65535) {
            return "The push address's port is not a number from 1 to 65535";
        }
    }
    if (!port.empty() && value == 0) {
        return "The push address's port is not a number from 1 to 65535";
    }
    return {};
}

// Stored text as UTF-8: as it is when it is UTF-8, otherwise read as Windows-1252 (a
// store from Windows), as the windows show it.
std::string Utf8Of(const std::string& text) {
    if (IsUtf8(text)) {
        return text;
    }
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            AppendUtf8(out, Windows1252CodePoint(byte));
        }
    }
    return out;
}

// The text cut to what a service takes, at a character boundary.
std::string CutTo(const std::string& text, std::int64_t limit, PieceMeasure measure) {
    return text.substr(0, FirstPieceLength(text, limit, measure));
}

// A header value: printable ASCII as it is, anything else as one RFC 2047 encoded word
// (which also keeps a line break in a title from ending the header).
std::string HeaderValue(const std::string& text) {
    for (char c : text) {
        if (c < 0x20 || c > 0x7E) {
            return "=?UTF-8?B?" + CBase64Coder::Encode(text) + "?=";
        }
    }
    return text;
}

// The title on a line of its own above the message, when there is one.
std::string TitledText(const std::string& title, const std::string& message) {
    return title.empty() ? message : title + "\n" + message;
}

// "user:***" for a user and a password, "***" for a token or a key.
std::string HiddenUserInfo(const std::string& userInfo) {
    const std::size_t colon = userInfo.find(':');
    return colon == std::string::npos ? kHidden : userInfo.substr(0, colon + 1) + kHidden;
}

// Basic authorisation from "user:password", or a bearer token from "tk_TOKEN".
void Authorise(const Address& address, Delivery& d, bool tokens) {
    if (!address.hasUserInfo) {
        return;
    }
    const std::size_t colon = address.userInfo.find(':');
    if (colon != std::string::npos) {
        d.user = Unescaped(address.userInfo.substr(0, colon));
        d.password = Unescaped(address.userInfo.substr(colon + 1));
        if (d.user.empty()) {
            d.problem = "The push address has a password but no user name";
        }
    } else if (tokens && address.userInfo.starts_with("tk_")) {
        d.headers.push_back("Authorization: Bearer " + Unescaped(address.userInfo));
    } else {
        d.problem = "The push address has a user name but no password";
    }
}

std::string Scheme(bool tls) {
    return tls ? "https://" : "http://";
}

// ntfy: the message as the body, the title and the address's priority and tags as
// headers. `server` is "scheme://host[:port]".
Delivery Ntfy(const Address& address, const std::string& server, const std::string& topic,
              const std::string& title, const std::string& message) {
    Delivery d;
    d.shown = address.Shown(HiddenUserInfo(address.userInfo), address.path);
    if (topic.empty()) {
        d.problem = "The push address has no topic";
        return d;
    }
    Authorise(address, d, true);
    d.url = server + "/" + topic;
    d.headers.push_back("Content-Type: text/plain; charset=utf-8");
    if (!title.empty()) {
        d.headers.push_back("Title: " + HeaderValue(title));
    }
    if (const auto priority = Parameter(address.query, "priority")) {
        if (priority->size() != 1 || (*priority)[0] < '1' || (*priority)[0] > '5') {
            d.problem = "The priority in the push address is not 1 to 5";
        }
        d.headers.push_back("Priority: " + *priority);
    }
    if (const auto tags = Parameter(address.query, "tags")) {
        d.headers.push_back("Tags: " + HeaderValue(*tags));
    }
    d.body = CutTo(message, kNtfyBytes, PieceMeasure::Bytes);
    return d;
}

Delivery Gotify(const Address& address, bool tls, const std::string& title,
                const std::string& message) {
    // The application token is the last part of the path; a server under a path of its
    // own has that path before it.
    const std::size_t last = address.path.rfind('/');
    const std::string prefix = last == std::string::npos ? "" : address.path.substr(0, last + 1);
    const std::string token = address.path.substr(prefix.size());
    Delivery d;
    d.shown = address.Shown(HiddenUserInfo(address.userInfo), prefix + kHidden);
    d.problem = HostProblem(address.authority);
    if (d.problem.empty() && token.empty()) {
        d.problem = "The push address has no application token";
    }
    d.url = Scheme(tls) + address.authority + "/" + prefix + "message";
    d.headers = {"X-Gotify-Key: " + Unescaped(token), "Content-Type: application/json"};
    d.body = JsonBody({{"title", title}, {"message", message}, {"priority", 5}});
    return d;
}

Delivery Pushover(const Address& address, const std::string& title, const std::string& message) {
    Delivery d;
    d.shown = address.scheme + "://" + kHidden + "@" + kHidden;
    if (address.userInfo.empty()) {
        d.problem = "The push address has no user key";
    } else if (address.authority.empty()) {
        d.problem = "The push address has no application token";
    }
    d.url = "https://" + Network().push.pushover + "/1/messages.json";
    d.headers = {"Content-Type: application/x-www-form-urlencoded"};
    d.body = "token=" + EscapeForUrl(Unescaped(address.authority)) +
             "&user=" + EscapeForUrl(Unescaped(address.userInfo)) + "&message=" +
             EscapeForUrl(CutTo(message, kPushoverCharacters, PieceMeasure::Characters)) +
             "&title=" + EscapeForUrl(title);
    d.verdict = Verdict::StatusField;
    return d;
}

Delivery Telegram(const Address& address, const std::string& title, const std::string& message) {
    Delivery d;
    d.shown = address.scheme + "://" + kHidden + "/" + address.path;
    if (address.authority.empty()) {
        d.problem = "The push address has no bot token";
    } else if (address.path.empty()) {
        d.problem = "The push address has no chat id";
    }
    d.url = "https://" + Network().push.telegram + "/bot" + address.authority + "/sendMessage";
    d.headers = {"Content-Type: application/json"};
    d.body = JsonBody({{"chat_id", Unescaped(address.path)},
                       {"text", CutTo(TitledText(title, message), kTelegramCharacters,
                                      PieceMeasure::Characters)}});
    d.verdict = Verdict::OkField;
    return d;
}

// `shownStart` is the address up to the webhook's id, as the user wrote it.
Delivery Discord(const std::string& shownStart, const std::string& id, const std::string& token,
                 const std::string& title, const std::string& message) {
    Delivery d;
    d.shown = shownStart + id + "/" + kHidden;
    if (id.empty()) {
        d.problem = "The push address has no webhook id";
    } else if (token.empty()) {
        d.problem = "The push address has no webhook token";
    }
    d.url = "https://" + Network().push.discord + "/api/webhooks/" + id + "/" + token;
    d.headers = {"Content-Type: application/json"};
    const std::string content = title.empty() ? message : "**" + title + "**\n" + message;
    d.body = JsonBody({{"content", CutTo(content, kDiscordCharacters, PieceMeasure::Characters)}});
    return d;
}

Delivery Slack(const Address& address, const std::string& title, const std::string& message) {
    constexpr std::string_view kServices = "services/";
    Delivery d;
    d.shown = address.Shown(kHidden, std::string(kServices) + kHidden);
    if (!address.path.starts_with(kServices) || address.path.size() == kServices.size()) {
        d.problem = "The push address has no webhook path after /services/";
    }
    d.url = "https://" + Network().push.slack + "/" + address.path;
    d.headers = {"Content-Type: application/json"};
    d.body = JsonBody({{"text", TitledText(title, message)}});
    return d;
}

Delivery JsonWebhook(const Address& address, bool tls, const std::string& title,
                     const std::string& message) {
    Delivery d;
    d.shown = address.Shown(HiddenUserInfo(address.userInfo), address.path);
    d.problem = HostProblem(address.authority);
    if (d.problem.empty()) {
        Authorise(address, d, false);
    }
    d.url = Scheme(tls) + address.authority + "/" + address.path +
            (address.query.empty() ? "" : "?" + address.query);
    d.headers.push_back("Content-Type: application/json");
    d.body = JsonBody({{"title", title}, {"message", message}});
    return d;
}

// The first part of a path ("a" of "a/b"), and what follows it.
std::pair<std::string, std::string> FirstPart(const std::string& path) {
    const std::size_t slash = path.find('/');
    return {path.substr(0, slash), slash == std::string::npos ? "" : path.substr(slash + 1)};
}

// A topic name on the public ntfy server: letters, digits, "-" and "_".
bool IsTopicName(const std::string& text) {
    for (char c : text) {
        if (!(IsDigit(c) || (AsciiLower(c) >= 'a' && AsciiLower(c) <= 'z') || c == '-' ||
              c == '_')) {
            return false;
        }
    }
    return !text.empty();
}

Delivery Plan(const std::string& text, const std::string& storedTitle,
              const std::string& storedMessage) {
    const std::string_view trimmed = Trim(text);
    if (trimmed.empty()) {
        return {.problem = "The push alert has no address"};
    }
    const std::optional<Address> split = Split(trimmed);
    if (!split) {
        return {.problem = "The push address names no known service",
                .shown = std::string(trimmed)};
    }
    const Address& a = *split;
    const std::string title = Utf8Of(storedTitle);
    const std::string message = Utf8Of(storedMessage);
    const bool https = a.scheme == "https";
    const std::string publicNtfy = "https://" + Network().push.ntfy;

    if (a.scheme == "dbus") {
        return {.shown = "dbus://", .desktop = true};
    }
    if (a.scheme == "ntfy" && !a.hasPath && !a.hasUserInfo && IsTopicName(a.authority)) {
        return Ntfy(a, publicNtfy, a.authority, title, message);
    }
    if (a.scheme == "ntfy" || a.scheme == "ntfys") {
        Delivery d = Ntfy(a, Scheme(a.scheme == "ntfys") + a.authority, a.path, title, message);
        if (const std::string problem = HostProblem(a.authority); !problem.empty()) {
            d.problem = problem;
        }
        return d;
    }
    if (https && EqualsNoCase(a.authority, "ntfy.sh")) {
        return Ntfy(a, publicNtfy, a.path, title, message);
    }
    if (a.scheme == "gotify" || a.scheme == "gotifys") {
        return Gotify(a, a.scheme == "gotifys", title, message);
    }
    if (a.scheme == "pover") {
        return Pushover(a, title, message);
    }
    if (a.scheme == "tgram") {
        return Telegram(a, title, message);
    }
    if (a.scheme == "discord") {
        return Discord("discord://", a.authority, a.path, title, message);
    }
    if (https &&
        (EqualsNoCase(a.authority, "discord.com") || EqualsNoCase(a.authority, "discordapp.com"))) {
        constexpr std::string_view kWebhooks = "api/webhooks/";
        if (!a.path.starts_with(kWebhooks)) {
            return {.problem = "The push address has no webhook id",
                    .shown = a.Shown(kHidden, a.path)};
        }
        const auto [id, token] = FirstPart(a.path.substr(kWebhooks.size()));
        return Discord("https://" + a.authority + "/" + std::string(kWebhooks), id, token, title,
                       message);
    }
    if (https && EqualsNoCase(a.authority, "hooks.slack.com")) {
        return Slack(a, title, message);
    }
    if (a.scheme == "json" || a.scheme == "jsons") {
        return JsonWebhook(a, a.scheme == "jsons", title, message);
    }
    return {.problem = "The push address names no known service",
            .shown = a.Shown(HiddenUserInfo(a.userInfo), a.path)};
}

// Why the service did not take the message, from its reply; empty when it did.
std::string Refusal(Verdict verdict, const HttpReply& reply) {
    if (!reply.refusedRedirectHost.empty()) {
        return "The service sent the message on to another host (" + reply.refusedRedirectHost +
               "), where it was not sent";
    }
    const Json json = ParseJsonReply(reply.body);
    std::string text = JsonErrorText(json);
    if (text.empty() && json.is_discarded()) {
        // A service that answers in words (Slack), not a page of HTML.
        const std::string_view body = Trim(reply.body);
        if (!body.empty() && body[0] != '<') {
            text = StartOfReply(body.substr(0, body.find('\n')), 200);
        }
    }
    const bool taken = reply.status >= 200 && reply.status < 300;
    if (!taken) {
        return !text.empty() ? text
                             : "The service answered with status " + std::to_string(reply.status);
    }
    const auto field =
        json.is_object() ? json.find(verdict == Verdict::OkField ? "ok" : "status") : json.end();
    const bool said = verdict == Verdict::Status ||
                      (field != json.end() &&
                       (verdict == Verdict::OkField
                            ? field->is_boolean() && field->get<bool>()
                            : field->is_number_integer() && field->get<std::int64_t>() == 1));
    if (said) {
        return {};
    }
    return !text.empty() ? text : "The service did not take the message";
}

} // namespace

void CPushAlert::VisitFields(IFieldVisitor& v) {
    CAlert::VisitFields(v);
    v.String("url", url);
    v.String("title", title);
}

std::string CPushAlert::AddressProblem() const {
    return Plan(url, title, {}).problem;
}

bool CPushAlert::Send(std::string message) {
    ResetFailure();
    const Delivery d = Plan(url, title, message);
    const std::string failure =
        d.shown.empty() ? "Failed to send the push notification" : "Failed to send to " + d.shown;
    const auto fail = [&](const std::string& reason) {
        Log(kSource, failure);
        Log(kSource, reason);
        NoteFailure(failure + ": " + reason);
        return false;
    };
    if (!d.problem.empty()) {
        return fail(d.problem);
    }
    if (d.desktop) {
        std::string why;
        if (!Platform().notifications->Notify(title.empty() ? "Sentrel" : Utf8Of(title),
                                              Utf8Of(message), why)) {
            return fail(why.empty() ? "The desktop did not show the notification" : why);
        }
    } else {
        RequestConnection();
        CRobotInternet client;
        client.user = d.user;
        client.password = d.password;
        HttpReply reply;
        if (!client.Request("POST", d.url, d.headers, d.body, reply)) {
            return fail(client.FailureReason());
        }
        if (const std::string refusal = Refusal(d.verdict, reply); !refusal.empty()) {
            return fail(refusal);
        }
    }
    Log(kSource, "Sent to " + d.shown);
    return true;
}

} // namespace sentrel
