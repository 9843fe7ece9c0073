#pragma once

#include "model/Alert.h"

#include <cstdint>

namespace sentrel {

// Sends the message as SMS through the gateway's HTTP API, over https, at the address
// the network services give: the legacy interface (Network().smsGateway) for an account
// with a user name and password, the current platform (Network().smsPlatform) for one
// whose API ID is an API key.
class CClickatellAlert : public CAlert {
    SENTREL_DECLARE_RECORD()

public:
    void VisitFields(IFieldVisitor& v) override;

    // Sends the message as one SMS (cut to 160 escaped characters) or as several, as
    // sendMultiple says; true when the gateway took every one. Outcomes go to the event
    // log only.
    bool Send(std::string message) override;
    // Sends one already-escaped SMS text as one request to the gateway; true when the
    // gateway's reply says it took it.
    bool SendOne(const std::string& text);

    // An account of the current platform: no user name and no password, and the API ID
    // is the API key.
    bool UsesApiKey() const { return apiUser.empty() && apiPassword.empty(); }

    std::string from;
    std::string to;
    std::int32_t maxMessages = 0;
    std::int32_t sendMultiple = 0; // 0: truncate to one SMS; 1: several SMS
    std::string msgType;           // "SMS_TEXT" or "SMS_FLASH"
    std::string apiUser;
    std::string apiPassword;
    std::string apiId;
};

} // namespace sentrel
