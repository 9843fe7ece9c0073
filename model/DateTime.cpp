#include "model/DateTime.h"

#include "platform/Platform.h"
#include "platform/Text.h"

#include <clocale>
#include <cmath>
#include <cstring>
#include <ctime>
#include <langinfo.h>
#include <locale.h>
#include <string_view>

namespace sentrel {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr int kMinYear = 100;
constexpr int kMaxYear = 9999;

// Days from 1970-01-01 to a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

const std::int64_t kEpochDays = DaysFromCivil(1899, 12, 30); // day 0, relative to 1970

// The calendar's bounds on the true time line, in seconds from day 0.
const std::int64_t kMinSeconds = (DaysFromCivil(kMinYear, 1, 1) - kEpochDays) * kSecondsPerDay;
const std::int64_t kMaxSeconds =
    (DaysFromCivil(kMaxYear, 12, 31) - kEpochDays + 1) * kSecondsPerDay - 1;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) {
        --q;
    }
    return q;
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// ---------------------------------------------------------------------------------------
// The locale's forms, reduced to what we write and read: numeric fields in the locale's
// order with its separators, and a time with seconds.

enum class DateOrder { MDY, DMY, YMD };

struct LocaleForms {
    std::string name;       // the LC_TIME name these were read for
    std::string dateFormat; // directives d e m Y only
    std::string timeFormat; // directives H k I l M S p P only
    std::string am, pm;     // the locale's markers (may be empty)
    DateOrder order = DateOrder::MDY;
    char dateSeparator = '/'; // the first separator the date form writes
    bool twelveHour = false;  // the time form writes a marker
};

// Expands the composite directives and drops the E and O modifiers; false when the form
// holds anything but the numeric fields we read back.
bool NormaliseFormat(std::string& format, std::string_view allowed, std::string_view ampm) {
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        if (++i >= format.size()) {
            return false;
        }
        char c = format[i];
        if ((c == 'E' || c == 'O') && i + 1 < format.size()) {
            c = format[++i];
        }
        switch (c) {
        case 'D':
            out += "%m/%d/%y";
            continue;
        case 'F':
            out += "%Y-%m-%d";
            continue;
        case 'T':
            out += "%H:%M:%S";
            continue;
        case 'R':
            out += "%H:%M";
            continue;
        case 'r':
            out += ampm.empty() ? std::string_view("%I:%M:%S %p") : ampm;
            continue;
        case '%':
            out += "%%";
            continue;
        case 'y':
            c = 'Y';
            break; // always four digits
        default:
            break;
        }
        if (allowed.find(c) == std::string_view::npos) {
            return false;
        }
        out += '%';
        out += c;
    }
    format = out;
    return true;
}

struct Parts {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};

std::string TwoDigits(int v) {
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}

std::string Render(const std::string& format, const Parts& p, const LocaleForms& forms) {
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        const char c = format[++i];
        const int hour12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
        switch (c) {
        case 'd':
            out += TwoDigits(p.day);
            break;
        case 'e':
            out += (p.day < 10 ? " " : "") + std::to_string(p.day);
            break;
        case 'm':
            out += TwoDigits(p.month);
            break;
        case 'Y': {
            std::string y = std::to_string(p.year);
            out += std::string(y.size() < 4 ? 4 - y.size() : 0, '0') + y;
            break;
        }
        case 'H':
            out += TwoDigits(p.hour);
            break;
        case 'k':
            out += (p.hour < 10 ? " " : "") + std::to_string(p.hour);
            break;
        case 'I':
            out += TwoDigits(hour12);
            break;
        case 'l':
            out += (hour12 < 10 ? " " : "") + std::to_string(hour12);
            break;
        case 'M':
            out += TwoDigits(p.minute);
            break;
        case 'S':
            out += TwoDigits(p.second);
            break;
        case 'p':
            out += p.hour < 12 ? forms.am : forms.pm;
            break;
        case 'P': {
            std::string marker = p.hour < 12 ? forms.am : forms.pm;
            for (char& ch : marker) {
                ch = AsciiLower(ch);
            }
            out += marker;
            break;
        }
        case '%':
            out += '%';
            break;
        default:
            out += '%';
            out += c;
            break;
        }
    }
    return out;
}

