#include "engine/Engine.h"

#include "engine/StoreSaver.h"
#include "services/EventLog.h"
#include "services/NetworkServices.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/FakeTimerHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <sstream>
#include <stdexcept>

namespace sentrel {
namespace {

using test::LocalSeconds;
using test::NextOf;
using test::RecordingAlert;
using test::ScriptWatch;

class FakeConnection : public IConnection {
public:
    bool connected = false;
    int dials = 0, hangUps = 0;
    bool IsConnected() override { return connected; }
    bool DialUnattended() override {
        ++dials;
        return false; // the result is not looked at
    }
    void HangUp() override { ++hangUps; }
};

// The trace written during a test, as lines without their time stamps.
class EngineTest : public ::testing::Test, public test::DocFixture {
protected:
    EngineTest() : m_platform(Services()) {
        clock.now = LocalSeconds(2026, 12, 7, 8, 59, 58);
        host.onTimer = [this](int id) { engine.OnTimer(id); };
        CTraceFile::Instance().SetPath(dir.File("trace.txt"));
        CTraceFile::Instance().SwitchOn();
    }
    ~EngineTest() override { CTraceFile::Instance().SwitchOff(); }

    PlatformServices Services() {
        PlatformServices services;
        services.clock = &clock;
        services.messageBox = &messages;
        services.connection = &connection;
        return services;
    }

    std::vector<std::string> Events() {
        std::vector<std::string> events;
        std::istringstream in(test::ReadFile(dir.File("trace.txt")));
        std::string line;
        while (std::getline(in, line)) {
            // "Monday,December07,2026,08:59:58 source event\r"
            const auto blank = line.find(' ');
            events.push_back(line.substr(blank + 1, line.size() - blank - 2));
        }
        return events;
    }

