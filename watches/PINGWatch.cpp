#include "watches/PINGWatch.h"

#include "model/Archive.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CPINGWatch, CWatch);

void CPINGWatch::Serialize(CArchive& ar) {
    CWatch::Serialize(ar);
    ar.Serialize(hostName);
    ar.Serialize(packetSizeText);
    ar.Serialize(timeToLiveText);
    ar.Serialize(timeoutText);
    ar.Serialize(failureMessage);
}

} // namespace sentrel
