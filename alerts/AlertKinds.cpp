#include "alerts/AlertKinds.h"

#include "alerts/ClickatellAlert.h"
#include "alerts/EmailAlert.h"
#include "alerts/MessageAlert.h"
#include "alerts/RunProgramAlert.h"
#include "alerts/SoundAlert.h"
#include "model/TypeRegistry.h"

namespace sentrel {

void RegisterAlertKinds() {
    TypeRegistry& registry = TypeRegistry::Instance();
    registry.Register(CEmailAlert::classInfo);
    registry.Register(CSoundAlert::classInfo);
    registry.Register(CMessageAlert::classInfo);
    registry.Register(CRunProgramAlert::classInfo);
    registry.Register(CClickatellAlert::classInfo);
}

} // namespace sentrel
