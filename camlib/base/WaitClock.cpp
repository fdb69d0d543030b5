#include "WaitClock.h"

#include <thread>

namespace veltrion {

WaitClock::time_point WaitClock::now() {
    if (Source* source = source_.load(std::memory_order_acquire)) return source->now();
    return std::chrono::steady_clock::now();
}

std::chrono::system_clock::time_point WaitClock::timeOfDay() {
    if (Source* source = source_.load(std::memory_order_acquire)) return source->timeOfDay();
    return std::chrono::system_clock::now();
}

void WaitClock::sleepFor(duration length) {
    if (Source* source = source_.load(std::memory_order_acquire)) return source->sleepFor(length);
    std::this_thread::sleep_for(length);
}

}  // namespace veltrion
