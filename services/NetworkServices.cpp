#include "services/NetworkServices.h"

#include "net/RobotInternet.h"

namespace sentrel {

namespace {

class NoConnectionRequest : public IConnectionRequester {
public:
    void RequestConnection() override {}
};

class HttpPageFetcher : public IWebPageFetcher {
public:
    bool Fetch(const std::string& url, const std::string& user, const std::string& password,
               std::string& body, std::string& resultText, std::string& reason) override {
        CRobotInternet internet;
        internet.user = user;
        internet.password = password;
        int code = 0;
        const bool ok = internet.Fetch(url, body, code, resultText);
        reason = internet.FailureReason();
        return ok;
    }
};

NetworkServices MakeDefaults() {
    static NoConnectionRequest connection;
    static HttpPageFetcher webPages;
    NetworkServices services;
    services.connection = &connection;
    services.webPages = &webPages;
    services.isLocalAddress = IsLocalAddress;
    services.smsGateway = "api.clickatell.com";
    services.smsPlatform = "platform.clickatell.com";
    services.push = {.ntfy = "ntfy.sh",
                     .pushover = "api.pushover.net",
                     .telegram = "api.telegram.org",
                     .discord = "discord.com",
                     .slack = "hooks.slack.com"};
    return services;
}

void ReplaceIfSet(std::string& current, const std::string& given) {
    if (!given.empty()) {
        current = given;
    }
}

} // namespace

NetworkServices& Network() {
    static NetworkServices services = MakeDefaults();
    return services;
}

NetworkServices InstallNetwork(const NetworkServices& services) {
    NetworkServices& current = Network();
    NetworkServices previous = current;
    ReplaceIfSet(current.connection, services.connection);
    ReplaceIfSet(current.webPages, services.webPages);
    if (services.isLocalAddress) {
        current.isLocalAddress = services.isLocalAddress;
    }
    ReplaceIfSet(current.smsGateway, services.smsGateway);
    ReplaceIfSet(current.smsPlatform, services.smsPlatform);
    ReplaceIfSet(current.push.ntfy, services.push.ntfy);
    ReplaceIfSet(current.push.pushover, services.push.pushover);
    ReplaceIfSet(current.push.telegram, services.push.telegram);
    ReplaceIfSet(current.push.discord, services.push.discord);
    ReplaceIfSet(current.push.slack, services.push.slack);
    return previous;
}

void RequestConnection() {
    Network().connection->RequestConnection();
}

} // namespace sentrel
