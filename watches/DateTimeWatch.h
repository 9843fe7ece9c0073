#pragma once

#include "model/DateTime.h"
#include "model/Watch.h"

namespace sentrel {

// Fires when a fixed moment or a daily time on chosen weekdays passes.
class CDateTimeWatch : public CWatch {
    SENTREL_DECLARE_RECORD()

public:
    void VisitFields(IFieldVisitor& v) override;

    // Fires when the one-off moment, or today's daily time on a chosen weekday, lies
    // strictly between the previous check and now; so each moment fires once however
    // often or rarely this is called. Always moves lastCheck to now.
    bool Check(std::string& message) override;

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

private:
    // The weekday flag for a day of the week, 1 = Sunday to 7 = Saturday.
    bool FiresOn(int dayOfWeek) const;
};

} // namespace sentrel
