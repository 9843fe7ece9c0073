#include "tools/EngineCommands.h"

#include "engine/Engine.h"
#include "engine/RunState.h"
#include "engine/Session.h"
#include "engine/WorkerThread.h"
#include "platform/StoreLock.h"
#include "services/EventLog.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <clocale>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>

namespace sentrel::tools {

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void OnStopSignal(int) {
    g_stopRequested = 1;
}

// SIGINT and SIGTERM end the run loop instead of the process, for as long as it lives.
class StopSignals {
public:
    StopSignals() {
        g_stopRequested = 0;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
    }
    ~StopSignals() {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};

// The engine's host without a window: its two timers on the steady clock and the calls
// that come back from the worker, both run by a loop of our own on this thread.
class LoopEngineHost : public IEngineHost {
public:
    using Clock = std::chrono::steady_clock;

    void SetTimer(int id, unsigned ms) override {
        m_timers[id] =
            Timer{std::chrono::milliseconds(ms), Clock::now() + std::chrono::milliseconds(ms)};
    }
    void KillTimer(int id) override { m_timers.erase(id); }
    void RunOnWorker(std::function<void()> work, std::function<void()> done) override {
        m_worker.Post(std::move(work), std::move(done), [this](auto call) { PostToOwner(call); });
    }
    void RunSave(std::function<void()> work, std::function<void()> done) override {
        m_saver.Post(std::move(work), std::move(done), [this](auto call) { PostToOwner(call); });
    }
    void DrainSaves() override { m_saver.Drain(); }
    void PostToOwner(std::function<void()> call) override {
        {
            std::lock_guard lock(m_mutex);
            m_calls.push_back(std::move(call));
        }
        m_wake.notify_all();
    }
    void DrainWorker() override { m_worker.Drain(); }

    // Fires due timers and runs the calls that came back until `until` or a stop signal;
    // then, as the program's Exit does, waits for the pass under way to end.
    void Run(CEngine& engine, Clock::time_point until) {
        while (!g_stopRequested && Clock::now() < until) {
            RunOnce(engine, until);
        }
        engine.Halt();
        while (engine.IsBusy()) {
            RunOnce(engine, Clock::time_point::max());
        }
    }

private:
    struct Timer {
        std::chrono::milliseconds period{};
        Clock::time_point due;
    };

    void RunOnce(CEngine& engine, Clock::time_point until) {
        std::deque<std::function<void()>> calls;
        {
            std::lock_guard lock(m_mutex);
            calls.swap(m_calls);
        }
        for (auto& call : calls) {
            call();
        }
        const Clock::time_point now = Clock::now();
        Clock::time_point wake = until;
        for (auto& [id, timer] : m_timers) {
            if (timer.due <= now) {
                // Rearm before the callback, which may kill or reset the timer itself.
                timer.due = std::max(timer.due + timer.period, now);
                engine.OnTimer(id);
                return;
            }
            wake = std::min(wake, timer.due);
        }
        // Short naps, so that a signal ends the wait soon.
        std::unique_lock lock(m_mutex);
        m_wake.wait_until(lock, std::min(wake, now + std::chrono::milliseconds(100)),
                          [this] { return !m_calls.empty(); });
    }

