#pragma once

#include "model/Alert.h"

namespace sentrel {

// Shows the message in an alert popup of its own.
class CMessageAlert : public CAlert {
    SENTREL_DECLARE_RECORD()

public:
    // Opens one more popup and returns without waiting for the user; always delivers.
    bool Send(std::string message) override;
};

} // namespace sentrel