bool ParseWith(std::string_view text, const LocaleForms& forms, Parts& out);

// Reads the locale's forms, checks that what they write reads back, and falls back to
// ISO dates and 24-hour times where it would not.
LocaleForms LoadForms(const char* name) {
    LocaleForms forms;
    forms.name = name;
    std::string dateFormat = "%m/%d/%y";
    std::string timeFormat = "%H:%M:%S";
    std::string ampmFormat;
    if (locale_t loc = newlocale(LC_TIME_MASK, name, static_cast<locale_t>(0))) {
        dateFormat = nl_langinfo_l(D_FMT, loc);
        timeFormat = nl_langinfo_l(T_FMT, loc);
        ampmFormat = nl_langinfo_l(T_FMT_AMPM, loc);
        forms.am = nl_langinfo_l(AM_STR, loc);
        forms.pm = nl_langinfo_l(PM_STR, loc);
        freelocale(loc);
    }
    if (!NormaliseFormat(ampmFormat, "IlMSpP", "")) {
        ampmFormat.clear();
    }
    if (!NormaliseFormat(dateFormat, "demY", "")) {
        dateFormat = "%Y-%m-%d";
    }
    if (!NormaliseFormat(timeFormat, "HkIlMSpP", ampmFormat)) {
        timeFormat = "%H:%M:%S";
    }
    const auto pd =
        dateFormat.find("%d") != std::string::npos ? dateFormat.find("%d") : dateFormat.find("%e");
    const auto pm = dateFormat.find("%m");
    const auto py = dateFormat.find("%Y");
    if (pd == std::string::npos || pm == std::string::npos || py == std::string::npos) {
        dateFormat = "%Y-%m-%d";
        forms.order = DateOrder::YMD;
    } else if (py < pm && py < pd) {
        forms.order = DateOrder::YMD;
    } else if (pd < pm) {
        forms.order = DateOrder::DMY;
    } else {
        forms.order = DateOrder::MDY;
    }
    forms.twelveHour =
        timeFormat.find("%p") != std::string::npos || timeFormat.find("%P") != std::string::npos;
    if (timeFormat.find("%S") == std::string::npos || timeFormat.find("%M") == std::string::npos ||
        (forms.twelveHour && (forms.am.empty() || forms.pm.empty()))) {
        timeFormat = "%H:%M:%S";
        forms.twelveHour = false;
    }
    forms.dateFormat = dateFormat;
    forms.timeFormat = timeFormat;
    for (std::size_t i = 0; i + 1 < dateFormat.size(); ++i) {
        if (dateFormat[i] == '%') {
            ++i;
        } else {
            forms.dateSeparator = dateFormat[i];
            break;
        }
    }

    // Whatever we write must read back to the same second: check a morning and an
    // afternoon, and a day that cannot be mistaken for a month.
    const Parts samples[] = {{2026, 12, 7, 9, 5, 3}, {2031, 3, 28, 22, 15, 59}};
    for (const Parts& sample : samples) {
        Parts back;
        const std::string written =
            Render(forms.dateFormat, sample, forms) + " " + Render(forms.timeFormat, sample, forms);
        if (!ParseWith(written, forms, back) || back.year != sample.year ||
            back.month != sample.month || back.day != sample.day || back.hour != sample.hour ||
            back.minute != sample.minute || back.second != sample.second) {
            forms.dateFormat = "%Y-%m-%d";
            forms.timeFormat = "%H:%M:%S";
            forms.order = DateOrder::YMD;
            forms.dateSeparator = '-';
            forms.twelveHour = false;
            break;
        }
    }
    return forms;
}

const LocaleForms& CurrentForms() {
    thread_local LocaleForms forms;
    thread_local bool loaded = false;
    const char* name = std::setlocale(LC_TIME, nullptr);
    if (!name) {
        name = "C";
    }
    if (!loaded || forms.name != name) {
        forms = LoadForms(name);
        loaded = true;
    }
    return forms;
}

// ---------------------------------------------------------------------------------------
// Reading.

