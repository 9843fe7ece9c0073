#include "watches/DateTimeWatch.h"

#include "model/Archive.h"
#include "tests/support/TestSupport.h"

#include <ctime>
#include <gtest/gtest.h>

namespace sentrel {
namespace {

CDateTime Local(int y, int mo, int d, int h, int mi, int s) {
    return CDateTime::FromParts(y, mo, d, h, mi, s);
}

// December 2026: the 6th is a Sunday, the 7th a Monday, ... the 12th a Saturday.
class DateTimeWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformServices services;
        services.clock = &clock;
        scoped = std::make_unique<ScopedPlatform>(services);
        watch.message = "It is time";
    }

    // Sets the clock to a local wall-clock time (tests run with TZ=Europe/Berlin).
    void At(int y, int mo, int d, int h, int mi, int s) {
        std::tm tm{};
        tm.tm_year = y - 1900;
        tm.tm_mon = mo - 1;
        tm.tm_mday = d;
        tm.tm_hour = h;
        tm.tm_min = mi;
        tm.tm_sec = s;
        tm.tm_isdst = -1;
        clock.now = static_cast<std::int64_t>(std::mktime(&tm));
    }

    bool CheckAt(int y, int mo, int d, int h, int mi, int s) {
        At(y, mo, d, h, mi, s);
        return watch.Check(message);
    }

    void OneOff(int y, int mo, int d, int h, int mi, int s) {
        watch.onceOn = true;
        watch.onceDate = Local(y, mo, d, 0, 0, 0);
        watch.onceTime = Local(1899, 12, 30, h, mi, s);
    }

    test::FakeClock clock;
    std::unique_ptr<ScopedPlatform> scoped;
    CDateTimeWatch watch;
    std::string message;
};

TEST_F(DateTimeWatchTest, OneOffMomentFiresOnceAtTheFirstCheckPastIt) {
    OneOff(2026, 12, 8, 10, 0, 0);
    watch.lastCheck = Local(2026, 12, 8, 9, 59, 50);
    EXPECT_FALSE(CheckAt(2026, 12, 8, 9, 59, 58));
    EXPECT_EQ(message, "");
    EXPECT_TRUE(CheckAt(2026, 12, 8, 10, 0, 3));
    EXPECT_EQ(message, "It is time");
    message = "kept";
    EXPECT_FALSE(CheckAt(2026, 12, 8, 10, 0, 8));
    EXPECT_EQ(message, "kept");
    EXPECT_TRUE(watch.lastCheck.IsValid());
    EXPECT_EQ(watch.lastCheck.GetSecond(), 8);
}

TEST_F(DateTimeWatchTest, OneOffMomentPassedWhileStoppedFiresAtTheNextCheck) {
    OneOff(2026, 12, 8, 10, 0, 0);
    watch.lastCheck = Local(2026, 12, 8, 8, 59, 59);
    EXPECT_TRUE(CheckAt(2026, 12, 8, 11, 0, 0));
    EXPECT_FALSE(CheckAt(2026, 12, 8, 11, 0, 1));
}

TEST_F(DateTimeWatchTest, CheckExactlyAtTheMomentNeverFiresIt) {
    OneOff(2026, 12, 8, 10, 0, 0);
    watch.lastCheck = Local(2026, 12, 8, 9, 59, 59);
    EXPECT_FALSE(CheckAt(2026, 12, 8, 10, 0, 0));
    EXPECT_FALSE(CheckAt(2026, 12, 8, 10, 0, 1));
    EXPECT_FALSE(CheckAt(2026, 12, 9, 10, 0, 0));
}

TEST_F(DateTimeWatchTest, InvalidOneOffPartsNeverFire) {
    OneOff(2026, 12, 8, 10, 0, 0);
    watch.onceDate = CDateTime(CDateTime::Invalid, watch.onceDate.GetDayNumber());
    watch.lastCheck = Local(2026, 12, 8, 9, 0, 0);
    EXPECT_FALSE(CheckAt(2026, 12, 8, 11, 0, 0));
    OneOff(2026, 12, 8, 10, 0, 0);
    watch.onceTime = CDateTime(CDateTime::Null, 0.0);
    watch.lastCheck = Local(2026, 12, 8, 9, 0, 0);
    EXPECT_FALSE(CheckAt(2026, 12, 8, 11, 0, 0));
    // An invalid lastCheck (a damaged store) makes every comparison false as well.
    OneOff(2026, 12, 8, 10, 0, 0);
    watch.lastCheck = CDateTime(CDateTime::Invalid, 0.0);
    EXPECT_FALSE(CheckAt(2026, 12, 8, 11, 0, 0));
    EXPECT_TRUE(watch.lastCheck.IsValid()); // and the check repairs it
}

TEST_F(DateTimeWatchTest, DailyTimeOnlyConsidersTheDayOfTheCheck) {
    watch.dailyOn = true;
    watch.dailyTime = Local(1899, 12, 30, 23, 59, 50);
    watch.onTuesday = watch.onWednesday = true;
    watch.lastCheck = Local(2026, 12, 8, 23, 59, 30);
    EXPECT_FALSE(CheckAt(2026, 12, 8, 23, 59, 40));
    EXPECT_FALSE(CheckAt(2026, 12, 9, 0, 0, 30)); // Tuesday's 23:59:50 is not caught up
    EXPECT_FALSE(CheckAt(2026, 12, 9, 12, 0, 0));
    EXPECT_TRUE(CheckAt(2026, 12, 9, 23, 59, 55)); // Wednesday's own occurrence
    EXPECT_EQ(message, "It is time");
    EXPECT_FALSE(CheckAt(2026, 12, 9, 23, 59, 59));
}

