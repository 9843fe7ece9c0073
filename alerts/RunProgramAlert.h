#pragma once

#include "model/Alert.h"

namespace sentrel {

// Starts a program, with its arguments as one quoted argument.
class CRunProgramAlert : public CAlert {
    SENTREL_DECLARE_RECORD()

public:
    void Serialize(CArchive& ar) override;

    // Starts the program without waiting; the message is not used and a program that
    // cannot be started is not reported.
    void Send(std::string message) override;

    // The program path, then a blank and the arguments in double quotes when there are
    // any. Neither part is quoted or escaped further.
    std::string CommandLine() const;

    std::string arguments; // stored before the program path
    std::string program;
};

} // namespace sentrel