// "h:mm", "h:mm:ss", each with an optional marker: a, p, am, pm, a.m., p.m. in any case,
// or the locale's own markers.
bool ParseTimeText(std::string_view s, const LocaleForms& forms, Parts& out) {
    std::size_t i = 0;
    int fields[3] = {0, 0, 0};
    int count = 0;
    while (count < 3) {
        std::size_t digits = 0;
        int value = 0;
        while (i < s.size() && IsDigit(s[i]) && digits < 2) {
            value = value * 10 + (s[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0) {
            return false;
        }
        fields[count++] = value;
        if (i < s.size() && s[i] == ':' && count < 3) {
            ++i;
            continue;
        }
        break;
    }
    if (count < 2) {
        return false;
    }
    const std::string_view marker = Trim(s.substr(i));
    int hour = fields[0];
    if (!marker.empty()) {
        bool am = EqualsNoCase(marker, "a") || EqualsNoCase(marker, "am") ||
                  EqualsNoCase(marker, "a.m.") ||
                  (!forms.am.empty() && EqualsNoCase(marker, forms.am));
        bool pm = EqualsNoCase(marker, "p") || EqualsNoCase(marker, "pm") ||
                  EqualsNoCase(marker, "p.m.") ||
                  (!forms.pm.empty() && EqualsNoCase(marker, forms.pm));
        if (am == pm || hour > 12) {
            return false;
        }
        if (hour == 12) {
            hour = 0;
        }
        if (pm) {
            hour += 12;
        }
    }
    if (hour > 23 || fields[1] > 59 || fields[2] > 59) {
        return false;
    }
    out.hour = hour;
    out.minute = fields[1];
    out.second = fields[2];
    return true;
}

bool ValidDate(int y, int m, int d) {
    return y >= kMinYear && y <= kMaxYear && m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, m);
}

int ExpandYear(int value, std::size_t digits) {
    if (digits <= 2) {
        return value < 30 ? 2000 + value : 1900 + value;
    }
    return value;
}

// Three numbers with separators between them: ISO (and any year-first form) by the width
// of the first number, otherwise the locale's order. A date written with slashes comes
// from a US-English desktop when the locale itself does not use slashes, or when its time
// carries a 12-hour marker that the locale never writes.
bool ParseDateText(std::string_view s, const LocaleForms& forms, bool foreign12Hour, Parts& out) {
    int values[3] = {0, 0, 0};
    std::size_t widths[3] = {0, 0, 0};
    int count = 0;
    bool slashes = false;
    std::size_t i = 0;
    if (s.empty() || !IsDigit(s[0])) {
        return false;
    }
    while (i < s.size()) {
        if (IsDigit(s[i])) {
            if (count == 3) {
                return false;
            }
            int value = 0;
            std::size_t width = 0;
            while (i < s.size() && IsDigit(s[i])) {
                if (++width > 4) {
                    return false;
                }
                value = value * 10 + (s[i] - '0');
                ++i;
            }
            values[count] = value;
            widths[count] = width;
            ++count;
            continue;
        }
        if (IsAsciiLetter(s[i]) || s[i] == ':') {
            return false;
        }
        if (s[i] == '/') {
            slashes = true;
        }
        ++i; // separators: anything but letters (a name is not a number we can read)
    }
    if (count != 3) {
        return false;
    }
    int y = 0, m = 0, d = 0;
    DateOrder order = forms.order;
    if (widths[0] >= 3) {
        order = DateOrder::YMD;
    } else if (slashes && (forms.dateSeparator != '/' || foreign12Hour) &&
               forms.order != DateOrder::YMD) {
        order = DateOrder::MDY;
    }
    switch (order) {
    case DateOrder::YMD:
        y = ExpandYear(values[0], widths[0]), m = values[1], d = values[2];
        if (widths[1] > 2 || widths[2] > 2) {
            return false;
        }
        break;
    case DateOrder::DMY:
        d = values[0], m = values[1], y = ExpandYear(values[2], widths[2]);
        break;
    case DateOrder::MDY:
        m = values[0], d = values[1], y = ExpandYear(values[2], widths[2]);
        break;
    }
    if (order != DateOrder::YMD && (widths[0] > 2 || widths[1] > 2)) {
        return false;
    }
    if (!ValidDate(y, m, d)) {
        if (order == DateOrder::YMD || !ValidDate(y, d, m)) {
            return false;
        }
        std::swap(m, d); // day and month the other way round is the only reading
    }
    out.year = y;
    out.month = m;
    out.day = d;
    return true;
}

bool ParseWith(std::string_view text, const LocaleForms& forms, Parts& out) {
    text = Trim(text);
    if (text.empty()) {
        return false;
    }
    Parts parts;
    std::string_view datePart = text;
    std::string_view timePart;
    const auto colon = text.find(':');
    if (colon != std::string_view::npos) {
        std::size_t start = colon;
        while (start > 0 && !IsWhiteSpace(text[start - 1])) {
            --start;
        }
        datePart = Trim(text.substr(0, start));
        timePart = text.substr(start);
    }
    bool marker12 = false;
    if (!timePart.empty()) {
        if (!ParseTimeText(timePart, forms, parts)) {
            return false;
        }
        // Does the time carry a marker?
        std::size_t k = timePart.size();
        while (k > 0 && !IsDigit(timePart[k - 1])) {
            --k;
        }
        marker12 = !Trim(timePart.substr(k)).empty();
    }
    if (!datePart.empty() &&
        !ParseDateText(datePart, forms, marker12 && !forms.twelveHour, parts)) {
        return false;
    }
    out = parts;
    return true;
}

std::int64_t SecondsFromParts(const Parts& p) {
    return (DaysFromCivil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day)) -
            kEpochDays) *
               kSecondsPerDay +
           p.hour * 3600 + p.minute * 60 + p.second;
}

} // namespace

