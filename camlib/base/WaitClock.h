#pragma once

// The clock the library's waits and time-outs run on. Normally the steady
// clock and real sleeps. A replay of a recording switches it to the
// recording's own time line: waits return at once and add their length to
// the calling thread's time, and each replayed exchange moves that time up to
// when the exchange ended in the recording. A time-bounded loop therefore sees
// the same elapsed times as in the recorded run (it gives up where the
// recorded run gave up), and a replay is not slowed by status polls or
// reboot waits.

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

    // Switches every thread to the recorded time line (a replay starts).
    static void followRecording();
    static bool followsRecording();
    // The calling thread has replayed an exchange that ended this long after
    // the recording started.
    static void reachRecordedTime(std::chrono::microseconds sinceStart);
};

}  // namespace veltrion
