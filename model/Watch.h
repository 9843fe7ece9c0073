#pragma once

#include "model/Object.h"

#include <string>
#include <vector>

namespace sentrel {

// A watch observes one source and says whether something happened and what the message
// is. The bare base is a store record of its own: it always triggers, with no message.
class CWatch : public CObject {
    SENTREL_DECLARE_RECORD()

public:
    void VisitFields(IFieldVisitor& v) override;

    // The engine calls this with an empty message; true means triggered, and the message
    // then holds the text that describes the occurrence. False is not triggered, or, when
    // FailureText() then says why, the watch could not look at its source at all.
    virtual bool Check(std::string& message);

    // Why the last Check could not look at its source (its first failure, in words for the
    // user, never with a password); empty when it could. Not stored.
    const std::string& FailureText() const { return m_failure; }

    // What a kind keeps for the run only, outside its stored fields, taken over from a copy
    // that was checked in its place (Clone carries it into the copy). Nothing for most kinds.
    virtual void TakeRunState(const CWatch& checked);

    // What a kind remembers from one run of the program to the next, kept beside the store
    // and never in it. The key names what the lines belong to: when it changes, the lines
    // are for something else and are not restored. An empty key: nothing is kept.
    virtual std::vector<std::string> LastingKey() const { return {}; }
    virtual std::vector<std::string> LastingLines() const { return {}; }
    // Called at start-up with the lines saved under the watch's key.
    virtual void RestoreLasting(std::vector<std::string> lines) { (void)lines; }

    std::string name;

protected:
    // For Check: a new check starts without the previous one's failure.
    void ResetFailure() { m_failure.clear(); }
    // For Check: notes why the source could not be looked at; the first reason is kept.
    void NoteFailure(const std::string& why) {
        if (m_failure.empty()) {
            m_failure = why.empty() ? "unknown error" : why;
        }
    }

private:
    std::string m_failure;
};

} // namespace sentrel
