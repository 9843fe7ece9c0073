#pragma once

// One thread that runs jobs in the order they were given, one at a time: where the
// engine's waiting work (a watch's check, an alert's send) runs, off the thread that owns
// the document.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace sentrel {

class CWorkerThread {
public:
    CWorkerThread();
    // Waits for the job that runs, drops those not begun, and ends the thread.
    ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    void Post(std::function<void()> job);
    // Runs `work` here, then hands `done` to `deliver`, which takes it back to the thread
    // that gave the work.
    template <class Deliver>
    void Post(std::function<void()> work, std::function<void()> done, Deliver deliver) {
        Post([work = std::move(work), done = std::move(done), deliver]() mutable {
            work();
            deliver(std::move(done));
        });
    }
    // Returns once every job given so far has run.
    void Drain();

private:
    void Run();

    std::mutex m_mutex; // guards the members below
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_jobs;
    bool m_running = false; // a job is under way
    bool m_ending = false;
    std::thread m_thread; // last: started once the rest is ready
};

} // namespace sentrel