    std::map<int, Timer> m_timers;
    std::mutex m_mutex; // guards m_calls, which the worker fills
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_calls;
    CWorkerThread m_saver; // after the calls: the threads end first
    CWorkerThread m_worker;
};

// Dates and times in the user's form, as the program shows them.
void UseUserLocale() {
    std::setlocale(LC_TIME, "");
}

// A store that another Sentrel holds (the program, or another run) is refused: two
// engines would send every alert twice, and the last to save would win. So is a store that
// is missing, cannot be read or is damaged: running on it would write back an empty or
// shortened store over the user's. The lock is held until `lock` goes.
bool OpenStore(CSentrelSession& session, CStoreLock& lock) {
    pid_t holder = 0;
    std::string problem;
    // A lock that cannot even be made (a folder we may not write to) stops nothing.
    if (lock.Take(session.Doc().StorePath(), holder, problem) == CStoreLock::Result::Held) {
        std::cerr << "sentrelctl: " << InUseMessage(holder) << "\n";
        return false;
    }
    if (!session.Open(StorePolicy::Strict, &problem)) {
        std::cerr << "sentrelctl: " << problem << "\n";
        return false;
    }
    return true;
}

} // namespace

int RunEngine(const std::vector<std::string>& arguments) {
    if (arguments.size() != 1 && !(arguments.size() == 3 && arguments[1] == "--seconds")) {
        throw UsageError("run takes STORE [--seconds N]");
    }
    long seconds = -1; // until a signal
    if (arguments.size() == 3) {
        const std::string& text = arguments[2];
        char* end = nullptr;
        errno = 0;
        seconds = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || errno == ERANGE || seconds < 0) {
            throw UsageError("--seconds needs a whole number of seconds, not \"" + text + "\"");
        }
    }
    UseUserLocale();
    LoopEngineHost host;
    CSentrelSession session(arguments[0]);
    CStoreLock lock;
    if (!OpenStore(session, lock)) {
        return 1;
    }
    StopSignals signals;
    session.ApplyTraceSwitch(session.Doc().traceOn);
    CEngine& engine = session.AttachEngine(host);
    engine.Start();
    const auto until = seconds < 0 ? LoopEngineHost::Clock::time_point::max()
                                   : LoopEngineHost::Clock::now() + std::chrono::seconds(seconds);
    host.Run(engine, until);
    // What "Exit" does.
    return session.Exit() ? 0 : 1;
}

int CheckWatch(const std::vector<std::string>& arguments) {
    UseUserLocale();
    CSentrelSession session(arguments.at(0));
    CStoreLock lock;
    if (!OpenStore(session, lock)) {
        return 1;
    }
    CSentrelDoc& doc = session.Doc();
    CWatch* watch = doc.FindWatch(arguments.at(1));
    if (!watch) {
        std::cerr << "sentrelctl: no watch named \"" << arguments[1] << "\"\n";
        return 1;
    }
    session.FollowTraceQuietly();
    std::string message;
    const bool triggered = watch->Check(message);
    const bool looked = triggered || watch->FailureText().empty();
    if (triggered) {
        std::cout << "triggered\n" << message << "\n";
    } else if (looked) {
        std::cout << "not triggered\n";
    } else {
        std::cout << "cannot check: " << watch->FailureText() << "\n";
    }
    std::cout.flush();
    // The watch keeps what it saw for its next check, beside the store.
    const SaveOutcome saved = SaveWithRunState(doc);
    ReportSaveProblem(saved);
    return saved && looked ? 0 : 1;
}

int SendAlert(const std::vector<std::string>& arguments) {
    UseUserLocale();
    CSentrelSession session(arguments.at(0));
    CStoreLock lock;
    if (!OpenStore(session, lock)) {
        return 1;
    }
    CAlert* alert = session.Doc().FindAlert(arguments.at(1));
    if (!alert) {
        std::cerr << "sentrelctl: no alert named \"" << arguments[1] << "\"\n";
        return 1;
    }
    session.FollowTraceQuietly();
    if (!alert->Send(arguments.at(2))) {
        std::cerr << "sentrelctl: alert \"" << alert->name
                  << "\" did not deliver: " << alert->FailureText() << "\n";
        return 1;
    }
    return 0;
}

std::span<const Command> EngineCommands() {
    static const Command commands[] = {
        {"run", "STORE [--seconds N]",
         "run the engine on STORE (N seconds, or until interrupted), then save it", 1, 3,
         &RunEngine},
        {"check-watch", "STORE NAME",
         "check the first watch named NAME once and save STORE (exit 1 when it cannot check)", 2, 2,
         &CheckWatch},
        {"send-alert", "STORE NAME MESSAGE",
         "send MESSAGE with the first alert named NAME (exit 1 when it did not deliver)", 3, 3,
         &SendAlert},
    };
    return commands;
}

} // namespace sentrel::tools
