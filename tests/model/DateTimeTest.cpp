#include "model/DateTime.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <string>

namespace sentrel {
namespace {

// Sets LC_TIME for one test and puts the previous one back.
class ScopedTimeLocale {
public:
    explicit ScopedTimeLocale(const char* name) : m_previous(std::setlocale(LC_TIME, nullptr)) {
        m_ok = std::setlocale(LC_TIME, name) != nullptr;
    }
    ~ScopedTimeLocale() { std::setlocale(LC_TIME, m_previous.c_str()); }
    bool Ok() const { return m_ok; }

private:
    std::string m_previous;
    bool m_ok = false;
};

void ExpectParts(const CDateTime& v, int y, int mo, int d, int h, int mi, int s) {
    ASSERT_TRUE(v.IsValid());
    EXPECT_EQ(v.GetYear(), y);
    EXPECT_EQ(v.GetMonth(), mo);
    EXPECT_EQ(v.GetDay(), d);
    EXPECT_EQ(v.GetHour(), h);
    EXPECT_EQ(v.GetMinute(), mi);
    EXPECT_EQ(v.GetSecond(), s);
}

TEST(DateTime, DayNumbersBeforeDayZeroCountTheTimeForward) {
    // -1.25 is 1899-12-29 06:00, not 18:00.
    ExpectParts(CDateTime(CDateTime::Valid, -1.25), 1899, 12, 29, 6, 0, 0);
    const CDateTime built = CDateTime::FromParts(1899, 12, 29, 6, 0, 0);
    EXPECT_DOUBLE_EQ(built.GetDayNumber(), -1.25);
    // On the true time line -1.25 (29th 06:00) lies after -1.0 (29th 00:00) and before
    // -0.5 read as day 0 12:00.
    EXPECT_TRUE(CDateTime(CDateTime::Valid, -1.0) < CDateTime(CDateTime::Valid, -1.25));
    EXPECT_TRUE(CDateTime(CDateTime::Valid, -1.25) < CDateTime(CDateTime::Valid, 0.25));
    // Adding 20 hours crosses day 0 on the true line: 29th 06:00 + 20 h = 30th 02:00.
    const CDateTime later = CDateTime(CDateTime::Valid, -1.25).AddDays(20.0 / 24);
    ExpectParts(later, 1899, 12, 30, 2, 0, 0);
    // Going back from 30th 02:00 by one day lands on the 29th 02:00: -1 - 2/24.
    EXPECT_NEAR(later.AddDays(-1).GetDayNumber(), -1.0 - 2.0 / 24, 1e-9);
}

TEST(DateTime, CalendarFieldsAndRanges) {
    const CDateTime v = CDateTime::FromParts(2026, 12, 7, 22, 15, 9);
    ExpectParts(v, 2026, 12, 7, 22, 15, 9);
    EXPECT_EQ(v.GetDayOfWeek(), 2); // a Monday
    EXPECT_EQ(CDateTime::FromParts(2026, 12, 6, 0, 0, 0).GetDayOfWeek(), 1);
    EXPECT_EQ(CDateTime::FromParts(1899, 12, 30, 0, 0, 0).GetDayNumber(), 0.0);
    EXPECT_EQ(CDateTime::FromParts(1900, 3, 1, 0, 0, 0).GetDayNumber(), 61.0);
    ExpectParts(CDateTime::FromParts(2024, 2, 29, 23, 59, 59), 2024, 2, 29, 23, 59, 59);

    for (const auto& bad :
         {CDateTime::FromParts(2023, 2, 29, 0, 0, 0), CDateTime::FromParts(2026, 13, 1, 0, 0, 0),
          CDateTime::FromParts(2026, 1, 1, 24, 0, 0), CDateTime::FromParts(2026, 1, 1, -1, 0, 0),
          CDateTime::FromParts(2026, 1, 1, 0, 60, 0), CDateTime::FromParts(99, 1, 1, 0, 0, 0),
          CDateTime::FromParts(10000, 1, 1, 0, 0, 0)}) {
        EXPECT_EQ(bad.GetStatus(), CDateTime::Invalid);
        EXPECT_EQ(bad.GetYear(), -1);
        EXPECT_EQ(bad.GetDayOfWeek(), -1);
    }
    EXPECT_EQ(CDateTime(CDateTime::Null, 0).GetHour(), -1);
    // Leaving the calendar makes the value invalid.
    EXPECT_FALSE(CDateTime::FromParts(9999, 12, 31, 23, 0, 0).AddDays(1).IsValid());
}

TEST(DateTime, ComparisonsFollowTheStatus) {
    const CDateTime a = CDateTime::FromParts(2026, 12, 7, 10, 0, 0);
    const CDateTime b = CDateTime::FromParts(2026, 12, 7, 10, 0, 1);
    const CDateTime invalid(CDateTime::Invalid, 0), null(CDateTime::Null, 0);
    EXPECT_TRUE(a < b);
    EXPECT_TRUE(b > a);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a <= a);
    // Equal to the second even when the day numbers differ in the last bits.
    EXPECT_TRUE(a == CDateTime(CDateTime::Valid, a.GetDayNumber() + 1e-9));
    EXPECT_TRUE(a.AddDays(5.0 / 1440).AddDays(5.0 / 1440).AddDays(5.0 / 1440) ==
                CDateTime::FromParts(2026, 12, 7, 10, 15, 0));

