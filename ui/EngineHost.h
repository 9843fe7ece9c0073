#pragma once

// The engine's host in the program: its timers are QTimers of the UI thread.

#include "engine/Engine.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <functional>

namespace sentrel {

class CQtEngineHost : public QObject, public ITimerHost {
    Q_OBJECT

public:
    explicit CQtEngineHost(QObject* parent = nullptr);
    ~CQtEngineHost() override;

    // Where the timers go; normally the engine's OnTimer.
    std::function<void(int)> onTimer;

    void SetTimer(int id, unsigned ms) override;
    void KillTimer(int id) override;

private:
    std::array<QTimer, 3> m_timers; // by timer id; 0 unused
};

} // namespace sentrel