    test::FakeClock clock;
    test::FakeMessageBox messages;
    FakeConnection connection;
    ScopedPlatform m_platform;
    test::FakeTimerHost host{clock};
    CStoreSaver saver{doc, host};
    CEngine engine{doc, host, saver};
};

TEST_F(EngineTest, StartAndStopDriveTheEngineTimer) {
    EXPECT_FALSE(engine.IsRunning());
    engine.Start();
    EXPECT_TRUE(engine.IsRunning());
    ASSERT_TRUE(host.IsSet(CEngine::kEngineTimer));
    EXPECT_EQ(host.DueAt(CEngine::kEngineTimer), 1000u);
    engine.Stop();
    EXPECT_FALSE(engine.IsRunning());
    EXPECT_FALSE(host.IsSet(CEngine::kEngineTimer));
    // A stale timer message while stopped does nothing.
    ScriptWatch* w = AddWatch("w");
    AddActivation("a", w, CDateTime::FromParts(2026, 1, 1, 0, 0, 0), "5");
    host.Fire(CEngine::kEngineTimer);
    EXPECT_TRUE(w->checkedAt.empty());
    EXPECT_EQ(Events(), (std::vector<std::string>{"Sentrel Activations started",
                                                  "Sentrel Activations stopped"}));
}

TEST_F(EngineTest, WholeDaysInsideTheWindow) {
    ScriptWatch* w = AddWatch("w");
    RecordingAlert* alert = AddAlert("phone");
    CActivation* a = AddActivation("hourly", w, CDateTime::FromParts(2026, 12, 7, 9, 0, 0), "60");
    a->alerts.push_back(alert);
    a->windowOn = true;
    a->startTime = "9:00a";
    a->endTime = "5:00p";
    engine.Start();
    host.Advance(2ull * 86400 * 1000);
    // 09:00 to 17:00 on both days, on the second.
    ASSERT_EQ(w->checkedAt.size(), 18u);
    for (std::size_t i = 0; i < w->checkedAt.size(); ++i) {
        const CDateTime& at = w->checkedAt[i];
        EXPECT_EQ(at.GetDay(), i < 9 ? 7 : 8);
        EXPECT_EQ(at.GetHour(), 9 + static_cast<int>(i % 9));
        EXPECT_EQ(at.GetMinute(), 0);
        EXPECT_EQ(at.GetSecond(), 0);
    }
    EXPECT_EQ(alert->sent.size(), 18u);
    EXPECT_TRUE(NextOf(*a) == CDateTime::FromParts(2026, 12, 9, 9, 0, 0));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(EngineTest, DisabledAndWatchlessActivationsAreSkipped) {
    ScriptWatch* w = AddWatch("w");
    CActivation* off = AddActivation("off", w, CDateTime::FromParts(2026, 12, 7, 8, 0, 0), "1");
    off->enabled = false;
    CActivation* empty =
        AddActivation("empty", nullptr, CDateTime::FromParts(2026, 12, 7, 8, 0, 0), "1");
    engine.Start();
    host.Advance(5000);
    EXPECT_TRUE(w->checkedAt.empty());
    EXPECT_EQ(off->nextTime, "08:00:00");   // a disabled one is not even advanced
    EXPECT_EQ(empty->nextTime, "09:01:00"); // due and advanced, but nothing to check
}

TEST_F(EngineTest, TriggeredEventsInDocumentOrder) {
    std::vector<std::string> order;
    ScriptWatch* w1 = AddWatch("W1");
    w1->onCheck = [&](std::string& message) {
        order.push_back("check W1");
        message = "fire alarm";
        return true;
    };
    ScriptWatch* w2 = AddWatch("W2");
    w2->onCheck = [&](std::string& message) {
        order.push_back("check W2");
        message = "all quiet";
        return true;
    };
    const CDateTime due = CDateTime::FromParts(2026, 12, 7, 9, 0, 0);
    CActivation* first = AddActivation("A1", w1, due, "60");
    for (const char* name : {"X", "Y", "Z"}) {
        RecordingAlert* alert = AddAlert(name);
        alert->onSend = [&order, name] { order.push_back(std::string("send ") + name); };
        first->alerts.push_back(alert);
    }
    CActivation* second = AddActivation("A2", w2, due, "60");
    second->containsFilterOn = true;
    second->containsWords = "alarm"; // rejects "all quiet"
    second->alerts.push_back(first->alerts[0]);

    engine.Start();
    host.Advance(3000);
    EXPECT_EQ(order,
              (std::vector<std::string>{"check W1", "send X", "send Y", "send Z", "check W2"}));
    EXPECT_EQ(Events(), (std::vector<std::string>{"Sentrel Activations started", "A1:W1 Triggered",
                                                  "A1:X Triggered", "A1:Y Triggered",
                                                  "A1:Z Triggered", "A2:W2 Triggered"}));
    EXPECT_EQ(static_cast<RecordingAlert*>(first->alerts[2])->sent,
              std::vector<std::string>{"fire alarm"});
}

// The due tests of a pass come first, then one save: the moments they moved are on disk
// before the first check, so a crash never fires them twice. Nothing due, nothing written.
TEST_F(EngineTest, APassWritesTheStoreOnceBeforeItsFirstCheckAndOnlyWhenSomethingWasDue) {
    std::vector<std::string> storedAtCheck;
    const auto stored = [this] {
        CSentrelDoc saved(doc.StorePath());
        saved.Load(false);
        std::string moments;
        for (const auto& activation : saved.activations) {
            moments += activation->nextTime + " ";
        }
        return moments;
    };
    ScriptWatch* w = AddWatch("w");
    w->onCheck = [&](std::string&) {
        storedAtCheck.push_back(stored());
        return false;
    };
    const CDateTime due = CDateTime::FromParts(2026, 12, 7, 9, 0, 0);
    for (const char* name : {"A1", "A2", "A3"}) {
        AddActivation(name, w, due, "60");
    }
    AddActivation("later", w, due.AddDays(1), "60");
    engine.Start();
    host.Advance(1000); // 08:59:59: nothing due
    EXPECT_EQ(host.saves, 0);
    EXPECT_FALSE(std::filesystem::exists(doc.StorePath()));
    host.Advance(1000); // 09:00:00: three due
    EXPECT_EQ(host.saves, 1);
    EXPECT_EQ(storedAtCheck, std::vector<std::string>(3, "10:00:00 10:00:00 10:00:00 09:00:00 "));
    host.Advance(3000);
    EXPECT_EQ(host.saves, 1);
}

// A check or a send that throws (memory exhausted by a huge reply, say) costs only that
// record: the pass goes on with the next alert and the next activation.
TEST_F(EngineTest, ThrowingCheckOrSendIsLoggedAndThePassGoesOn) {
    ScriptWatch* bad = AddWatch("bad");
    bad->onCheck = [](std::string&) -> bool { throw std::bad_alloc(); };
    ScriptWatch* good = AddWatch("good");
    RecordingAlert* broken = AddAlert("broken");
    broken->onSend = [] { throw std::runtime_error("gateway\nexploded"); };
    RecordingAlert* phone = AddAlert("phone");
    const CDateTime due = CDateTime::FromParts(2026, 12, 7, 9, 0, 0);
    CActivation* first = AddActivation("A1", bad, due, "60");
    first->alerts.push_back(phone);
    CActivation* second = AddActivation("A2", good, due, "60");
    second->alerts = {broken, phone};

    engine.Start();
    host.Advance(3000);
    EXPECT_EQ(phone->sent.size(), 1u);
    EXPECT_EQ(engine.RunStateOf(*first).outcome, CheckOutcome::CannotCheck);
    EXPECT_EQ(engine.RunStateOf(*first).reason, "std::bad_alloc");
    EXPECT_FALSE(engine.IsBusy());
    EXPECT_TRUE(host.IsSet(CEngine::kEngineTimer));
    EXPECT_EQ(Events(),
              (std::vector<std::string>{
                  "Sentrel Activations started", "Sentrel Failed to check A1:bad: std::bad_alloc",
                  "A2:good Triggered", "A2:broken Triggered",
                  "Sentrel Failed to send A2:broken: gateway exploded", "A2:phone Triggered"}));
}

// A watch that cannot look: the second such check in a row tells the activation's alerts,
// once for that run of failures; the first check after it that can look tells them so,
// before the watch's own message. The word filter is for the watch's messages only.
TEST_F(EngineTest, TwoFailedChecksInARowAreToldOnceAndSoIsTheRecovery) {
    ScriptWatch* w = AddWatch("Watch site");
    w->onCheck = [](std::string& message) {
        message = "the page changed";
        return true;
    };
    RecordingAlert* phone = AddAlert("phone");
    CActivation* a = AddActivation("site", w, CDateTime::FromParts(2026, 12, 7, 9, 0, 0), "1");
    a->alerts.push_back(phone);
    a->containsFilterOn = true;
    a->containsWords = "price"; // lets none of the watch's messages through
    const std::string reason = "The server answered with status 404";
    const std::string told = "Sentrel cannot check Watch site: " + reason;
    const std::string recovered = "Sentrel can check Watch site again";
    struct Step {
        bool fails;
        int failuresInRow;
        std::vector<std::string> sent; // all so far
    };
    const Step steps[] = {
        {true, 1, {}},
        {true, 2, {told}},
        {true, 3, {told}},
        {false, 0, {told, recovered}},
        {true, 1, {told, recovered}},
    };
    engine.Start();
    for (const Step& step : steps) {
        w->failure = step.fails ? reason : "";
        host.Advance(w->checkedAt.empty() ? 2000 : 60000); // due at 09:00, then every minute
        const ActivationRunState& state = engine.RunStateOf(*a);
        EXPECT_EQ(state.outcome, step.fails ? CheckOutcome::CannotCheck : CheckOutcome::Triggered);
        EXPECT_EQ(state.reason, step.fails ? reason : "");
        EXPECT_EQ(state.failuresInRow, step.failuresInRow);
        EXPECT_TRUE(state.lastCheck == CDateTime::Now());
        EXPECT_EQ(phone->sent, step.sent);
    }
    ASSERT_EQ(w->checkedAt.size(), 5u);
    ASSERT_TRUE(engine.RunStateOf(*a).lastTrigger.has_value());
    EXPECT_TRUE(*engine.RunStateOf(*a).lastTrigger == w->checkedAt[3]);
    EXPECT_EQ(Events(), (std::vector<std::string>{
                            "Sentrel Activations started", "site:Watch site Cannot check",
                            "site:phone Triggered", "site:Watch site Can check again",
                            "site:phone Triggered", "site:Watch site Triggered"}));
    // Stop and Start keep the run state.
    engine.Stop();
    engine.Start();
    EXPECT_EQ(engine.RunStateOf(*a).failuresInRow, 1);
}

// Check Now looks once, on the worker, and says what it found, which becomes the last
// check; but no alert goes, the schedule stays, the watch keeps nothing it saw, and the
// failures in a row are the scheduled checks' alone.
TEST_F(EngineTest, CheckNowOnlyLooks) {
    auto* w = AddWatch<test::StatefulWatch>("w");
    w->onCheck = [](std::string& message) {
        message = "found it";
        return true;
    };
    RecordingAlert* phone = AddAlert("phone");
    CActivation* a = AddActivation("a", w, CDateTime::FromParts(2026, 12, 7, 10, 0, 0), "60");
    a->alerts.push_back(phone);
    std::vector<CheckReport> reports;
    const auto report = [&reports](const CheckReport& r) { reports.push_back(r); };
    host.holdWork = true;
    engine.CheckNow(*a, report);
    EXPECT_TRUE(reports.empty());
    host.RunWork();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].outcome, CheckOutcome::Triggered);
    EXPECT_EQ(reports[0].message, "found it");
    EXPECT_EQ(engine.RunStateOf(*a).outcome, CheckOutcome::Triggered);
    EXPECT_TRUE(engine.RunStateOf(*a).lastTrigger.has_value());

