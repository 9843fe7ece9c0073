#pragma once

// The engine's host in the program: its timers are QTimers of the UI thread, its waiting
// work runs on one worker thread and the store's saves on another, and what comes back is
// a queued call on the UI thread. Its worker is lent to the editors (their Test) for as
// long as it lives.

#include "engine/Engine.h"
#include "engine/WorkerThread.h"
#include "ui/EditorSupport.h"
#include "ui/QtServices.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <functional>

namespace sentrel {

class CQtEngineHost : public QObject, public IEngineHost {
    Q_OBJECT

public:
    explicit CQtEngineHost(QObject* parent = nullptr);
    // Waits for the work under way; completions not yet delivered are dropped.
    ~CQtEngineHost() override;

    // Where the timers go; normally the engine's OnTimer.
    std::function<void(int)> onTimer;

    void SetTimer(int id, unsigned ms) override;
    void KillTimer(int id) override;
    void RunOnWorker(std::function<void()> work, std::function<void()> done) override;
    void PostToOwner(std::function<void()> call) override;
    void DrainWorker() override;
    void RunSave(std::function<void()> work, std::function<void()> done) override;
    void DrainSaves() override;

private:
    std::array<QTimer, 3> m_timers; // by timer id; 0 unused
    CCallQueue m_calls;             // back to this thread; dropped with the host
    CWorkerThread m_saver;          // after the queue: the threads end first
    CWorkerThread m_worker;
    editors::WorkerLoan m_lent{*this}; // last: taken back before the threads end
};

} // namespace sentrel
