#include "watches/DateTimeWatch.h"

#include "model/Fields.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CDateTimeWatch, CWatch, "CDateTimeWatch");

void CDateTimeWatch::VisitFields(IFieldVisitor& v) {
    CWatch::VisitFields(v);
    v.DateTime("dailyTime", dailyTime);
    v.Bool("dailyOn", dailyOn);
    v.Bool("onceOn", onceOn);
    v.DateTime("onceDate", onceDate);
    v.DateTime("onceTime", onceTime);
    v.String("name", name); // the name is stored a second time; the second copy wins
    v.Bool("onFriday", onFriday);
    v.Bool("onMonday", onMonday);
    v.Bool("onSaturday", onSaturday);
    v.Bool("onSunday", onSunday);
    v.Bool("onThursday", onThursday);
    v.Bool("onTuesday", onTuesday);
    v.Bool("onWednesday", onWednesday);
    v.String("message", message);
    v.DateTime("lastCheck", lastCheck);
}

bool CDateTimeWatch::Check(std::string& outMessage) {
    const CDateTime now = CDateTime::Now();
    bool triggered = false;

    if (onceOn) {
        // Parts of an invalid value are -1, which makes the moment invalid: it never fires.
        const CDateTime moment =
            CDateTime::FromParts(onceDate.GetYear(), onceDate.GetMonth(), onceDate.GetDay(),
                                 onceTime.GetHour(), onceTime.GetMinute(), onceTime.GetSecond());
        if (moment > lastCheck && moment < now) {
            triggered = true;
        }
    }

    if (dailyOn) {
        // Only today's occurrence counts: a time passed just before midnight and checked
        // after it is not caught up.
        const CDateTime moment =
            CDateTime::FromParts(now.GetYear(), now.GetMonth(), now.GetDay(), dailyTime.GetHour(),
                                 dailyTime.GetMinute(), dailyTime.GetSecond());
        if (moment > lastCheck && moment < now && FiresOn(now.GetDayOfWeek())) {
            triggered = true;
        }
    }

    lastCheck = now;
    if (triggered) {
        outMessage = message;
    }
    return triggered;
}

bool CDateTimeWatch::FiresOn(int dayOfWeek) const {
    switch (dayOfWeek) {
    case 1:
        return onSunday;
    case 2:
        return onMonday;
    case 3:
        return onTuesday;
    case 4:
        return onWednesday;
    case 5:
        return onThursday;
    case 6:
        return onFriday;
    case 7:
        return onSaturday;
    default:
        return false;
    }
}

} // namespace sentrel
