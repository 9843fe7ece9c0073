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

} // namespace sentrel
