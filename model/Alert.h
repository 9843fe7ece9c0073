#pragma once

#include "model/Object.h"

#include <string>

namespace sentrel {

// An alert delivers a message in its own way. The bare base sends nothing.
class CAlert : public CObject {
    SENTREL_DECLARE_RECORD()

public:
    void Serialize(CArchive& ar) override;

    // Delivers the message; reports its own failures (event log or message box).
    virtual void Send(std::string message);

    std::string name;
};

} // namespace sentrel
