#pragma once

#include "model/Alert.h"

#include <cstdint>

namespace sentrel {

// Sends the message as SMS through the gateway's HTTP API, over https, at the address
// the network services give (Network().smsGateway).
class CClickatellAlert : public CAlert {
    SENTREL_DECLARE_RECORD()

public:
    void VisitFields(IFieldVisitor& v) override;

    // Sends the message as one SMS (cut to 160 escaped characters) or as several, as
    // sendMultiple says; true when the gateway took every request. Outcomes go to the
    // event log only.
    bool Send(std::string message) override;
    // Sends one already-escaped SMS text as one request to the gateway; true when the
    // gateway answered.
    bool SendOne(const std::string& text);

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
