#pragma once

// The engine: while running, a pass over the activations once a second. A pass runs the
// watch of every enabled activation that is due, filters its message and fires the
// activation's alerts. It also owns the dial-up policy behind RequestConnection.
// The engine lives outside any window: its host provides the timers, the worker thread on
// which checks and sends wait, the thread on which the store is written, and the way back
// to the thread that owns the document.

#include "model/DateTime.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace sentrel {

class CActivation;
class CObject;
class CSentrelDoc;
class CStoreSaver;

// How the last check of an activation's watch ended.
enum class CheckOutcome {
    NotChecked,   // no check yet in this run
    NotTriggered, // the watch looked and had nothing to report
    Triggered,
    CannotCheck, // the watch could not look at its source; the reason says why
};

// What the engine knows of an activation for this run. It lives in memory only: the store
// never holds it, Stop and Start keep it, and a new start of the program begins afresh. The
// next due moment is the activation's own (nextDate, nextTime).
struct ActivationRunState {
    CheckOutcome outcome = CheckOutcome::NotChecked; // of the last check
    CDateTime lastCheck;                             // when it ended
    std::string reason;                              // why it could not check
    int failuresInRow = 0; // scheduled checks in a row that could not look
    std::optional<CDateTime> lastTrigger;
    // The activation's alerts have been told that it cannot check, for this run of failures.
    bool told = false;
};

// What one check said, for the one who asked for it.
struct CheckReport {
    CheckOutcome outcome = CheckOutcome::NotChecked;
    std::string message; // when triggered
    std::string reason;  // when it could not check
};

class ITimerHost {
public:
    virtual ~ITimerHost() = default;
    // Starts (or restarts) timer `id` to fire every `ms` milliseconds: the host then calls
    // CEngine::OnTimer(id).
    virtual void SetTimer(int id, unsigned ms) = 0;
    virtual void KillTimer(int id) = 0;
};

class IEngineHost : public ITimerHost {
public:
    // Runs `work` on the host's one worker thread, after the work given before it, then
    // `done` on the owner thread (the one that calls the engine). `done` is dropped when
    // the host ends first.
    virtual void RunOnWorker(std::function<void()> work, std::function<void()> done) = 0;
    // Calls `call` on the owner thread; may be called from any thread.
    virtual void PostToOwner(std::function<void()> call) = 0;
    // Returns once the worker has finished what it was given (`done` calls not run).
    virtual void DrainWorker() = 0;
    // The same for the saving thread, where the store is written (CStoreSaver): it never
    // waits behind a check.
    virtual void RunSave(std::function<void()> work, std::function<void()> done) = 0;
    virtual void DrainSaves() = 0;
};

class CEngine {
public:
    static constexpr int kEngineTimer = 1; // 1000 ms, drives the passes
    static constexpr int kHangUpTimer = 2; // 60000 ms, hangs up what we dialled
    static constexpr unsigned kEnginePeriodMs = 1000;
    static constexpr unsigned kHangUpPeriodMs = 60000;

    // Installs itself as the handler of RequestConnection for its lifetime. A pass writes
    // the store through `saver`.
    CEngine(CSentrelDoc& doc, IEngineHost& host, CStoreSaver& saver);
    // Waits for the worker's current step: it may still reach RequestConnection.
    ~CEngine();
    CEngine(const CEngine&) = delete;
    CEngine& operator=(const CEngine&) = delete;

    // Everything below is called on the owner thread, except RequestConnection.
    void Start();             // "Activations started", running, engine timer on
    void Stop();              // "Activations stopped", not running, engine timer off
    void Halt();              // as Stop, without the event: the program is ending
    void OnTimer(int id);     // the host's timer callback
    void RequestConnection(); // from any thread
    // Begins one engine pass (what the engine timer does when running): the due test of
    // every enabled activation, in document order; when any was due, one save of the
    // store, and once it has ended, the check of each due activation's watch and the sends
    // of its alerts, in document order. A pass with nothing due writes nothing.
    // The second check in a row that cannot look tells the activation's alerts "Sentrel
    // cannot check NAME: REASON" (NAME is the watch's), once for that run of failures; the
    // first check after it that can look tells them "Sentrel can check NAME again". The
    // word filter is not applied to these, and they go before a trigger's message.
    void RunPass();

    // Runs the activation's watch once, now, on the worker (after what is under way there),
    // and calls `done` here with what it said. It looks only: no alert is sent, the
    // schedule stays, and what the watch saw is not kept (the scheduled check that comes
    // next sees it too, and fires its alerts). Its outcome becomes the activation's last
    // check; the failures in a row and their notices are the scheduled checks' alone.
    void CheckNow(const CActivation& activation, std::function<void(const CheckReport&)> done);

    // The activation's run state; not checked for one that has none yet.
    const ActivationRunState& RunStateOf(const CActivation& activation) const;
    // Called on the owner thread when a check of an activation has ended and its run state
    // has moved on; `before` is the outcome it had until then.
    std::function<void(const CActivation& activation, CheckOutcome before)> onChecked;
    // Scheduled checks in a row that cannot look before the activation's alerts are told
    // "Sentrel cannot check NAME: REASON": one glitch is forgiven.
    static constexpr int kFailuresTold = 2;

    // Before a record leaves the document: the pass under way drops it, and so does its run
    // state.
    void Forget(const CObject* record);
    // After an editor was open on a record: the state that a check under way brings back
    // is not written over the edit.
    void Touched(const CObject* record);

    bool IsRunning() const;
    bool IsDialled() const;
    bool IsBusy() const; // a pass is under way
    // What the pass waits for, "activation:watch" or "activation:alert"; empty when no
    // check or send is under way.
    std::string WaitingFor() const;
    // Called on the owner thread when a check or send begins or ends, and when a pass ends.
    std::function<void()> onProgress;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace sentrel
