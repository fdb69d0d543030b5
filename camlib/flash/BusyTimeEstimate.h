#pragma once

// How long the flash stays busy after one kind of command (a page program,
// an erase of one size), learned from the status polls of earlier commands,
// so that the first poll goes out when the command is about done: one poll
// a command instead of one every transfer. It starts at zero, so a camera
// that is done at once is polled at once, as it always was.

#include <algorithm>
#include <chrono>

namespace veltrion::flash {

class BusyTimeEstimate {
public:
    using Duration = std::chrono::microseconds;

    // How long to wait after the command's transfer before the first poll.
    // The poll's reply takes about as long as the command's transfer did, so
    // that much is taken off: the poll reaches the camera as it finishes.
    Duration firstPollDelay(Duration commandTransfer) const {
        return std::max(Duration::zero(), busy_ - commandTransfer);
    }

    // After a wait that ended with the flash idle. lastBusySeen is the time
    // from the command's end to the reply of the last poll that still found
    // it busy (zero when the first poll found it idle); transfer is how long
    // one poll took.
    void learn(Duration lastBusySeen, Duration transfer) {
        if (lastBusySeen <= Duration::zero()) {
            // Done by the first poll: try a little earlier next time.
            busy_ = std::max(Duration::zero(), busy_ - std::max(Duration(1), transfer / kStepsDown));
            return;
        }
        // Still busy at the first poll: aim just past the moment it was
        // last seen busy. One slow command (a worn page, a retried erase)
        // may at most double the estimate.
        const Duration aim = lastBusySeen + transfer * kMarginQuarters / 4;
        busy_ = busy_ > Duration::zero() ? std::min(aim, 2 * busy_) : aim;
    }

    Duration busy() const { return busy_; }

private:
    // The estimate rises to a quarter of a transfer past the last busy reply
    // and falls by a 128th of a transfer per command the first poll
    // finished: most commands then take one poll, and the first poll comes
    // about when the camera is done.
    static constexpr int kMarginQuarters = 1;
    static constexpr int kStepsDown = 128;

    Duration busy_{0};
};

}  // namespace veltrion::flash