    for (const CDateTime& bad : {invalid, null}) {
        EXPECT_FALSE(a < bad);
        EXPECT_FALSE(bad < a);
        EXPECT_FALSE(a > bad);
        EXPECT_FALSE(bad > a);
        EXPECT_FALSE(a == bad);
        EXPECT_TRUE(bad == bad);
        EXPECT_FALSE(bad < bad);
        // Adding to a value that is not valid leaves it so.
        EXPECT_EQ(bad.AddDays(1).GetStatus(), bad.GetStatus());
    }
    EXPECT_FALSE(invalid == null);
}

TEST(DateTime, NowIsTheLocalClockToTheSecond) {
    test::FakeClock clock;
    PlatformServices services;
    services.clock = &clock;
    ScopedPlatform platform(services);
    clock.now = 1796586931; // 2026-12-06 19:55:31 UTC
    const char* tz = std::getenv("TZ");
    const std::string saved = tz ? tz : "";
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    ExpectParts(CDateTime::Now(), 2026, 12, 6, 20, 55, 31);
    clock.Advance(1);
    ExpectParts(CDateTime::Now(), 2026, 12, 6, 20, 55, 32);
    clock.now = 1782900000; // 2026-07-01 10:00:00 UTC, summer time
    ExpectParts(CDateTime::Now(), 2026, 7, 1, 12, 0, 0);
    if (tz) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

class DateTimeLocale : public ::testing::TestWithParam<const char*> {};

TEST_P(DateTimeLocale, WrittenFormsReadBackToTheSecond) {
    ScopedTimeLocale locale(GetParam());
    ASSERT_TRUE(locale.Ok()) << GetParam() << " is not installed (scripts/install-deps.sh)";
    for (const CDateTime& v :
         {CDateTime::FromParts(2026, 12, 7, 22, 15, 9), CDateTime::FromParts(2031, 1, 28, 0, 0, 0),
          CDateTime::FromParts(1999, 7, 4, 12, 0, 59), CDateTime::FromParts(2030, 2, 3, 0, 30, 1),
          CDateTime::FromParts(1850, 5, 17, 6, 1, 2),
          CDateTime::FromParts(2099, 11, 30, 11, 59, 59)}) {
        const std::string date = v.FormatDate();
        const std::string time = v.FormatTime();
        EXPECT_NE(date.find(std::to_string(v.GetYear())), std::string::npos) << date;
        EXPECT_TRUE(CDateTime::Parse(date + " " + time) == v) << date << " " << time;
        EXPECT_TRUE(CDateTime::Parse(date) == v.DatePart()) << date;
        EXPECT_TRUE(CDateTime::Parse(time) == v.TimePart()) << time;
    }
}

TEST_P(DateTimeLocale, ShortAndMarkedTimesAndIso) {
    ScopedTimeLocale locale(GetParam());
    ASSERT_TRUE(locale.Ok());
    ExpectParts(CDateTime::Parse("9:00a"), 1899, 12, 30, 9, 0, 0);
    ExpectParts(CDateTime::Parse("5:00p"), 1899, 12, 30, 17, 0, 0);
    ExpectParts(CDateTime::Parse("12:30a"), 1899, 12, 30, 0, 30, 0);
    ExpectParts(CDateTime::Parse("12:30 PM"), 1899, 12, 30, 12, 30, 0);
    ExpectParts(CDateTime::Parse("10:15:00 pm"), 1899, 12, 30, 22, 15, 0);
    ExpectParts(CDateTime::Parse("7:05"), 1899, 12, 30, 7, 5, 0);
    ExpectParts(CDateTime::Parse("2026-12-07"), 2026, 12, 7, 0, 0, 0);
    ExpectParts(CDateTime::Parse("  2026-12-07 9:00a  "), 2026, 12, 7, 9, 0, 0);
    // The stored form is the same in every locale.
    const CDateTime evening = CDateTime::FromParts(2026, 12, 7, 22, 5, 9);
    EXPECT_EQ(evening.FormatIsoDate() + " " + evening.FormatIsoTime(), "2026-12-07 22:05:09");
    EXPECT_EQ(CDateTime::FromParts(2026, 2, 30, 0, 0, 0).FormatIsoDate(), "");
    for (const char* bad : {"", "   ", "25:00", "9:60", "13:00 pm", "9:00x", "9", "2026-13-01",
                            "2026-02-30", "12/7", "hello", "1/2/3/4", "2026-12-07 abc"}) {
        EXPECT_EQ(CDateTime::Parse(bad).GetStatus(), CDateTime::Invalid) << "\"" << bad << "\"";
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, DateTimeLocale,
                         ::testing::Values("C", "en_US.UTF-8", "en_GB.UTF-8", "de_DE.UTF-8"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 if (c == '.' || c == '-')
                                     c = '_';
                             }
                             return name;
                         });

TEST(DateTime, LocaleFieldOrder) {
    {
        ScopedTimeLocale locale("en_US.UTF-8");
        ASSERT_TRUE(locale.Ok());
        EXPECT_EQ(CDateTime::FromParts(2026, 12, 7, 22, 15, 0).FormatDate(), "12/07/2026");
        EXPECT_EQ(CDateTime::FromParts(2026, 12, 7, 22, 15, 0).FormatTime(), "10:15:00 PM");
        ExpectParts(CDateTime::Parse("3/4/2026"), 2026, 3, 4, 0, 0, 0);
        ExpectParts(CDateTime::Parse("3/4/26"), 2026, 3, 4, 0, 0, 0);
        ExpectParts(CDateTime::Parse("3/4/99"), 1999, 3, 4, 0, 0, 0);
    }
    {
        ScopedTimeLocale locale("en_GB.UTF-8");
        ASSERT_TRUE(locale.Ok());
        EXPECT_EQ(CDateTime::FromParts(2026, 12, 7, 22, 15, 0).FormatDate(), "07/12/2026");
        EXPECT_EQ(CDateTime::FromParts(2026, 12, 7, 22, 15, 0).FormatTime(), "22:15:00");
        ExpectParts(CDateTime::Parse("3/4/2026 10:00"), 2026, 4, 3, 10, 0, 0);
        // Day and month the other way round when only that reading is a date.
        ExpectParts(CDateTime::Parse("12/25/2026"), 2026, 12, 25, 0, 0, 0);
    }
    {
        ScopedTimeLocale locale("de_DE.UTF-8");
        ASSERT_TRUE(locale.Ok());
        EXPECT_EQ(CDateTime::FromParts(2026, 12, 7, 22, 15, 0).FormatDate(), "07.12.2026");
        ExpectParts(CDateTime::Parse("3.4.2026 9:05:01"), 2026, 4, 3, 9, 5, 1);
    }
}

// Stores written on a US-English desktop: month first, 12-hour times.
TEST(DateTime, UsEnglishStoresUnderEnglishLocales) {
    for (const char* name : {"C", "en_US.UTF-8", "en_GB.UTF-8", "de_DE.UTF-8"}) {
        ScopedTimeLocale locale(name);
        ASSERT_TRUE(locale.Ok());
        ExpectParts(CDateTime::Parse("12/7/2026 10:15:00 PM"), 2026, 12, 7, 22, 15, 0);
        ExpectParts(CDateTime::Parse("1/2/2027 12:00:00 AM"), 2027, 1, 2, 0, 0, 0);
    }
}

} // namespace
} // namespace sentrel
