#include "model/Activation.h"
#include "model/Alert.h"
#include "model/Fields.h"
#include "model/Watch.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CWatch, CObject, "CWatch");
SENTREL_IMPLEMENT_RECORD(CAlert, CObject, "CAlert");
SENTREL_IMPLEMENT_RECORD(CActivation, CObject, "CActivation");

void CWatch::VisitFields(IFieldVisitor& v) {
    v.String("name", name);
}

bool CWatch::Check(std::string&) {
    return true;
}

void CWatch::TakeRunState(const CWatch&) {}

void CAlert::VisitFields(IFieldVisitor& v) {
    v.String("name", name);
}

bool CAlert::Send(std::string) {
    return true;
}

void CActivation::VisitFields(IFieldVisitor& v) {
    v.Alerts("alerts", alerts);
    v.Watches("watch", watch);
    v.Bool("containsFilterOn", containsFilterOn);
    v.Bool("excludesFilterOn", excludesFilterOn);
    v.String("name", name);
    v.Bool("enabled", enabled);
    v.String("containsWords", containsWords);
    v.String("excludesWords", excludesWords);
    v.String("nextDate", nextDate);
    v.String("endTime", endTime);
    v.String("interval", interval);
    v.String("startTime", startTime);
    v.String("nextTime", nextTime);
    v.Bool("windowOn", windowOn);
}

} // namespace sentrel
