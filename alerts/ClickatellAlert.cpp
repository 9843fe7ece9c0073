#include "alerts/ClickatellAlert.h"

#include "alerts/JsonReply.h"
#include "alerts/SmsPieces.h"
#include "model/Fields.h"
#include "net/Encoders.h"
#include "net/RobotInternet.h"
#include "platform/Text.h"
#include "services/EventLog.h"
#include "services/NetworkServices.h"

#include <algorithm>
#include <string_view>

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CClickatellAlert, CAlert, "CClickatellAlert");

namespace {

constexpr std::int64_t kSmsLength = 160;
const char* const kSource = "Clickatell Alert";

bool IsSuccess(long status) {
    return status >= 200 && status < 300;
}

std::string NotUnderstood(const std::string& reply) {
    return "the gateway's reply was not understood: " + StartOfReply(reply, 200);
}

// Why the legacy gateway did not take the message; empty when it did. It answers
// "ID: ..." for a message it took and "ERR: CODE, TEXT" for one it refused.
std::string LegacyRefusal(const HttpReply& reply) {
    const std::string_view words = Trim(reply.body);
    if (words.starts_with("ERR:")) {
        return std::string(words);
    }
    if (IsSuccess(reply.status) && words.starts_with("ID:")) {
        return {};
    }
    return NotUnderstood(reply.body);
}

// Why the current platform did not take the message; empty when it did. It answers
// JSON: an error of the whole request at the top, and each message accepted or not,
// with an error of its own.
std::string PlatformRefusal(const HttpReply& reply) {
    const Json json = ParseJsonReply(reply.body);
    if (!json.is_object()) {
        return NotUnderstood(reply.body);
    }
    if (const auto error = json.find("error"); error != json.end() && !error->is_null()) {
        const std::string why = JsonErrorText(json);
        return why.empty() ? NotUnderstood(reply.body) : why;
    }
    const auto messages = json.find("messages");
    if (!IsSuccess(reply.status) || messages == json.end() || !messages->is_array() ||
        messages->empty()) {
        return NotUnderstood(reply.body);
    }
    for (const Json& message : *messages) {
        const auto accepted = message.is_object() ? message.find("accepted") : message.end();
        if (accepted == message.end() || !accepted->is_boolean() || !accepted->get<bool>()) {
            const std::string why = JsonErrorText(message);
            return why.empty() ? NotUnderstood(reply.body) : why;
        }
    }
    return {};
}

} // namespace

void CClickatellAlert::VisitFields(IFieldVisitor& v) {
    CAlert::VisitFields(v);
    v.String("from", from);
    v.String("to", to);
    v.Int("maxMessages", maxMessages);
    v.Int("sendMultiple", sendMultiple);
    v.String("msgType", msgType);
    v.String("apiUser", apiUser);
    v.String("apiPassword", apiPassword);
    v.String("apiId", apiId);
}

bool CClickatellAlert::Send(std::string message) {
    ResetFailure();
    RequestConnection();
    std::replace(message.begin(), message.end(), '\n', ' ');
    // An SMS holds at most 160 characters of the escaped text. It ends early rather than
    // inside an escape or a character, which the gateway would receive broken.
    std::string_view rest = message;
    std::int32_t sent = 0;
    do {
        const std::size_t length = FirstPieceLength(rest, kSmsLength, PieceMeasure::UrlEscaped);
        SendOne(EscapeForUrl(std::string(rest.substr(0, length))));
        rest.remove_prefix(length);
        ++sent;
    } while (sendMultiple != 0 && sent < maxMessages && !rest.empty());
    return Delivered();
}

bool CClickatellAlert::SendOne(const std::string& text) {
    // Over https: the request carries the account's password or key. Every value is
    // escaped: a "#" in a password or a "&" in a number would otherwise cut the request
    // short or add parameters to it.
    const std::string url =
        UsesApiKey()
            ? "https://" + Network().smsPlatform +
                  "/messages/http/send?apiKey=" + EscapeForUrl(apiId) + "&to=" + EscapeForUrl(to) +
                  "&content=" + text + (from.empty() ? "" : "&from=" + EscapeForUrl(from))
            : "https://" + Network().smsGateway + "/http/sendmsg?api_id=" + EscapeForUrl(apiId) +
                  "&user=" + EscapeForUrl(apiUser) + "&password=" + EscapeForUrl(apiPassword) +
                  "&from=" + EscapeForUrl(from) + "&to=" + EscapeForUrl(to) +
                  "&msg_type=" + EscapeForUrl(msgType) + "&text=" + text;
    CRobotInternet fetcher;
    HttpReply reply;
    if (!fetcher.Request("GET", url, {}, {}, reply)) {
        const std::string failure = "Failed to connect to Clickatell";
        Log(kSource, failure);
        Log(kSource, fetcher.FailureReason());
        NoteFailure(failure + ": " + fetcher.FailureReason());
        return false;
    }
    // Every reply is logged as it came; then what it means.
    Log(kSource, reply.body);
    const std::string refusal = UsesApiKey() ? PlatformRefusal(reply) : LegacyRefusal(reply);
    if (refusal.empty()) {
        return true;
    }
    if (reply.status >= 400) {
        Log(kSource, "The server answered with status " + std::to_string(reply.status));
    }
    if (refusal != Trim(reply.body)) {
        Log(kSource, refusal);
    }
    NoteFailure(refusal);
    return false;
}

} // namespace sentrel
