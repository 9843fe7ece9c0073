#include "engine/Schedule.h"

#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>

namespace sentrel {
namespace {

using test::DocFixture;
using test::LocalSeconds;
using test::NextOf;

class ScheduleTest : public ::testing::Test, public DocFixture {
protected:
    ScheduleTest() : m_platform(Services()) {}

    PlatformServices Services() {
        PlatformServices services;
        services.clock = &clock;
        services.messageBox = &messages;
        return services;
    }
    void SetNow(int y, int mo, int d, int h, int mi, int s) {
        clock.now = LocalSeconds(y, mo, d, h, mi, s);
    }
    bool StoreWritten() const { return std::filesystem::exists(doc.StorePath()); }

    test::FakeClock clock;
    test::FakeMessageBox messages;

private:
    ScopedPlatform m_platform;
};

TEST_F(ScheduleTest, DueMovesPastNowSkippingMissedRunsAndLeavesTheSaveToThePass) {
    CActivation* a =
        AddActivation("a", AddWatch("w"), CDateTime::FromParts(2026, 12, 7, 10, 0, 0), "5");
    SetNow(2026, 12, 7, 10, 12, 30);
    EXPECT_TRUE(IsDue(*a));
    // 10:05 and 10:10 are skipped, not run.
    EXPECT_TRUE(NextOf(*a) == CDateTime::FromParts(2026, 12, 7, 10, 15, 0)) << a->nextTime;
    EXPECT_EQ(a->nextTime, "10:15:00");
    EXPECT_FALSE(StoreWritten());
}

TEST_F(ScheduleTest, DueExactlyAtTheSecondAndNotBefore) {
    CActivation* a =
        AddActivation("a", AddWatch("w"), CDateTime::FromParts(2026, 12, 7, 10, 15, 0), "5");
    SetNow(2026, 12, 7, 10, 14, 59);
    EXPECT_FALSE(IsDue(*a));
    EXPECT_EQ(a->nextTime, "10:15:00");
    SetNow(2026, 12, 7, 10, 15, 0);
    EXPECT_TRUE(IsDue(*a));
    EXPECT_EQ(a->nextTime, "10:20:00");
}

TEST_F(ScheduleTest, FarBehindMovesInOneStepAcrossDays) {
    // Three years behind with a one-minute interval: lands on the next whole minute.
    CActivation* a =
        AddActivation("a", AddWatch("w"), CDateTime::FromParts(2023, 12, 7, 10, 0, 0), "1");
    SetNow(2026, 12, 7, 10, 12, 30);
    EXPECT_TRUE(IsDue(*a));
    EXPECT_TRUE(NextOf(*a) == CDateTime::FromParts(2026, 12, 7, 10, 13, 0));
    // A day's interval keeps the time of day and crosses the year.
    CActivation* b =
        AddActivation("b", AddWatch("w"), CDateTime::FromParts(2026, 12, 31, 23, 30, 0), "1440");
    SetNow(2026, 12, 31, 23, 30, 0);
    EXPECT_TRUE(IsDue(*b));
    EXPECT_TRUE(NextOf(*b) == CDateTime::FromParts(2027, 1, 1, 23, 30, 0));
}

TEST_F(ScheduleTest, IntervalsBelowOneAndUnreadableMomentsAreNeverDue) {
    SetNow(2026, 12, 7, 12, 0, 0);
    const CDateTime past = CDateTime::FromParts(2026, 12, 7, 10, 0, 0);
    for (const char* interval : {"0", "-5", "", "abc", "  -1"}) {
        CActivation* a = AddActivation("a", AddWatch("w"), past, interval);
        EXPECT_FALSE(IsDue(*a)) << interval;
        EXPECT_TRUE(NextOf(*a) == past);
    }
    CActivation* bad = AddActivation("b", AddWatch("w"), past, "5");
    bad->nextTime = "10:99";
    EXPECT_FALSE(IsDue(*bad));
    bad->nextTime = "10:00:00";
    bad->nextDate = "7 Dec 2026";
    EXPECT_FALSE(IsDue(*bad));
    EXPECT_FALSE(StoreWritten());
}

TEST_F(ScheduleTest, IntervalTextReadsLikeTheCLibrary) {
    EXPECT_EQ(ParseIntervalMinutes("  15abc"), 15);
    EXPECT_EQ(ParseIntervalMinutes("+7"), 7);
    EXPECT_EQ(ParseIntervalMinutes("-3"), -3);
    EXPECT_EQ(ParseIntervalMinutes("x5"), 0);
    // Huge intervals push the next moment off the calendar: never due again, no loop.
    CActivation* a = AddActivation("a", AddWatch("w"), CDateTime::FromParts(2026, 12, 7, 10, 0, 0),
                                   "99999999999999999999");
    SetNow(2026, 12, 7, 10, 0, 0);
    EXPECT_TRUE(IsDue(*a));
    SetNow(2026, 12, 8, 10, 0, 0);
    EXPECT_FALSE(IsDue(*a));
}

struct WindowCase {
    const char* what;
    CDateTime next;
    const char* interval;
    const char* start;
    const char* end;
    CDateTime expected;
};

TEST_F(ScheduleTest, DailyWindowPlacesTheNextRun) {
    using D = CDateTime;
    const WindowCase cases[] = {
        {"past the end: next morning", D::FromParts(2026, 12, 7, 16, 30, 0), "60", "9:00a", "5:00p",
         D::FromParts(2026, 12, 8, 9, 0, 0)},
        {"before the start: same day", D::FromParts(2026, 12, 7, 7, 0, 0), "5", "9:00a", "5:00p",
         D::FromParts(2026, 12, 7, 9, 0, 0)},
        {"inside: unchanged", D::FromParts(2026, 12, 7, 12, 0, 0), "60", "9:00a", "5:00p",
         D::FromParts(2026, 12, 7, 13, 0, 0)},
        {"exactly at the end stays", D::FromParts(2026, 12, 7, 16, 0, 0), "60", "9:00a", "5:00p",
         D::FromParts(2026, 12, 7, 17, 0, 0)},
        {"end before start: start on the next day", D::FromParts(2026, 12, 7, 23, 0, 0), "5",
         "10:00p", "6:00a", D::FromParts(2026, 12, 8, 22, 0, 0)},
        {"end before start, early morning", D::FromParts(2026, 12, 7, 2, 0, 0), "5", "10:00p",
         "6:00a", D::FromParts(2026, 12, 8, 22, 0, 0)},
        {"unreadable start: no effect", D::FromParts(2026, 12, 7, 16, 30, 0), "60", "soon", "5:00p",
         D::FromParts(2026, 12, 7, 17, 30, 0)},
        {"unreadable end: no effect", D::FromParts(2026, 12, 7, 7, 0, 0), "5", "9:00a", "25:00",
         D::FromParts(2026, 12, 7, 7, 5, 0)},
    };
    for (const WindowCase& c : cases) {
        CActivation* a = AddActivation("a", AddWatch("w"), c.next, c.interval);
        a->windowOn = true;
        a->startTime = c.start;
        a->endTime = c.end;
        clock.now = LocalSeconds(c.next.GetYear(), c.next.GetMonth(), c.next.GetDay(),
                                 c.next.GetHour(), c.next.GetMinute(), c.next.GetSecond());
        EXPECT_TRUE(IsDue(*a)) << c.what; // checked now, whatever the window says
        EXPECT_TRUE(NextOf(*a) == c.expected)
            << c.what << ": " << a->nextDate << " " << a->nextTime;
    }
}

// The moment is written in the one form every locale reads alike: a store written under
// en_GB and run under C (or the other way) fires on the day it names, not months early.
TEST_F(ScheduleTest, WindowUnderAnotherLocaleAndTheMomentReadUnderAnother) {
    const std::string previous = std::setlocale(LC_TIME, nullptr);
    ASSERT_TRUE(std::setlocale(LC_TIME, "en_GB.UTF-8"));
    // 3 April: a day that is a different date read month first.
    CActivation* a =
        AddActivation("a", AddWatch("w"), CDateTime::FromParts(2026, 4, 3, 16, 30, 0), "60");
    a->windowOn = true;
    a->startTime = "9:00a";
    a->endTime = "5:00p";
    SetNow(2026, 4, 3, 16, 30, 0);
    EXPECT_TRUE(IsDue(*a));
    EXPECT_EQ(a->nextDate, "2026-04-04");
    EXPECT_EQ(a->nextTime, "09:00:00");

    ASSERT_TRUE(std::setlocale(LC_TIME, "C"));
    SetNow(2026, 4, 3, 20, 0, 0);
    EXPECT_FALSE(IsDue(*a));
    EXPECT_TRUE(NextOf(*a) == CDateTime::FromParts(2026, 4, 4, 9, 0, 0));
    // A store from an earlier version holds the locale's text, and still reads as before.
    a->nextDate = "04/05/2026";
    EXPECT_TRUE(NextOf(*a) == CDateTime::FromParts(2026, 4, 5, 9, 0, 0));
    std::setlocale(LC_TIME, previous.c_str());
}

TEST(Filter, WordSplitting) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitWords(""), V{});
    EXPECT_EQ(SplitWords("alarm, fire ,\tsmoke\r\n"), (V{"alarm", "fire", "smoke"}));
    EXPECT_EQ(SplitWords("a,"), V{"a"});       // a trailing comma adds nothing
    EXPECT_EQ(SplitWords(",a"), (V{"", "a"})); // a leading one adds an empty word
    EXPECT_EQ(SplitWords("a,,b"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitWords("a, \v\f ,b"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitWords("two words"), V{"two words"});
}

TEST(Filter, ContainsAndExcludes) {
    CActivation a;
    EXPECT_TRUE(PassesFilter(a, "")); // both off
    a.containsFilterOn = true;
    EXPECT_FALSE(PassesFilter(a, "anything")); // on with no words: never
    a.containsWords = "alarm,fire";
    EXPECT_FALSE(PassesFilter(a, "Fire in the hall")); // case-sensitive
    EXPECT_TRUE(PassesFilter(a, "false alarms everywhere"));
    EXPECT_TRUE(PassesFilter(a, "campfire"));

    a.excludesFilterOn = true;
    EXPECT_TRUE(PassesFilter(a, "alarm")); // on with no words: no effect
    a.excludesWords = "test, drill";
    EXPECT_FALSE(PassesFilter(a, "fire drill"));
    EXPECT_TRUE(PassesFilter(a, "fire Drill"));
    a.containsFilterOn = false;
    EXPECT_TRUE(PassesFilter(a, "all quiet"));
    a.excludesWords = ",test"; // the empty first word matches everything
    EXPECT_FALSE(PassesFilter(a, "all quiet"));
    EXPECT_FALSE(PassesFilter(a, ""));

    // Multi-byte text matches byte for byte.
    a.excludesFilterOn = false;
    a.containsFilterOn = true;
    a.containsWords = "Störung";
    EXPECT_TRUE(PassesFilter(a, "Meldung: Störung im Netz"));
    EXPECT_FALSE(PassesFilter(a, "Meldung: STÖRUNG"));
}

} // namespace
} // namespace sentrel
