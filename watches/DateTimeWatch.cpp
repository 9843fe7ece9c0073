#include "watches/DateTimeWatch.h"

#include "model/Archive.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CDateTimeWatch, CWatch);

void CDateTimeWatch::Serialize(CArchive& ar) {
    CWatch::Serialize(ar);
    ar.Serialize(dailyTime);
    ar.Serialize(dailyOn);
    ar.Serialize(onceOn);
    ar.Serialize(onceDate);
    ar.Serialize(onceTime);
    ar.Serialize(name); // the name is stored a second time; the second copy wins
    ar.Serialize(onFriday);
    ar.Serialize(onMonday);
    ar.Serialize(onSaturday);
    ar.Serialize(onSunday);
    ar.Serialize(onThursday);
    ar.Serialize(onTuesday);
    ar.Serialize(onWednesday);
    ar.Serialize(message);
    ar.Serialize(lastCheck);
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
