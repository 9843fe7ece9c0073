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

bool CRunProgramAlert::Send(std::string) {
    ResetFailure();
    if (!Platform().programStarter->Start(program, arguments)) {
        NoteFailure("Failed to start the program: " + program);
    }
    return Delivered();
}

} // namespace sentrel
