#pragma once

#include "model/Alert.h"

#include <cstdint>

namespace sentrel {

// Sends the message as e-mail over SMTP, optionally cut into SMS-sized pieces.
class CEmailAlert : public CAlert {
    SENTREL_DECLARE_RECORD()

public:
    void VisitFields(IFieldVisitor& v) override;
    // Sends the message over SMTP, one connection per message; true when every message
    // went. Failures go to the event log.
    bool Send(std::string message) override;

    std::string recipients;
    std::int32_t maxMessages = 0;
    std::int32_t maxSmsChars = 0;
    std::int32_t smsSplitting = 0;
    std::int32_t multipleMessages = 0; // 0 truncate, 1 several, -1 neither chosen
    std::int32_t subjectOnly = 0;
    std::int32_t authType = 0; // SmtpAuthType
    std::string userName;
    std::string password;
    std::string fromAddress;
    std::string smtpHost;
    std::string fromName;
    std::int32_t port = 0;
};

} // namespace sentrel
