#pragma once

#include "model/Object.h"

#include <string>

namespace sentrel {

// A watch observes one source and says whether something happened and what the message
// is. The bare base is a store record of its own: it always triggers, with no message.
class CWatch : public CObject {
    SENTREL_DECLARE_RECORD()

public:
    void VisitFields(IFieldVisitor& v) override;

    // The engine calls this with an empty message; true means triggered, and the message
    // then holds the text that describes the occurrence.
    virtual bool Check(std::string& message);

    // What a kind keeps for the run only, outside its stored fields, taken over from a copy
    // that was checked in its place (Clone carries it into the copy). Nothing for most kinds.
    virtual void TakeRunState(const CWatch& checked);

    std::string name;
};

} // namespace sentrel
