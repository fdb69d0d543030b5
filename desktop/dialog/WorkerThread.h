#pragma once

// A job's worker thread: runs one function and keeps its exit code for the
// window's timer to collect. It is created first and started after, so that
// a system that cannot create a thread is told before the window enters its
// busy state. The window never blocks on it while it runs; the destructor
// joins.

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <thread>

namespace veltrion::desktop {

class WorkerThread {
public:
    // The thread, waiting for start(); null when no thread can be created.
    static std::unique_ptr<WorkerThread> create(std::function<int()> job);
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void start();
    bool finished() const { return finished_.load(); }
    // Valid once finished.
    int exitCode() const { return exitCode_.load(); }

private:
    WorkerThread() = default;

    std::atomic<int> exitCode_{0};
    std::atomic<bool> finished_{false};
    std::promise<bool> go_;  // true: run the job; false: end without it
    bool started_ = false;
    std::thread thread_;
};

// Tests: while set, no worker thread can be created, as on a system out of
// threads.
void refuseWorkerThreadsForTesting(bool refuse);

}  // namespace veltrion::desktop
