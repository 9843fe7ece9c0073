#pragma once

#include "model/Watch.h"
#include "model/DateTime.h"

namespace sentrel {

// Fires when a fixed moment or a daily time on chosen weekdays passes.
class CDateTimeWatch : public CWatch {
    SENTREL_DECLARE_RECORD()

public:
    void Serialize(CArchive& ar) override;

    CDateTime dailyTime;
    bool dailyOn = false;
    bool onceOn = false;
    CDateTime onceDate;
    CDateTime onceTime;
    bool onFriday = false;
    bool onMonday = false;
    bool onSaturday = false;
    bool onSunday = false;
    bool onThursday = false;
    bool onTuesday = false;
    bool onWednesday = false;
    std::string message;
    CDateTime lastCheck; // the current time as taken by the previous Check
};

} // namespace sentrel
