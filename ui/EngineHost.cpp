#include "ui/EngineHost.h"

namespace sentrel {

CQtEngineHost::CQtEngineHost(QObject* parent) : QObject(parent) {
    for (std::size_t id = 1; id < m_timers.size(); ++id) {
        connect(&m_timers[id], &QTimer::timeout, this, [this, id] {
            if (onTimer) {
                onTimer(static_cast<int>(id));
            }
        });
    }
}

CQtEngineHost::~CQtEngineHost() = default;

void CQtEngineHost::SetTimer(int id, unsigned ms) {
    if (id > 0 && id < static_cast<int>(m_timers.size())) {
        m_timers[static_cast<std::size_t>(id)].start(static_cast<int>(ms));
    }
}

void CQtEngineHost::KillTimer(int id) {
    if (id > 0 && id < static_cast<int>(m_timers.size())) {
        m_timers[static_cast<std::size_t>(id)].stop();
    }
}

} // namespace sentrel
