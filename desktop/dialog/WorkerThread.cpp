#include "dialog/WorkerThread.h"

#include <system_error>

namespace veltrion::desktop {

namespace {
std::atomic<bool> refuseThreads{false};
}

void refuseWorkerThreadsForTesting(bool refuse) { refuseThreads.store(refuse); }

std::unique_ptr<WorkerThread> WorkerThread::create(std::function<int()> job) {
    if (refuseThreads.load()) return nullptr;
    std::unique_ptr<WorkerThread> worker(new WorkerThread);
    WorkerThread* self = worker.get();
    try {
        self->thread_ = std::thread([self, go = self->go_.get_future(), work = std::move(job)]() mutable {
            if (!go.get()) return;
            self->exitCode_.store(work());
            self->finished_.store(true);
        });
    } catch (const std::system_error&) {
        return nullptr;
    }
    return worker;
}

void WorkerThread::start() {
    if (started_) return;
    started_ = true;
    go_.set_value(true);
}

WorkerThread::~WorkerThread() {
    if (!started_) go_.set_value(false);
    if (thread_.joinable()) thread_.join();
}

}  // namespace veltrion::desktop
