#pragma once

// What watches and alerts need around the network, beside the platform's services: the
// connection request made before any use of the network, the fetching of web pages, and
// the addresses of the SMS gateway and of the push services. Defaults are in place from
// the start; the engine installs its dial-up policy for as long as it lives, and tests
// install fakes and stand-ins (ScopedNetwork). Members are never null or empty.

#include "net/LocalNetwork.h"
#include "platform/Platform.h"

#include <string>

namespace sentrel {

// Makes sure there is a connection before the network is used.
class IConnectionRequester {
public:
    virtual ~IConnectionRequester() = default;
    virtual void RequestConnection() = 0;
};

// Fetches a web page for the web page watch and its editor: true with the body; false
// with the fetcher's result text and, when known, why it failed (for the trace). The
// user name and password are empty when the page needs none.
class IWebPageFetcher {
public:
    virtual ~IWebPageFetcher() = default;
    virtual bool Fetch(const std::string& url, const std::string& user, const std::string& password,
                       std::string& body, std::string& resultText, std::string& reason) = 0;
};

// The hosts of the push services' public APIs, reached over https: "name" or
// "name:port". By default their public addresses.
struct PushServiceHosts {
    std::string ntfy{};     // ntfy://TOPIC and https://ntfy.sh/TOPIC
    std::string pushover{}; // pover://
    std::string telegram{}; // tgram://
    std::string discord{};  // discord:// and https://discord.com/api/webhooks/...
    std::string slack{};    // https://hooks.slack.com/services/...
};

struct NetworkServices {
    // By default nothing: without an engine (one check from the command line, say)
    // nothing is dialled.
    IConnectionRequester* connection = nullptr;
    // By default over HTTP or HTTPS with CRobotInternet.
    IWebPageFetcher* webPages = nullptr;
    // The host of the SMS gateway's HTTP API, reached over https: "name" or "name:port".
    // By default the gateway's public address.
    std::string smsGateway{};
    // The host of the SMS gateway's current platform (accounts with an API key), the same
    // way.
    std::string smsPlatform{};
    PushServiceHosts push{};
    // Which servers a password may reach without encryption. By default IsLocalAddress:
    // this machine and its local network.
    LocalAddressTest isLocalAddress = nullptr;
};

// The process-wide network services.
NetworkServices& Network();

// Replaces the services and hosts that are set (non-null, non-empty) in `services`;
// returns the previous set.
NetworkServices InstallNetwork(const NetworkServices& services);

// Installs network services and restores the previous ones when it goes out of scope
// (tests).
using ScopedNetwork = ScopedServices<NetworkServices, Network, InstallNetwork>;

// What network watches and alerts call before they touch the network: asks the installed
// requester (the engine's dial-up policy) for a connection.
void RequestConnection();

} // namespace sentrel
