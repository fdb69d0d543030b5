// The learned busy time that paces the first status poll after a command.

#include <gtest/gtest.h>

#include "flash/BusyTimeEstimate.h"

using veltrion::flash::BusyTimeEstimate;
using us = std::chrono::microseconds;

TEST(BusyTimeEstimate, LearnsWhenToPollAndStaysAtZeroForACameraThatIsDoneAtOnce) {
    BusyTimeEstimate instant;
    for (int i = 0; i < 10; ++i) instant.learn(us(0), us(5));
    EXPECT_EQ(instant.firstPollDelay(us(5)), us(0));  // polled at once, as always

    // A page that was still busy 690 us after its command: aim a quarter of
    // a poll's transfer past that, less the transfer the poll itself takes.
    BusyTimeEstimate page;
    page.learn(us(690), us(240));
    EXPECT_EQ(page.busy(), us(750));
    EXPECT_EQ(page.firstPollDelay(us(250)), us(500));
    EXPECT_EQ(page.firstPollDelay(us(900)), us(0));

    // Commands the first poll finished bring it down a little at a time.
    page.learn(us(0), us(256));
    EXPECT_EQ(page.busy(), us(748));

    // One slow command at most doubles it.
    page.learn(us(100'000), us(250));
    EXPECT_EQ(page.busy(), us(1496));
}