// ---------------------------------------------------------------------------------------

CDateTime CDateTime::FromTotalSeconds(std::int64_t seconds) {
    if (seconds < kMinSeconds || seconds > kMaxSeconds) {
        return CDateTime(Invalid, 0.0);
    }
    const std::int64_t day = FloorDiv(seconds, kSecondsPerDay);
    const double fraction =
        static_cast<double>(seconds - day * kSecondsPerDay) / static_cast<double>(kSecondsPerDay);
    const double value =
        day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
    return CDateTime(Valid, value);
}

std::int64_t CDateTime::TotalSeconds() const {
    const double whole = std::trunc(m_day);
    const double fraction = std::fabs(m_day - whole); // counts forward from that midnight
    return static_cast<std::int64_t>(whole) * kSecondsPerDay +
           static_cast<std::int64_t>(std::llround(fraction * static_cast<double>(kSecondsPerDay)));
}

namespace {
// A valid status with a day number that lies on the calendar.
bool Usable(const CDateTime& v) {
    const double d = v.GetDayNumber();
    return v.IsValid() && std::isfinite(d) && d > -700000.0 && d < 3000000.0;
}
} // namespace

bool CDateTime::GetFields(Fields& out) const {
    if (!Usable(*this)) {
        return false;
    }
    const std::int64_t seconds = TotalSeconds();
    if (seconds < kMinSeconds || seconds > kMaxSeconds) {
        return false;
    }
    const std::int64_t day = FloorDiv(seconds, kSecondsPerDay);
    const auto sod = static_cast<int>(seconds - day * kSecondsPerDay);
    CivilFromDays(day + kEpochDays, out.year, out.month, out.day);
    out.hour = sod / 3600;
    out.minute = sod / 60 % 60;
    out.second = sod % 60;
    // 1970-01-01 was a Thursday (5).
    out.dayOfWeek = static_cast<int>(((day + kEpochDays) % 7 + 7 + 4) % 7) + 1;
    return true;
}

CDateTime CDateTime::FromParts(int year, int month, int day, int hour, int minute, int second) {
    if (!ValidDate(year, month, day) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59) {
        return CDateTime(Invalid, 0.0);
    }
    return FromTotalSeconds(SecondsFromParts({year, month, day, hour, minute, second}));
}

