#pragma once

#include "model/Object.h"

#include <string>

namespace sentrel {

// An alert delivers a message in its own way. The bare base sends nothing.
class CAlert : public CObject {
    SENTREL_DECLARE_RECORD()

public:
    void VisitFields(IFieldVisitor& v) override;

    // Delivers the message and says whether it was delivered. The alert reports its own
    // failures (event log or message box); the engine does not look at the result.
    virtual bool Send(std::string message);

    // Why the last Send did not deliver (its first failure); empty when it did. Not stored.
    const std::string& FailureText() const { return m_failure; }

    std::string name;

protected:
    // For Send: a new attempt starts without the previous one's failure.
    void ResetFailure() { m_failure.clear(); }
    // For Send: notes a failure; the first one of an attempt is the one kept.
    void NoteFailure(const std::string& why) {
        if (m_failure.empty()) {
            m_failure = why;
        }
    }
    // For Send: the result of an attempt.
    bool Delivered() const { return m_failure.empty(); }

private:
    std::string m_failure;
};

} // namespace sentrel
