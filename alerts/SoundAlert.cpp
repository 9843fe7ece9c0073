#include "alerts/SoundAlert.h"

#include "model/Archive.h"
#include "platform/Platform.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CSoundAlert, CAlert);

void CSoundAlert::Serialize(CArchive& ar) {
    CAlert::Serialize(ar);
    ar.Serialize(soundFile);
}

void CSoundAlert::Send(std::string) {
    Platform().sound->PlayFile(soundFile);
}

} // namespace sentrel
