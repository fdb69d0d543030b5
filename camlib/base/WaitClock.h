#pragma once

// The clock the library's waits and time-outs run on: the steady clock and
// real sleeps, unless a recording or a replay takes it over. A recording
// notes each reading, so that a replay can give the program the very times it
// saw (a time-bounded loop gives up at the same request as in the recorded
// run), and a replay's waits take no time. The time of day the library
// writes down (backup file names) comes from here too, so that a replay
// writes what the recorded run wrote.

#include <atomic>
#include <chrono>

namespace veltrion {

struct WaitClock {
    using duration = std::chrono::steady_clock::duration;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::steady_clock::time_point;
    static constexpr bool is_steady = true;

    static time_point now();
    static void sleepFor(duration length);
    // The time of day: the system clock, or under a recording or a replay
    // the recording's start plus how far now() has come since it.
    static std::chrono::system_clock::time_point timeOfDay();

    class Source {
    public:
        virtual ~Source() = default;
        virtual time_point now() = 0;
        virtual void sleepFor(duration length) = 0;
        virtual std::chrono::system_clock::time_point timeOfDay() = 0;
    };
    // Null gives the clock back to the steady clock. The source must outlive
    // every reading (sources are process-wide objects).
    static void setSource(Source* source) { source_.store(source); }

private:
    static inline std::atomic<Source*> source_{nullptr};
};

}  // namespace veltrion