    w->failure = "gone";
    engine.CheckNow(*a, report);
    host.RunWork();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].outcome, CheckOutcome::CannotCheck);
    EXPECT_EQ(reports[1].reason, "gone");
    EXPECT_EQ(engine.RunStateOf(*a).reason, "gone");
    EXPECT_EQ(engine.RunStateOf(*a).failuresInRow, 0);

    // Forgotten while it runs: still reported, but no run state is kept for it.
    engine.CheckNow(*a, report);
    engine.Forget(a);
    host.RunWork();
    EXPECT_EQ(reports.size(), 3u);
    EXPECT_EQ(engine.RunStateOf(*a).outcome, CheckOutcome::NotChecked);

    EXPECT_TRUE(phone->sent.empty());
    EXPECT_EQ(a->nextTime, "10:00:00");
    EXPECT_EQ(w->seen, "");
    EXPECT_EQ(host.saves, 0);
    EXPECT_TRUE(Events().empty());
}

TEST_F(EngineTest, NextPassStartsASecondAfterALongPassEnded) {
    ScriptWatch* slow = AddWatch("slow");
    slow->onCheck = [this](std::string&) {
        host.Elapse(5500); // a blocking network wait
        return false;
    };
    AddActivation("a", slow, CDateTime::FromParts(2026, 12, 7, 9, 0, 0), "1");
    engine.Start();
    host.Advance(2000); // 09:00:00, the pass runs until 09:00:05.5
    ASSERT_EQ(slow->checkedAt.size(), 1u);
    EXPECT_FALSE(engine.IsBusy());
    EXPECT_EQ(host.DueAt(CEngine::kEngineTimer), 2000u + 5500 + 1000);
}

