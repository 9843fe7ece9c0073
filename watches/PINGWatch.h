#pragma once

#include "model/Watch.h"

namespace sentrel {

// Fires when a host does not answer an ICMP echo request in time.
class CPINGWatch : public CWatch {
    SENTREL_DECLARE_RECORD()

public:
    void Serialize(CArchive& ar) override;

    // The numbers are kept as typed and converted at every check.
    std::string hostName;
    std::string packetSizeText;
    std::string timeToLiveText;
    std::string timeoutText;
    std::string failureMessage;
};

} // namespace sentrel
