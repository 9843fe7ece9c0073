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

void CRunProgramAlert::Send(std::string) {
    Platform().programStarter->Start(program, arguments);
}

} // namespace sentrel