TEST_F(EngineTest, StopAndStartDuringAPassDoNotNestPasses) {
    int passes = 0;
    auto* w = AddWatch<test::StatefulWatch>("w");
    w->onCheck = [&](std::string&) {
        ++passes;
        return true;
    };
    RecordingAlert* alert = AddAlert("x");
    AddActivation("a", w, CDateTime::FromParts(2026, 12, 7, 9, 0, 0), "60")
        ->alerts.push_back(alert);
    engine.Start();
    host.holdWork = true;
    host.Advance(2000); // the check is under way on the worker
    ASSERT_EQ(host.PendingWork(), 1u);
    EXPECT_EQ(engine.WaitingFor(), "a:w");
    engine.Stop();
    engine.Start();
    host.Fire(CEngine::kEngineTimer); // a timer message while the pass runs
    EXPECT_EQ(host.PendingWork(), 1u);
    host.RunWork();
    EXPECT_EQ(passes, 1);
    EXPECT_EQ(alert->sent.size(), 1u);
    EXPECT_TRUE(engine.IsRunning());
    EXPECT_FALSE(engine.IsBusy());
    EXPECT_TRUE(engine.WaitingFor().empty());
    EXPECT_TRUE(host.IsSet(CEngine::kEngineTimer));

    // Stop during a check: the check's result is applied and its alerts still go, then
    // the pass ends; later timer messages are ignored.
    host.Advance(3600 * 1000);
    ASSERT_EQ(host.PendingWork(), 1u);
    engine.Stop();
    host.RunWork();
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(w->seen, "++");
    EXPECT_EQ(alert->sent.size(), 2u);
    EXPECT_FALSE(engine.IsBusy());
    host.holdWork = false;
    host.Advance(3 * 3600 * 1000);
    EXPECT_EQ(passes, 2);
}

