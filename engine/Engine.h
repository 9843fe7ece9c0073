#pragma once

// The engine: while running, a pass over the activations once a second. A pass runs the
// watch of every enabled activation that is due, filters its message and fires the
// activation's alerts. It also owns the dial-up policy behind RequestConnection.
// The engine lives outside any window: its host provides the two timers.

#include <memory>

namespace sentrel {

class CSentrelDoc;

class ITimerHost {
public:
    virtual ~ITimerHost() = default;
    // Starts (or restarts) timer `id` to fire every `ms` milliseconds: the host then calls
    // CEngine::OnTimer(id).
    virtual void SetTimer(int id, unsigned ms) = 0;
    virtual void KillTimer(int id) = 0;
};

class CEngine {
public:
    static constexpr int kEngineTimer = 1; // 1000 ms, drives the passes
    static constexpr int kHangUpTimer = 2; // 60000 ms, hangs up what we dialled
    static constexpr unsigned kEnginePeriodMs = 1000;
    static constexpr unsigned kHangUpPeriodMs = 60000;

    // Installs itself as the handler of RequestConnection for its lifetime.
    CEngine(CSentrelDoc& doc, ITimerHost& host);
    ~CEngine();
    CEngine(const CEngine&) = delete;
    CEngine& operator=(const CEngine&) = delete;

    void Start();         // "Activations started", running, engine timer on
    void Stop();          // "Activations stopped", not running, engine timer off
    void OnTimer(int id); // the host's timer callback
    void RequestConnection();
    void RunPass(); // one engine pass (what the engine timer does when running)

    bool IsRunning() const;
    bool IsDialled() const;
    bool IsBusy() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace sentrel
