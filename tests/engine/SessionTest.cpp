// The start-up and exit that the program and sentrelctl share: how a store that was not
// read whole is met, and that nothing is ever written over one that must be kept.

#include "engine/Session.h"

#include "engine/Engine.h"
#include "services/EventLog.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/FakeTimerHost.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace sentrel {
namespace {

enum class Store { Missing, Whole, Damaged, Unreadable };

struct HeldCase {
    const char* name;
    Store store;
    StorePolicy policy;
    bool opens;
    // Interactive: the start of the message box shown; strict: of the problem returned.
    const char* said;
};

class SessionHeldStoreTest : public ::testing::TestWithParam<HeldCase> {
protected:
    SessionHeldStoreTest() : m_platform(Services()) {}

    PlatformServices Services() {
        PlatformServices services;
        services.clock = &clock;
        services.messageBox = &messages;
        return services;
    }
    // A store of one alert, whole or cut short after its first record.
    std::string StoreBytes() {
        CSentrelDoc doc(dir.File("whole.bin"));
        for (const char* name : {"first", "second"}) {
            auto alert = std::make_unique<CAlert>();
            alert->name = name;
            doc.alerts.push_back(std::move(alert));
        }
        doc.traceOn = true;
        EXPECT_TRUE(doc.Save());
        std::string bytes = test::ReadFile(dir.File("whole.bin"));
        std::filesystem::remove(dir.File("whole.bin"));
        return bytes;
    }

    test::TempDir dir;
    test::FakeClock clock;
    test::FakeMessageBox messages;

private:
    ScopedPlatform m_platform;
};

TEST_P(SessionHeldStoreTest, OpensOrRefusesAndNeverWritesOverWhatItMustKeep) {
    const HeldCase& c = GetParam();
    const std::string path = dir.File("Sentrel.bin");
    const std::string whole = StoreBytes();
    const std::string cut = whole.substr(0, whole.size() - 4);
    if (c.store == Store::Whole) {
        test::WriteFile(path, whole);
    } else if (c.store == Store::Damaged) {
        test::WriteFile(path, cut);
    } else if (c.store == Store::Unreadable) {
        std::filesystem::create_directory(path); // root reads any file: a folder it cannot
    }
    std::string problem;
    {
        CSentrelSession session(path);
        EXPECT_EQ(session.Open(c.policy, &problem), c.opens);
        if (c.policy == StorePolicy::Interactive) {
            if (*c.said) {
                ASSERT_EQ(messages.shown.size(), 1u);
                EXPECT_EQ(messages.shown[0].text.rfind(c.said, 0), 0u) << messages.shown[0].text;
            } else {
                EXPECT_TRUE(messages.shown.empty());
            }
        } else {
            EXPECT_TRUE(messages.shown.empty());
            EXPECT_EQ(problem.rfind(c.said, 0), 0u) << problem;
        }
        if (c.opens) {
            // Start-up with the stored switch, and the exit: both save.
            session.ApplyTraceSwitch(session.Doc().traceOn);
            EXPECT_TRUE(session.Exit());
            if (c.store != Store::Damaged) {
                EXPECT_EQ(session.Doc().alerts.size(), c.store == Store::Whole ? 2u : 0u);
            }
        }
    }
    switch (c.store) {
    case Store::Missing:
        EXPECT_EQ(std::filesystem::exists(path), c.opens);
        break;
    case Store::Whole:
        EXPECT_EQ(test::ReadFile(path), whole);
        EXPECT_NE(test::ReadFile(dir.File("trace.txt")).find("TRACE Trace Switched on"),
                  std::string::npos);
        break;
    case Store::Damaged:
        // The damaged bytes are kept beside the store before it is written again; refused,
        // nothing is written at all.
        if (c.opens) {
            EXPECT_EQ(test::ReadFile(path + ".damaged"), cut);
            EXPECT_NE(test::ReadFile(path), cut);
        } else {
            EXPECT_EQ(test::ReadFile(path), cut);
            EXPECT_FALSE(std::filesystem::exists(path + ".damaged"));
        }
        break;
    case Store::Unreadable:
        EXPECT_TRUE(std::filesystem::is_directory(path));
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Stores, SessionHeldStoreTest,
    ::testing::Values(HeldCase{"FirstStart", Store::Missing, StorePolicy::Interactive, true, ""},
                      HeldCase{"MissingRefused", Store::Missing, StorePolicy::Strict, false,
                               "cannot read "},
                      HeldCase{"Whole", Store::Whole, StorePolicy::Interactive, true, ""},
                      HeldCase{"WholeStrict", Store::Whole, StorePolicy::Strict, true, ""},
                      HeldCase{"DamagedKeptAndTold", Store::Damaged, StorePolicy::Interactive, true,
                               "The store file is damaged at byte "},
                      HeldCase{"DamagedRefused", Store::Damaged, StorePolicy::Strict, false,
                               "The store file is damaged at byte "},
                      HeldCase{"UnreadableEndsTheStart", Store::Unreadable,
                               StorePolicy::Interactive, false, "Sentrel.bin cannot be read: "},
                      HeldCase{"UnreadableRefused", Store::Unreadable, StorePolicy::Strict, false,
                               "Sentrel.bin cannot be read: "}),
    [](const ::testing::TestParamInfo<HeldCase>& info) { return std::string(info.param.name); });

// Once an engine is attached a save point writes on the saving thread; a failure is told on
// the owner thread, in the words it always had, and the store is not touched.
TEST_F(SessionHeldStoreTest, SaveOffTheOwnerThreadTellsItsFailure) {
    test::FakeTimerHost host(clock);
    CSentrelSession session(dir.File("missing/Sentrel.bin"));
    ASSERT_TRUE(session.Open(StorePolicy::Interactive));
    session.AttachEngine(host);
    host.holdSaves = true;
    session.Save();
    EXPECT_TRUE(messages.shown.empty());
    host.RunSaves();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Unable to create Sentrel.bin");
    EXPECT_EQ(messages.shown[0].caption, "Sentrel");
    EXPECT_FALSE(session.Exit());
    EXPECT_EQ(messages.shown.size(), 2u);
}

} // namespace
} // namespace sentrel
