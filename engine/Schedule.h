#pragma once

// The schedule and word filter of an activation: when it is due, how its next due moment
// moves on, and whether a watch's message may fire its alerts.

#include <string>
#include <vector>

namespace sentrel {

class CActivation;
class CDateTime;

// True when the activation's next due moment is now or past. Then the next due moment is
// moved by whole intervals past now (missed runs are not caught up), placed in the daily
// window when one is set and written back in ISO form (the same in every locale); the store
// is the engine pass's to save. A next moment that does not parse, or an interval below one
// minute, makes the activation never due.
bool IsDue(CActivation& activation);

// The interval text in whole minutes, read as the C library reads a decimal number:
// leading blanks, an optional sign, digits up to the first non-digit; none gives 0.
long ParseIntervalMinutes(const std::string& text);

// The next due moment after `next`, given now, the interval and the activation's window;
// no side effects. `next` must be due (not after now) and the interval positive.
CDateTime AdvanceNext(const CActivation& activation, const CDateTime& next, const CDateTime& now,
                      long intervalMinutes);

// A comma-separated word list, each word stripped of surrounding white space; empty words
// are kept (they match everything).
std::vector<std::string> SplitWords(const std::string& list);

// Whether the message may fire the activation's alerts.
bool PassesFilter(const CActivation& activation, const std::string& message);

} // namespace sentrel
