#include "engine/Schedule.h"

#include "model/Activation.h"
#include "model/DateTime.h"
#include "platform/Text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace sentrel {

namespace {

// The hours, minutes and seconds of `time` on the date of `day`; invalid when `time` is.
CDateTime OnDateOf(const CDateTime& day, const CDateTime& time) {
    if (!day.IsValid() || !time.IsValid()) {
        return CDateTime(CDateTime::Invalid, 0.0);
    }
    return CDateTime::FromParts(day.GetYear(), day.GetMonth(), day.GetDay(), time.GetHour(),
                                time.GetMinute(), time.GetSecond());
}

bool Contains(const std::string& message, const std::string& word) {
    return message.find(word) != std::string::npos;
}

bool AnyWordIn(const std::string& list, const std::string& message) {
    for (const std::string& word : SplitWords(list)) {
        if (Contains(message, word)) {
            return true;
        }
    }
    return false;
}

} // namespace

long ParseIntervalMinutes(const std::string& text) {
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (errno == ERANGE) {
        return value < 0 ? LONG_MIN : LONG_MAX;
    }
    return value;
}

CDateTime AdvanceNext(const CActivation& activation, const CDateTime& next, const CDateTime& now,
                      long intervalMinutes) {
    // An interval longer than the whole calendar (some ten thousand years) leaves it.
    if (intervalMinutes > 6'000'000'000L) {
        return CDateTime(CDateTime::Invalid, 0.0);
    }
    // Whole intervals until next lies after now, in one step rather than one by one.
    const std::int64_t span = static_cast<std::int64_t>(intervalMinutes) * 60;
    const std::int64_t behind = now.TotalSeconds() - next.TotalSeconds(); // >= 0
    const std::int64_t steps = behind / span + 1;
    CDateTime moved = steps > (INT64_MAX / span) ? CDateTime(CDateTime::Invalid, 0.0)
                                                 : next.AddSeconds(steps * span);
    if (!activation.windowOn || !moved.IsValid()) {
        return moved;
    }
    // Only the times of day of the window's ends count; they are read on today's date.
    const std::string today = now.FormatIsoDate();
    const CDateTime start = CDateTime::Parse(today + " " + activation.startTime);
    const CDateTime end = CDateTime::Parse(today + " " + activation.endTime);
    if (!start.IsValid() || !end.IsValid()) {
        return moved; // a window end that does not read leaves the window without effect
    }
    const CDateTime startDay = OnDateOf(moved, start);
    if (startDay > moved) {
        moved = startDay;
    }
    const CDateTime endDay = OnDateOf(moved, end);
    if (endDay < moved) {
        moved = startDay.AddDays(1);
    }
    return moved;
}

bool IsDue(CActivation& activation) {
    const CDateTime now = CDateTime::Now();
    const CDateTime next = CDateTime::Parse(activation.nextDate + " " + activation.nextTime);
    if (!(next < now) && !(next == now)) {
        return false;
    }
    const long minutes = ParseIntervalMinutes(activation.interval);
    if (minutes < 1) {
        return false; // would never move past now
    }
    const CDateTime moved = AdvanceNext(activation, next, now, minutes);
    // Stored in the form that reads the same under every locale: the store outlives the
    // locale it was written under (a Windows desktop, a user who changes language, a
    // command run under C).
    activation.nextDate = moved.FormatIsoDate();
    activation.nextTime = moved.FormatIsoTime();
    return true;
}

std::vector<std::string> SplitWords(const std::string& list) {
    std::vector<std::string> words;
    std::string rest = list;
    while (!rest.empty()) {
        std::string word;
        const auto comma = rest.find(',');
        if (comma != std::string::npos) {
            word = rest.substr(0, comma);
            rest.erase(0, comma + 1);
        } else {
            word = std::move(rest);
            rest.clear();
        }
        std::size_t begin = 0, end = word.size();
        while (begin < end && IsWhiteSpace(word[begin])) {
            ++begin;
        }
        while (end > begin && IsWhiteSpace(word[end - 1])) {
            --end;
        }
        words.push_back(word.substr(begin, end - begin));
    }
    return words;
}

bool PassesFilter(const CActivation& activation, const std::string& message) {
    const bool contains =
        activation.containsFilterOn && AnyWordIn(activation.containsWords, message);
    const bool clear =
        !activation.excludesFilterOn || !AnyWordIn(activation.excludesWords, message);
    return (!activation.containsFilterOn || contains) && clear;
}

} // namespace sentrel
