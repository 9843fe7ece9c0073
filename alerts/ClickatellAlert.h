#pragma once

#include "model/Alert.h"

#include <cstdint>

namespace sentrel {

// Sends the message as SMS through the gateway's HTTP API.
class CClickatellAlert : public CAlert {
    SENTREL_DECLARE_RECORD()

public:
    void Serialize(CArchive& ar) override;

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