CDateTime CDateTime::Now() {
    // Converting to local time is the dear part; a pass asks many times a second.
    thread_local std::int64_t lastSeconds = 0;
    thread_local CDateTime lastValue(Invalid, 0.0);
    const std::int64_t seconds = Platform().clock->Now();
    if (lastValue.IsValid() && seconds == lastSeconds) {
        return lastValue;
    }
    const auto t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&t, &local)) {
        return CDateTime(Invalid, 0.0);
    }
    const CDateTime value =
        FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec == 60 ? 59 : local.tm_sec);
    lastSeconds = seconds;
    lastValue = value;
    return value;
}

CDateTime CDateTime::Parse(const std::string& text) {
    Parts parts;
    if (!ParseWith(text, CurrentForms(), parts)) {
        return CDateTime(Invalid, 0.0);
    }
    return FromTotalSeconds(SecondsFromParts(parts));
}

int CDateTime::GetYear() const {
    Fields f{};
    return GetFields(f) ? f.year : -1;
}
int CDateTime::GetMonth() const {
    Fields f{};
    return GetFields(f) ? f.month : -1;
}
int CDateTime::GetDay() const {
    Fields f{};
    return GetFields(f) ? f.day : -1;
}
int CDateTime::GetHour() const {
    Fields f{};
    return GetFields(f) ? f.hour : -1;
}
int CDateTime::GetMinute() const {
    Fields f{};
    return GetFields(f) ? f.minute : -1;
}
int CDateTime::GetSecond() const {
    Fields f{};
    return GetFields(f) ? f.second : -1;
}
int CDateTime::GetDayOfWeek() const {
    Fields f{};
    return GetFields(f) ? f.dayOfWeek : -1;
}

CDateTime CDateTime::DatePart() const {
    if (!Usable(*this)) {
        return *this;
    }
    return FromTotalSeconds(FloorDiv(TotalSeconds(), kSecondsPerDay) * kSecondsPerDay);
}

CDateTime CDateTime::TimePart() const {
    if (!Usable(*this)) {
        return *this;
    }
    const std::int64_t s = TotalSeconds();
    return FromTotalSeconds(s - FloorDiv(s, kSecondsPerDay) * kSecondsPerDay);
}

CDateTime CDateTime::AddSeconds(std::int64_t seconds) const {
    if (!Usable(*this)) {
        return *this;
    }
    return FromTotalSeconds(TotalSeconds() + seconds);
}

CDateTime CDateTime::AddDays(double days) const {
    if (!Usable(*this)) {
        return *this;
    }
    const double seconds = days * static_cast<double>(kSecondsPerDay);
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e12) {
        return CDateTime(Invalid, 0.0);
    }
    return AddSeconds(std::llround(seconds));
}

std::string CDateTime::FormatDate() const {
    Fields f{};
    if (!GetFields(f)) {
        return {};
    }
    const LocaleForms& forms = CurrentForms();
    return Render(forms.dateFormat, {f.year, f.month, f.day, f.hour, f.minute, f.second}, forms);
}

std::string CDateTime::FormatTime() const {
    Fields f{};
    if (!GetFields(f)) {
        return {};
    }
    const LocaleForms& forms = CurrentForms();
    return Render(forms.timeFormat, {f.year, f.month, f.day, f.hour, f.minute, f.second}, forms);
}

std::string CDateTime::FormatIsoDate() const {
    Fields f{};
    if (!GetFields(f)) {
        return {};
    }
    return Render("%Y-%m-%d", {f.year, f.month, f.day, 0, 0, 0}, CurrentForms());
}

std::string CDateTime::FormatIsoTime() const {
    Fields f{};
    if (!GetFields(f)) {
        return {};
    }
    return Render("%H:%M:%S", {f.year, f.month, f.day, f.hour, f.minute, f.second}, CurrentForms());
}

bool operator==(const CDateTime& a, const CDateTime& b) {
    const bool ua = Usable(a), ub = Usable(b);
    if (ua && ub) {
        return a.TotalSeconds() == b.TotalSeconds();
    }
    if (ua || ub) {
        return false;
    }
    return a.GetStatus() == b.GetStatus();
}

bool operator<(const CDateTime& a, const CDateTime& b) {
    return Usable(a) && Usable(b) && a.TotalSeconds() < b.TotalSeconds();
}

} // namespace sentrel
