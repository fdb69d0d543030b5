#pragma once

// Shuts capture sources down away from the thread that learns of a removal,
// so a slow shutdown never stalls the hot-plug monitor. One worker thread per
// channel, started on first use and joined when the channel ends: no thread
// outlives the cache it works on by more than one bounded shutdown.

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace veltrion {

class SourceShutdownWorker {
public:
    SourceShutdownWorker() = default;
    ~SourceShutdownWorker();
    SourceShutdownWorker(const SourceShutdownWorker&) = delete;
    SourceShutdownWorker& operator=(const SourceShutdownWorker&) = delete;

    // Queues the shutdown of a link's source and returns at once.
    void shutDownLater(const std::string& symbolicLink);
    // Waits until every queued shutdown has run (for tests and orderly ends).
    void drain();

private:
    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> queue_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace veltrion