TEST_F(DateTimeWatchTest, EachWeekdayFlagBelongsToItsOwnDay) {
    watch.dailyOn = true;
    watch.dailyTime = Local(1899, 12, 30, 7, 30, 0);
    bool* flags[7] = {&watch.onSunday,   &watch.onMonday, &watch.onTuesday, &watch.onWednesday,
                      &watch.onThursday, &watch.onFriday, &watch.onSaturday};
    for (int day = 0; day < 7; ++day) { // 2026-12-06 is a Sunday
        for (int flag = 0; flag < 7; ++flag) {
            for (bool* f : flags) {
                *f = false;
            }
            *flags[flag] = true;
            watch.lastCheck = Local(2026, 12, 6 + day, 7, 29, 0);
            EXPECT_EQ(CheckAt(2026, 12, 6 + day, 7, 31, 0), flag == day)
                << "day " << day << " flag " << flag;
        }
    }
}

TEST_F(DateTimeWatchTest, DisabledPartsOnlyMoveLastCheck) {
    OneOff(2026, 12, 8, 10, 0, 0);
    watch.onceOn = false;
    watch.dailyTime = Local(1899, 12, 30, 10, 0, 0);
    watch.onTuesday = true; // the 8th is a Tuesday
    watch.lastCheck = Local(2026, 12, 8, 9, 0, 0);
    message = "kept";
    EXPECT_FALSE(CheckAt(2026, 12, 8, 11, 0, 0));
    EXPECT_EQ(message, "kept");
    EXPECT_EQ(watch.lastCheck.GetHour(), 11);

    // Daily on Monday only: Tuesday's passing does not fire but still moves lastCheck.
    watch.dailyOn = true;
    watch.onTuesday = false;
    watch.onMonday = true;
    watch.lastCheck = Local(2026, 12, 8, 9, 0, 0);
    EXPECT_FALSE(CheckAt(2026, 12, 8, 10, 0, 1));
    EXPECT_EQ(watch.lastCheck.GetSecond(), 1);
}

TEST_F(DateTimeWatchTest, BothPartsInOneCheckGiveOneTrue) {
    OneOff(2026, 12, 8, 10, 0, 0);
    watch.dailyOn = true;
    watch.dailyTime = Local(1899, 12, 30, 10, 0, 1);
    watch.onTuesday = true;
    watch.lastCheck = Local(2026, 12, 8, 9, 0, 0);
    EXPECT_TRUE(CheckAt(2026, 12, 8, 10, 0, 5));
    EXPECT_EQ(message, "It is time");
    EXPECT_FALSE(CheckAt(2026, 12, 8, 10, 0, 9));
}

// The record as stored, with the two copies of the name given separately.
std::string StoredRecord(const std::string& firstName) {
    CArchive out;
    out.WriteString(firstName);
    out.WriteDateTime(Local(1899, 12, 30, 6, 15, 0)); // dailyTime
    out.WriteBool(true);                              // dailyOn
    out.WriteBool(false);                             // onceOn
    out.WriteDateTime(Local(2026, 12, 24, 0, 0, 0));  // onceDate
    out.WriteDateTime(Local(1899, 12, 30, 18, 0, 0)); // onceTime
    out.WriteString("second name");
    // Friday, Monday, Saturday, Sunday, Thursday, Tuesday, Wednesday
    for (bool flag : {true, false, false, true, true, false, false}) {
        out.WriteBool(flag);
    }
    out.WriteString("msg");
    out.WriteDateTime(Local(2026, 12, 7, 20, 0, 0));
    return out.TakeData();
}

TEST(DateTimeWatchRecord, KeepsWeekdayOrderAndTakesTheSecondName) {
    const std::string stored = StoredRecord("first name");
    CArchive in(stored);
    CDateTimeWatch loaded;
    loaded.Serialize(in);
    EXPECT_EQ(in.Offset(), stored.size());
    EXPECT_EQ(loaded.name, "second name");
    EXPECT_TRUE(loaded.dailyOn);
    EXPECT_FALSE(loaded.onceOn);
    EXPECT_EQ(loaded.dailyTime.GetHour(), 6);
    EXPECT_EQ(loaded.onceDate.GetDay(), 24);
    EXPECT_EQ(loaded.onceTime.GetHour(), 18);
    EXPECT_TRUE(loaded.onFriday && loaded.onSunday && loaded.onThursday);
    EXPECT_FALSE(loaded.onMonday || loaded.onSaturday || loaded.onTuesday || loaded.onWednesday);
    EXPECT_EQ(loaded.message, "msg");
    EXPECT_EQ(loaded.lastCheck.GetHour(), 20);

    CArchive again;
    loaded.Serialize(again);
    EXPECT_EQ(again.Data(), StoredRecord("second name"));
}

} // namespace
} // namespace sentrel