// Stop ends a pass after the activation under way. The due activations after it get back
// the moment they had, so they run at the next pass instead of being skipped; one that an
// edit gave another moment meanwhile keeps the edit.
TEST_F(EngineTest, StopDuringAPassGivesTheActivationsNotYetRunTheirMomentsBack) {
    ScriptWatch* w = AddWatch("w");
    const CDateTime due = CDateTime::FromParts(2026, 12, 7, 9, 0, 0);
    CActivation* first = AddActivation("A1", w, due, "60");
    CActivation* second = AddActivation("A2", w, due, "60");
    CActivation* third = AddActivation("A3", w, due, "60");
    engine.Start();
    host.holdWork = true;
    host.Advance(2000);
    ASSERT_EQ(engine.WaitingFor(), "A1:w");
    third->nextTime = "12:00:00";
    engine.Stop();
    host.RunWork();
    EXPECT_FALSE(engine.IsBusy());
    EXPECT_EQ(w->checkedAt.size(), 1u);
    EXPECT_EQ(first->nextTime, "10:00:00");
    EXPECT_EQ(second->nextTime, "09:00:00");
    EXPECT_EQ(third->nextTime, "12:00:00");
    host.holdWork = false;
    engine.Start();
    host.Advance(1000);
    EXPECT_EQ(w->checkedAt.size(), 2u);
    EXPECT_EQ(second->nextTime, "10:00:00");
}

// Saves asked for while one is under way become one more save; the engine's changes to
// the records wait until no save reads them, and none reads them while they are held.
TEST_F(EngineTest, SavesDuringASaveAreOneMoreAndACheckResultWaitsForTheSaveToRead) {
    auto* w = AddWatch<test::StatefulWatch>("w");
    AddActivation("a", w, CDateTime::FromParts(2026, 12, 7, 9, 0, 0), "60");
    engine.Start();
    host.holdWork = true;
    host.Advance(2000); // the pass's save has ended, its check is under way
    ASSERT_EQ(host.saves, 1);
    host.holdSaves = true;
    int written = 0;
    for (int i = 0; i < 3; ++i) {
        saver.Save([&written](const SaveOutcome& outcome) { written += outcome.saved; });
    }
    EXPECT_EQ(host.saves, 2);
    host.RunWork(); // the check returns while the save reads the document
    EXPECT_EQ(w->seen, "");
    EXPECT_TRUE(engine.IsBusy());
    host.RunSaves();
    EXPECT_EQ(w->seen, "+");
    EXPECT_FALSE(engine.IsBusy());
    EXPECT_EQ(host.saves, 3);
    EXPECT_EQ(written, 3);

    // While the document is held (an editor is open), no save reads it off this thread,
    // not even one asked for before the hold.
    saver.Save([&written](const SaveOutcome& outcome) { written += outcome.saved; });
    saver.Save([&written](const SaveOutcome& outcome) { written += outcome.saved; });
    {
        const auto held = saver.HoldDocument();
        host.RunSaves();
        EXPECT_EQ(written, 5);
        saver.Save([&written](const SaveOutcome& outcome) { written += outcome.saved; });
        EXPECT_EQ(written, 6);
    }
    EXPECT_EQ(host.saves, 4);
}

// While a check runs the user may delete or edit records. A deleted activation is dropped
// (no event, no alert) and the walk goes on with the one after it; a watch edited
// meanwhile keeps the edit, not the state the check brings back; a deleted alert is not
// sent.
TEST_F(EngineTest, RecordsDeletedOrEditedDuringAStepAreNeverUsedOrUndone) {
    auto* w1 = AddWatch<test::StatefulWatch>("W1");
    auto* w2 = AddWatch<test::StatefulWatch>("W2");
    RecordingAlert* x = AddAlert("X");
    RecordingAlert* y = AddAlert("Y");
    const CDateTime due = CDateTime::FromParts(2026, 12, 7, 9, 0, 0);
    CActivation* first = AddActivation("A1", w1, due, "60");
    first->alerts.push_back(x);
    CActivation* second = AddActivation("A2", w2, due, "60");
    second->alerts = {x, y};
    CActivation* third = AddActivation("A3", w1, due, "60");
    third->alerts.push_back(x);
    engine.Start();
    host.holdWork = true;
    host.Advance(2000);
    ASSERT_EQ(engine.WaitingFor(), "A1:W1");
    engine.Forget(first);
    ASSERT_TRUE(doc.Remove(first));
    host.RunStep(); // W1's state comes back: nothing edited it
    EXPECT_EQ(w1->seen, "+");
    ASSERT_EQ(engine.WaitingFor(), "A2:W2");
    w2->seen = "edited";
    engine.Touched(w2);
    host.RunStep();
    EXPECT_EQ(w2->seen, "edited");
    ASSERT_EQ(engine.WaitingFor(), "A2:X");
    second->alerts = {x}; // edited out of the activation, then deleted
    engine.Forget(y);
    ASSERT_TRUE(doc.Remove(y));
    host.RunWork();
    EXPECT_EQ(x->sent.size(), 2u); // A2's and A3's
    EXPECT_EQ(w1->checkedAt.size(), 2u);
    EXPECT_FALSE(engine.IsBusy());
    EXPECT_EQ(Events(),
              (std::vector<std::string>{"Sentrel Activations started", "A2:W2 Triggered",
                                        "A2:X Triggered", "A3:W1 Triggered", "A3:X Triggered"}));
}

