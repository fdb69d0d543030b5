#include "WaitClock.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace veltrion {

namespace {

using Micros = std::chrono::microseconds;

std::atomic<bool> following{false};
// The start of the recorded time line, and the furthest point of it that any
// thread has reached: a thread's first look at the clock starts there.
std::atomic<WaitClock::time_point::rep> originTicks{0};
std::atomic<int64_t> latestMicros{0};
thread_local int64_t threadMicros = -1;

int64_t threadTime() {
    if (threadMicros < 0) threadMicros = latestMicros.load();
    return threadMicros;
}

void raiseLatest(int64_t micros) {
    int64_t seen = latestMicros.load();
    while (seen < micros && !latestMicros.compare_exchange_weak(seen, micros)) {
    }
}

}  // namespace

WaitClock::time_point WaitClock::now() {
    if (!following.load(std::memory_order_relaxed)) return std::chrono::steady_clock::now();
    return time_point(duration(originTicks.load())) + Micros(threadTime());
}

void WaitClock::sleepFor(duration length) {
    if (!following.load(std::memory_order_relaxed)) {
        std::this_thread::sleep_for(length);
        return;
    }
    if (length > duration::zero()) {
        threadMicros = threadTime() + std::chrono::ceil<Micros>(length).count();
        raiseLatest(threadMicros);
    }
    // Lets other threads (a worker the waiting loop waits for) run.
    std::this_thread::yield();
}

void WaitClock::followRecording() {
    originTicks.store(std::chrono::steady_clock::now().time_since_epoch().count());
    following.store(true);
}

bool WaitClock::followsRecording() { return following.load(); }

void WaitClock::reachRecordedTime(Micros sinceStart) {
    threadMicros = std::max(threadTime(), static_cast<int64_t>(sinceStart.count()));
    raiseLatest(threadMicros);
}

}  // namespace veltrion
