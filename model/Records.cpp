#include "model/Activation.h"
#include "model/Alert.h"
#include "model/Archive.h"
#include "model/Watch.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CWatch, CObject);
SENTREL_IMPLEMENT_RECORD(CAlert, CObject);
SENTREL_IMPLEMENT_RECORD(CActivation, CObject);

void CWatch::Serialize(CArchive& ar) { ar.Serialize(name); }

bool CWatch::Check(std::string&) { return true; }

void CAlert::Serialize(CArchive& ar) { ar.Serialize(name); }

bool CAlert::Send(std::string) { return true; }

void CActivation::Serialize(CArchive& ar) {
    ar.SerializeReferences(alerts);
    ar.SerializeReferences(watch);
    ar.Serialize(containsFilterOn);
    ar.Serialize(excludesFilterOn);
    ar.Serialize(name);
    ar.Serialize(enabled);
    ar.Serialize(containsWords);
    ar.Serialize(excludesWords);
    ar.Serialize(nextDate);
    ar.Serialize(endTime);
    ar.Serialize(interval);
    ar.Serialize(startTime);
    ar.Serialize(nextTime);
    ar.Serialize(windowOn);
}

} // namespace sentrel
