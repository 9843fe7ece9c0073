#include "alerts/SoundAlert.h"

#include "model/Archive.h"
#include "platform/Platform.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CSoundAlert, CAlert);

void CSoundAlert::Serialize(CArchive& ar) {
    CAlert::Serialize(ar);
    ar.Serialize(soundFile);
}

bool CSoundAlert::Send(std::string) {
    ResetFailure();
    if (!Platform().sound->PlayFile(soundFile)) {
        NoteFailure("Failed to play the sound file: " + soundFile);
    }
    return Delivered();
}

} // namespace sentrel
