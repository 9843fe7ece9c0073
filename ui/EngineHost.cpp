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

void CQtEngineHost::RunOnWorker(std::function<void()> work, std::function<void()> done) {
    m_worker.Post(std::move(work), std::move(done),
                  [this](auto call) { PostToOwner(std::move(call)); });
}

void CQtEngineHost::RunSave(std::function<void()> work, std::function<void()> done) {
    m_saver.Post(std::move(work), std::move(done),
                 [this](auto call) { PostToOwner(std::move(call)); });
}

void CQtEngineHost::DrainSaves() {
    m_saver.Drain();
}

void CQtEngineHost::PostToOwner(std::function<void()> call) {
    m_calls.Post(std::move(call));
}

void CQtEngineHost::DrainWorker() {
    m_worker.Drain();
}

} // namespace sentrel
