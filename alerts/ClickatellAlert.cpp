#include "alerts/ClickatellAlert.h"

#include "alerts/SmsPieces.h"
#include "model/Fields.h"
#include "net/Encoders.h"
#include "net/RobotInternet.h"
#include "services/EventLog.h"
#include "services/NetworkServices.h"

#include <algorithm>
#include <string_view>

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CClickatellAlert, CAlert, "CClickatellAlert");

namespace {

constexpr std::int64_t kSmsLength = 160;
const char* const kSource = "Clickatell Alert";

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
    // Over https: the request carries the account's password. Every value is escaped: a
    // "#" in a password or a "&" in a number would otherwise cut the request short or add
    // parameters to it.
    const std::string url =
        "https://" + Network().smsGateway + "/http/sendmsg?api_id=" + EscapeForUrl(apiId) +
        "&user=" + EscapeForUrl(apiUser) + "&password=" + EscapeForUrl(apiPassword) +
        "&from=" + EscapeForUrl(from) + "&to=" + EscapeForUrl(to) +
        "&msg_type=" + EscapeForUrl(msgType) + "&text=" + text;
    CRobotInternet fetcher;
    std::string reply;
    int code = 0;
    std::string resultText;
    // The gateway's reply is logged as it is, whatever it says.
    if (fetcher.Fetch(url, reply, code, resultText)) {
        Log(kSource, reply);
        return true;
    }
    const std::string failure = "Failed to connect to Clickatell";
    Log(kSource, failure);
    Log(kSource, fetcher.FailureReason());
    NoteFailure(failure + ": " + fetcher.FailureReason());
    return false;
}

} // namespace sentrel
