#include "alerts/RunProgramAlert.h"

#include "model/Archive.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CRunProgramAlert, CAlert);

void CRunProgramAlert::Serialize(CArchive& ar) {
    CAlert::Serialize(ar);
    ar.Serialize(arguments);
    ar.Serialize(program);
}

} // namespace sentrel
