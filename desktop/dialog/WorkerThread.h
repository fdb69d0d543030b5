#pragma once

// A job's worker thread: runs one function and keeps its exit code for the
// window's timer to collect. The window never blocks on it while it runs;
// the destructor joins.

#include <atomic>
#include <functional>
#include <thread>

namespace veltrion::desktop {

class WorkerThread {
public:
    explicit WorkerThread(std::function<int()> job)
        : thread_([this, work = std::move(job)] {
              exitCode_.store(work());
              finished_.store(true);
          }) {}
    ~WorkerThread() {
        if (thread_.joinable()) thread_.join();
    }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    bool finished() const { return finished_.load(); }
    // Valid once finished.
    int exitCode() const { return exitCode_.load(); }

private:
    std::atomic<int> exitCode_{0};
    std::atomic<bool> finished_{false};
    std::thread thread_;  // last: starts after the flags exist
};

}  // namespace veltrion::desktop
