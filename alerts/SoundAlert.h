#pragma once

#include "model/Alert.h"

namespace sentrel {

// Plays a WAV file and returns when it has finished.
class CSoundAlert : public CAlert {
    SENTREL_DECLARE_RECORD()

public:
    void Serialize(CArchive& ar) override;

    std::string soundFile;
};

} // namespace sentrel
