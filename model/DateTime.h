#pragma once

// A local date and time as a day number counted from 1899-12-30 00:00 (the fraction is
// the time of day), with a status. This is the value the store keeps for the date/time
// watch.

#include <cstdint>

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

private:
    Status m_status = Valid;
    double m_day = 0.0;
};

} // namespace sentrel
