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
    services.smsGateway = "api.clickatell.com";
    return services;
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
    if (!services.smsGateway.empty())
        current.smsGateway = services.smsGateway;
    return previous;
}

void RequestConnection() {
    Network().connection->RequestConnection();
}

} // namespace sentrel