TEST_F(EngineTest, DialledConnectionHangsUpAMinuteAfterTheLastRequest) {
    RequestConnection(); // through the process-wide entry point
    EXPECT_TRUE(engine.IsDialled());
    EXPECT_EQ(connection.dials, 1); // dialled although the dial "failed"
    host.Advance(30000);
    engine.RequestConnection();
    EXPECT_EQ(connection.dials, 2);
    host.Advance(59999);
    EXPECT_EQ(connection.hangUps, 0);
    host.Advance(1);
    EXPECT_EQ(connection.hangUps, 1);
    EXPECT_FALSE(engine.IsDialled());
    EXPECT_FALSE(host.IsSet(CEngine::kHangUpTimer));
    host.Advance(600000);
    EXPECT_EQ(connection.hangUps, 1);
    EXPECT_EQ(Events(), (std::vector<std::string>{
                            "Sentrel Connecting to Internet", "Sentrel Connected to Internet",
                            "Sentrel Connecting to Internet", "Sentrel Connected to Internet",
                            "Sentrel Disconnecting from Internet"}));
}

// A check under way may be using the line: the hang-up that falls due meanwhile waits
// for the check to return, as a timer message waits behind a blocking wait.
TEST_F(EngineTest, HangUpWaitsForTheCheckUnderWay) {
    engine.RequestConnection();
    ScriptWatch* w = AddWatch("w");
    AddActivation("a", w, CDateTime::FromParts(2026, 12, 7, 9, 0, 0), "60");
    engine.Start();
    host.holdWork = true;
    host.Advance(2000); // the check is under way
    ASSERT_EQ(host.PendingWork(), 1u);
    host.Advance(60000);
    EXPECT_EQ(connection.hangUps, 0);
    EXPECT_TRUE(engine.IsDialled());
    host.RunWork();
    EXPECT_EQ(connection.hangUps, 1);
    EXPECT_FALSE(engine.IsDialled());
}

TEST_F(EngineTest, ExistingConnectionIsNeverHungUp) {
    connection.connected = true;
    engine.RequestConnection();
    EXPECT_FALSE(engine.IsDialled());
    EXPECT_EQ(connection.dials, 0);
    EXPECT_TRUE(host.IsSet(CEngine::kHangUpTimer)); // armed, but finds nothing to do
    host.Advance(300000);
    EXPECT_EQ(connection.hangUps, 0);
    EXPECT_TRUE(Events().empty());

    // Dialled earlier, then a request finds the line up: the hang-up still comes, a
    // minute after that request.
    connection.connected = false;
    engine.RequestConnection();
    host.Advance(20000);
    connection.connected = true;
    engine.RequestConnection();
    host.Advance(59000);
    EXPECT_EQ(connection.hangUps, 0);
    host.Advance(1000);
    EXPECT_EQ(connection.hangUps, 1);
}

TEST(EngineLifetime, RequestConnectionHandlerLastsAsLongAsTheEngine) {
    test::FakeClock clock;
    FakeConnection connection;
    PlatformServices services;
    services.clock = &clock;
    services.connection = &connection;
    ScopedPlatform platform(services);
    CSentrelDoc doc;
    test::FakeTimerHost host(clock);
    CStoreSaver saver(doc, host);
    {
        CEngine engine(doc, host, saver);
        RequestConnection();
        EXPECT_EQ(connection.dials, 1);
    }
    RequestConnection(); // no engine: nothing is dialled
    EXPECT_EQ(connection.dials, 1);
}

} // namespace
} // namespace sentrel
