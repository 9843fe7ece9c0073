#include "alerts/RunProgramAlert.h"

#include "model/Fields.h"
#include "platform/Platform.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CRunProgramAlert, CAlert, "CRunProgramAlert");

void CRunProgramAlert::VisitFields(IFieldVisitor& v) {
    CAlert::VisitFields(v);
    v.String("arguments", arguments);
    v.String("program", program);
}

bool CRunProgramAlert::Send(std::string) {
    ResetFailure();
    if (!Platform().programStarter->Start(program, arguments)) {
        NoteFailure("Failed to start the program: " + program);
    }
    return Delivered();
}

} // namespace sentrel
