#pragma once

#include "model/Alert.h"

namespace sentrel {

// Starts a program, with its arguments as one argument.
class CRunProgramAlert : public CAlert {
    SENTREL_DECLARE_RECORD()

public:
    void VisitFields(IFieldVisitor& v) override;

    // Starts the program without waiting; true when it started. The message is not used,
    // and a program that cannot be started is not logged.
    bool Send(std::string message) override;

    std::string arguments; // stored before the program path
    std::string program;
};

} // namespace sentrel
