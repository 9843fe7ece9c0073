#pragma once

#include "model/Watch.h"

namespace sentrel {

// Fires when a host does not answer an ICMP echo request in time.
class CPINGWatch : public CWatch {
    SENTREL_DECLARE_RECORD()

public:
    void VisitFields(IFieldVisitor& v) override;

    // Pings the host once; triggers with failureMessage when no reply comes in time or
    // the host cannot be reached. A machine that cannot open an ICMP socket at all cannot
    // check.
    bool Check(std::string& message) override;

    // The numbers are kept as typed and converted at every check. The time to live is
    // kept and edited only: requests go out with the system's default.
    std::string hostName;
    std::string packetSizeText;
    std::string timeToLiveText;
    std::string timeoutText;
    std::string failureMessage;
};

} // namespace sentrel
