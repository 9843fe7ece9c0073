#include "engine/WorkerThread.h"

namespace sentrel {

CWorkerThread::CWorkerThread() : m_thread([this] { Run(); }) {}

CWorkerThread::~CWorkerThread() {
    {
        std::lock_guard lock(m_mutex);
        m_ending = true;
        m_jobs.clear();
    }
    m_changed.notify_all();
    m_thread.join();
}

void CWorkerThread::Post(std::function<void()> job) {
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_changed.notify_all();
}

void CWorkerThread::Drain() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_jobs.empty() && !m_running; });
}

void CWorkerThread::Run() {
    std::unique_lock lock(m_mutex);
    while (true) {
        m_changed.wait(lock, [this] { return m_ending || !m_jobs.empty(); });
        if (m_ending) {
            return;
        }
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_running = true;
        lock.unlock();
        job();
        job = nullptr; // what it holds goes here, off the lock
        lock.lock();
        m_running = false;
        m_changed.notify_all();
    }
}

} // namespace sentrel
