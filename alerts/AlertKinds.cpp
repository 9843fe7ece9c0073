#include "alerts/AlertKinds.h"

#include "alerts/ClickatellAlert.h"
#include "alerts/EmailAlert.h"
#include "alerts/MessageAlert.h"
#include "alerts/PushAlert.h"
#include "alerts/RunProgramAlert.h"
#include "alerts/SoundAlert.h"
#include "model/TypeRegistry.h"

#include <array>

namespace sentrel {

namespace {

constexpr std::array<const RecordClass*, 6> kAlertKinds = {
    &CEmailAlert::classInfo,      &CSoundAlert::classInfo,      &CMessageAlert::classInfo,
    &CRunProgramAlert::classInfo, &CClickatellAlert::classInfo, &CPushAlert::classInfo,
};

} // namespace

std::span<const RecordClass* const> AlertKinds() {
    return kAlertKinds;
}

void RegisterAlertKinds() {
    for (const RecordClass* kind : kAlertKinds) {
        TypeRegistry::Instance().Register(*kind);
    }
}

} // namespace sentrel
