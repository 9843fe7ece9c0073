#pragma once

// A local date and time as a day number counted from 1899-12-30 00:00 (the fraction is
// the time of day), with a status. This is the value the store keeps for the date/time
// watch, and the moment type of the schedules.
//
// Before 1899-12-30 the day number is negative while its fraction still counts forward
// from that day's midnight: -1.25 is 1899-12-29 06:00. Comparisons and arithmetic work on
// the true position in time, to the second; there is no time-zone correction anywhere.
//
// Text forms follow the user's LC_TIME locale (the process locale as set by setlocale):
// numeric dates in the locale's field order, ISO yyyy-mm-dd always, times h:mm or h:mm:ss
// with an optional am/pm marker ("9:00a", "5:00p", "10:15:00 PM"). What FormatDate and
// FormatTime write parses back to the same second.
//
// What the program itself stores (an activation's next moment) is written in the one form
// every locale reads the same: FormatIsoDate and FormatIsoTime ("2026-12-10", "14:05:00").
// A text in the locale's form is for the user's eyes; read back under another locale it
// may name another day.

#include <cstdint>
#include <string>

namespace sentrel {

class CDateTime {
public:
    enum Status : std::int32_t { Valid = 0, Invalid = 1, Null = 2 };

    CDateTime() = default;
    CDateTime(Status status, double day) : m_status(status), m_day(day) {}

    Status GetStatus() const { return m_status; }
    double GetDayNumber() const { return m_day; }
    bool IsValid() const { return m_status == Valid; }

    // Exact stored form: same status and the very same day number.
    bool SameStoredValue(const CDateTime& other) const {
        return m_status == other.m_status && m_day == other.m_day;
    }

    // From calendar fields; Invalid when a field is out of range (years 100 to 9999).
    static CDateTime FromParts(int year, int month, int day, int hour, int minute, int second);
    // Local now to the second, from the platform clock.
    static CDateTime Now();
    // A date, a time (on day 0), or a date, a blank and a time; Invalid when it does not
    // parse.
    static CDateTime Parse(const std::string& text);

    // Calendar fields, rounded to the second; -1 when the value is not valid.
    int GetYear() const;
    int GetMonth() const;
    int GetDay() const; // day of the month
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    int GetDayOfWeek() const; // 1 = Sunday ... 7 = Saturday

    // The date alone (midnight) and the time alone (on day 0).
    CDateTime DatePart() const;
    CDateTime TimePart() const;

    // Moves by a number of days (fractions are times of day), to the whole second. A
    // value that is not valid stays as it is; a result outside the calendar is Invalid.
    CDateTime AddDays(double days) const;
    CDateTime AddSeconds(std::int64_t seconds) const;

    // Seconds since 1899-12-30 00:00 on the true time line; only for valid values.
    std::int64_t TotalSeconds() const;
    static CDateTime FromTotalSeconds(std::int64_t seconds);

    // The user's locale forms; the date with a four-digit year, the time with seconds.
    // Empty for a value that is not valid.
    std::string FormatDate() const;
    std::string FormatTime() const;
    // ISO 8601, whatever the locale: "2026-12-10" and "14:05:00". Empty when not valid.
    std::string FormatIsoDate() const;
    std::string FormatIsoTime() const;

    // Earlier, later: false when either side is not valid. Equal: the same second, or the
    // same non-valid status on both sides.
    friend bool operator==(const CDateTime& a, const CDateTime& b);
    friend bool operator<(const CDateTime& a, const CDateTime& b);
    friend bool operator>(const CDateTime& a, const CDateTime& b) { return b < a; }
    friend bool operator<=(const CDateTime& a, const CDateTime& b) { return a < b || a == b; }
    friend bool operator>=(const CDateTime& a, const CDateTime& b) { return a > b || a == b; }

private:
    struct Fields {
        int year, month, day, hour, minute, second, dayOfWeek;
    };
    bool GetFields(Fields& out) const;

    Status m_status = Valid;
    double m_day = 0.0;
};

} // namespace sentrel
