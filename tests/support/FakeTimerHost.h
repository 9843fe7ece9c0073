#pragma once

// An engine host on virtual time: tests advance it by milliseconds and it fires the
// engine's timers in time order, moving a FakeClock along, so whole days run in moments.
// The "worker" is the test's own thread: work given to it runs, with its completion, right
// after the timer message that gave it, unless the test holds it to act while it is "under
// way" and then lets it run (RunWork). The "saving thread" is the test's thread too: a save
// runs at once, with its completion, unless the test holds saves (then RunSaves).

#include "engine/Engine.h"
#include "tests/support/TestSupport.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <utility>

namespace sentrel::test {

class FakeTimerHost : public IEngineHost {
public:
    explicit FakeTimerHost(FakeClock& clock) : m_clock(clock) {}

    // Where OnTimer goes; normally the engine.
    std::function<void(int)> onTimer;

    void SetTimer(int id, unsigned ms) override {
        ++setCalls[id];
        m_timers[id] = Timer{ms, nowMs + ms, ++m_generation};
    }
    void KillTimer(int id) override {
        ++killCalls[id];
        m_timers.erase(id);
    }

    void RunOnWorker(std::function<void()> work, std::function<void()> done) override {
        m_work.push_back({std::move(work), std::move(done)});
    }
    void PostToOwner(std::function<void()> call) override { call(); }
    void DrainWorker() override { RunWorkOnly(m_work); }

    void RunSave(std::function<void()> work, std::function<void()> done) override {
        ++saves;
        m_saves.push_back({std::move(work), std::move(done)});
        if (!holdSaves) {
            RunSaves();
        }
    }
    void DrainSaves() override { RunWorkOnly(m_saves); }
    // Saves given so far; while held, they wait for RunSaves.
    int saves = 0;
    bool holdSaves = false;
    std::size_t PendingSaves() const { return m_saves.size(); }
    void RunSaves() {
        while (!m_saves.empty()) {
            Work save = std::move(m_saves.front());
            m_saves.pop_front();
            if (save.work) {
                save.work();
            }
            if (save.done) {
                save.done();
            }
        }
    }

    // Work given to the worker stays queued until RunWork.
    bool holdWork = false;
    std::size_t PendingWork() const { return m_work.size(); }
    // Runs the queued work and its completions, and whatever they queue in turn.
    void RunWork() {
        while (RunStep()) {
        }
    }
    // Runs the first queued work and its completion; false when there was none.
    bool RunStep() {
        if (m_work.empty()) {
            return false;
        }
        Work work = std::move(m_work.front());
        m_work.pop_front();
        if (work.work) {
            work.work();
        }
        if (work.done) {
            work.done();
        }
        return true;
    }

    bool IsSet(int id) const { return m_timers.count(id) != 0; }
    std::uint64_t DueAt(int id) const { return m_timers.at(id).due; }

    // Time passes without the message loop running (a blocking wait inside a pass):
    // timers that fall due meanwhile fire once, late, at the next Advance.
    void Elapse(std::uint64_t ms) { MoveTo(nowMs + ms); }

    // Time passes with the message loop running: every timer that falls due fires.
    void Advance(std::uint64_t ms) {
        const std::uint64_t target = nowMs + ms;
        while (true) {
            int id = 0;
            std::uint64_t due = UINT64_MAX;
            for (const auto& [timerId, timer] : m_timers) {
                if (timer.due < due) {
                    due = timer.due;
                    id = timerId;
                }
            }
            if (due > target) {
                break;
            }
            if (due > nowMs) {
                MoveTo(due);
            }
            Fire(id);
        }
        MoveTo(target);
    }

    // Delivers one timer message now, as a nested message loop would.
    void Fire(int id) {
        const std::uint64_t generation = m_timers.count(id) ? m_timers[id].generation : 0;
        if (onTimer) {
            onTimer(id);
        }
        if (!holdWork) {
            RunWork();
        }
        auto it = m_timers.find(id);
        if (it != m_timers.end() && it->second.generation == generation) {
            it->second.due += it->second.period;
            if (it->second.due <= nowMs) {
                it->second.due = nowMs + it->second.period; // missed ticks are not replayed
            }
        }
    }

    std::uint64_t nowMs = 0;
    std::map<int, int> setCalls, killCalls;

private:
    struct Timer {
        unsigned period = 0;
        std::uint64_t due = 0;
        std::uint64_t generation = 0;
    };

    // The clock moves by whole seconds passed, so a test may set it in between.
    void MoveTo(std::uint64_t ms) {
        m_clock.now +=
            static_cast<std::int64_t>(ms / 1000) - static_cast<std::int64_t>(nowMs / 1000);
        m_clock.ticks += static_cast<std::uint32_t>(ms - nowMs);
        nowMs = ms;
    }

    struct Work {
        std::function<void()> work, done;
    };
    // What a drain does: the work runs, its completion waits for its turn.
    static void RunWorkOnly(std::deque<Work>& queue) {
        for (Work& work : queue) {
            if (work.work) {
                std::exchange(work.work, nullptr)();
            }
        }
    }

    FakeClock& m_clock;
    std::map<int, Timer> m_timers;
    std::deque<Work> m_work;
    std::deque<Work> m_saves;
    std::uint64_t m_generation = 0;
};

} // namespace sentrel::test
