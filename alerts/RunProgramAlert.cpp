#include "alerts/RunProgramAlert.h"

#include "model/Archive.h"
#include "platform/Platform.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CRunProgramAlert, CAlert);

void CRunProgramAlert::Serialize(CArchive& ar) {
    CAlert::Serialize(ar);
    ar.Serialize(arguments);
    ar.Serialize(program);
}

std::string CRunProgramAlert::CommandLine() const {
    std::string command = program;
    if (!arguments.empty()) {
        command += " \"";
        command += arguments;
        command += '"';
    }
    return command;
}

void CRunProgramAlert::Send(std::string) {
    Platform().programStarter->Start(CommandLine());
}

} // namespace sentrel
