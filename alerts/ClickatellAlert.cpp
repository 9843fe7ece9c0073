#include "alerts/ClickatellAlert.h"

#include "model/Archive.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CClickatellAlert, CAlert);

void CClickatellAlert::Serialize(CArchive& ar) {
    CAlert::Serialize(ar);
    ar.Serialize(from);
    ar.Serialize(to);
    ar.Serialize(maxMessages);
    ar.Serialize(sendMultiple);
    ar.Serialize(msgType);
    ar.Serialize(apiUser);
    ar.Serialize(apiPassword);
    ar.Serialize(apiId);
}

} // namespace sentrel
