#include "CallQueue.h"

namespace veltrion::realports {

CallQueue::CallQueue() : thread_([this](std::stop_token stop) { run(stop); }) {}

CallQueue::~CallQueue() {
    thread_.request_stop();
    if (thread_.joinable()) thread_.join();
}

void CallQueue::post(std::function<void()> call) {
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    wake_.notify_one();
}

void CallQueue::run(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    // A stop still lets queued calls run: each has a client waiting for it.
    while (wake_.wait(lock, stop, [this] { return !calls_.empty(); })) {
        auto call = std::move(calls_.front());
        calls_.pop_front();
        lock.unlock();
        call();
        lock.lock();
    }
}

}  // namespace veltrion::realports
