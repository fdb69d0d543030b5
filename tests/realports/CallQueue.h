#pragma once

// Runs calls one after another on a thread of its own. The video handler
// gives each camera one, so a call the camera answers late holds up that
// camera's later calls (as the driver serialises a device's control
// requests) but neither umockdev's single worker thread nor other devices.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

namespace veltrion::realports {

class CallQueue {
public:
    CallQueue();
    // Runs what is still queued, then ends the thread.
    ~CallQueue();
    CallQueue(const CallQueue&) = delete;
    CallQueue& operator=(const CallQueue&) = delete;

    void post(std::function<void()> call);

private:
    void run(std::stop_token stop);

    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<std::function<void()>> calls_;
    std::jthread thread_;  // last: starts when the rest exists
};

}  // namespace veltrion::realports
