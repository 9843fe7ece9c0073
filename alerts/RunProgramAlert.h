#pragma once

#include "model/Alert.h"

namespace sentrel {

// Starts a program, with its arguments as one quoted argument.
class CRunProgramAlert : public CAlert {
    SENTREL_DECLARE_RECORD()

public:
    void Serialize(CArchive& ar) override;

    std::string arguments; // stored before the program path
    std::string program;
};

} // namespace sentrel
