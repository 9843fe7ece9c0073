#include "alerts/SoundAlert.h"

#include "model/Archive.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CSoundAlert, CAlert);

void CSoundAlert::Serialize(CArchive& ar) {
    CAlert::Serialize(ar);
    ar.Serialize(soundFile);
}

} // namespace sentrel
