#pragma once

#include "model/Alert.h"

namespace sentrel {

// Shows the message in an alert popup of its own.
class CMessageAlert : public CAlert {
    SENTREL_DECLARE_RECORD()
};

} // namespace sentrel
