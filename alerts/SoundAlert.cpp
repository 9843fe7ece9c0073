#include "alerts/SoundAlert.h"

#include "model/Fields.h"
#include "platform/Platform.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CSoundAlert, CAlert, "CSoundAlert");

void CSoundAlert::VisitFields(IFieldVisitor& v) {
    CAlert::VisitFields(v);
    v.String("soundFile", soundFile);
}

bool CSoundAlert::Send(std::string) {
    ResetFailure();
    if (!Platform().sound->PlayFile(soundFile)) {
        NoteFailure("Failed to play the sound file: " + soundFile);
    }
    return Delivered();
}

} // namespace sentrel
