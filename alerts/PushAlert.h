#pragma once

#include "model/Alert.h"

#include <string>

namespace sentrel {

// Sends the message as a push notification to the service its address names, in the
// notification-address convention that monitors share: ntfy (the public server or an
// own one), Gotify, Pushover, Telegram, Discord, Slack, a JSON webhook, or the desktop's
// own notifications (dbus://). The public services are reached over https at the hosts
// the network services give (Network().push).
class CPushAlert : public CAlert {
    SENTREL_DECLARE_RECORD()

public:
    void VisitFields(IFieldVisitor& v) override;

    // Posts the title and the message (cut to what the service takes) to the service;
    // true when it took them. An address that names no known form or lacks a part fails
    // before anything is sent. Outcomes go to the event log, with the address's secrets
    // (passwords, tokens, keys) written as "***".
    bool Send(std::string message) override;

    // Why the address cannot be used (no known form, a part missing); empty when it can.
    std::string AddressProblem() const;

    std::string url;   // the service's address
    std::string title; // may be empty
};

} // namespace sentrel
