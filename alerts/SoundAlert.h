#pragma once

#include "model/Alert.h"

namespace sentrel {

// Plays a WAV file and returns when it has finished.
class CSoundAlert : public CAlert {
    SENTREL_DECLARE_RECORD()

public:
    void VisitFields(IFieldVisitor& v) override;

    // Plays the file (or the default sound when it cannot) and returns when it has ended;
    // true when the file itself played. The message is not used.
    bool Send(std::string message) override;

    std::string soundFile;
};

} // namespace sentrel
