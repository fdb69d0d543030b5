#include "SourceShutdownWorker.h"

#include "MediaSourceCache.h"
#include "base/LibraryThread.h"

namespace veltrion {

SourceShutdownWorker::~SourceShutdownWorker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        // Sources still queued are shut down by the channel's own end.
        queue_.clear();
    }
    changed_.notify_all();
    // At most the shutdown in progress remains, and it gives up after 1000 ms.
    if (thread_.joinable()) thread_.join();
}

void SourceShutdownWorker::shutDownLater(const std::string& symbolicLink) {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    queue_.push_back(symbolicLink);
    if (!thread_.joinable()) thread_ = startLibraryThread(&SourceShutdownWorker::run, this);
    changed_.notify_all();
}

void SourceShutdownWorker::drain() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return (queue_.empty() && !busy_) || stopping_; });
}

void SourceShutdownWorker::run() {
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        const std::string link = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        shutDownMediaSource(link);
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

}  // namespace veltrion
