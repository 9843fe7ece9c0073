#include "alerts/ClickatellAlert.h"

#include "engine/Connection.h"
#include "engine/EventLog.h"
#include "model/Archive.h"
#include "net/Encoders.h"
#include "net/RobotInternet.h"

#include <algorithm>

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CClickatellAlert, CAlert);

namespace {

constexpr std::size_t kSmsLength = 160;
const char* const kSource = "Clickatell Alert";

std::string& Gateway() {
    static std::string host = "api.clickatell.com";
    return host;
}

} // namespace

std::string CClickatellAlert::GatewayHost() {
    return Gateway();
}

void CClickatellAlert::SetGatewayHost(std::string hostAndPort) {
    Gateway() = std::move(hostAndPort);
}

void CClickatellAlert::Serialize(CArchive& ar) {
    CAlert::Serialize(ar);
    ar.Serialize(from);
    ar.Serialize(to);
    ar.Serialize(maxMessages);
    ar.Serialize(sendMultiple);
    ar.Serialize(msgType);
    ar.Serialize(apiUser);
    ar.Serialize(apiPassword);
    ar.Serialize(apiId);
}

void CClickatellAlert::Send(std::string message) {
    RequestConnection();
    std::replace(message.begin(), message.end(), '\n', ' ');
    // The 160-character unit counts the escaped text, so an escape may be split between
    // two messages.
    const std::string escaped = EscapeForUrl(message);
    if (sendMultiple == 0) {
        SendOne(escaped.substr(0, kSmsLength));
        return;
    }
    std::string remaining = escaped;
    std::int32_t sent = 0;
    do {
        const std::string chunk = remaining.substr(0, kSmsLength);
        remaining = chunk.size() == kSmsLength ? remaining.substr(kSmsLength) : std::string();
        SendOne(chunk);
        ++sent;
    } while (sent < maxMessages && !remaining.empty());
}

void CClickatellAlert::SendOne(const std::string& text) {
    const std::string url = "http://" + GatewayHost() + "/http/sendmsg?api_id=" + apiId +
                            "&user=" + apiUser + "&password=" + apiPassword +
                            "&from=" + EscapeForUrl(from) + "&to=" + to + "&msg_type=" + msgType +
                            "&text=" + text;
    CRobotInternet fetcher;
    std::string reply;
    int code = 0;
    std::string resultText;
    // The gateway's reply is logged as it is, whatever it says.
    if (fetcher.Fetch(url, reply, code, resultText)) {
        Log(kSource, reply);
    } else {
        Log(kSource, "Failed to connect to Clickatell");
    }
}

} // namespace sentrel
