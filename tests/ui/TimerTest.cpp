#include "player/Commands.h"
#include "ui/controls/Timer.h"

#include <gtest/gtest.h>

namespace {

// A tick that waits (as a title marquee does) must not hold back the ticks after it: they run
// inside its wait, with the real timer and the real event loop.
TEST(TimerTicks, NestInsideAWaitThatATickStarted) {
    TTimer timer;
    timer.setInterval(5);
    int ticks = 0;
    int deepest = 0;
    int depth = 0;
    timer.OnTimer = [&] {
        ++ticks;
        ++depth;
        deepest = std::max(deepest, depth);
        if (ticks == 1) WaitMs(200);
        --depth;
    };
    timer.setEnabled(true);
    WaitMs(300);
    timer.setEnabled(false);
    EXPECT_GE(deepest, 2);
    EXPECT_GT(ticks, 5);
}

TEST(TimerTicks, NoTickAfterSwitchingOff) {
    TTimer timer;
    timer.setInterval(1);
    int ticks = 0;
    timer.OnTimer = [&] {
        ++ticks;
        timer.setEnabled(false);
    };
    timer.setEnabled(true);
    WaitMs(50);
    EXPECT_EQ(ticks, 1);
}

// A disc that comes ready asks for a tick at once: it runs from the event queue long before the
// timer's own interval, only while the timer is on, and leaves the timer's rhythm as it was.
TEST(TimerTicks, TickSoonRunsOneTickAheadOnlyWhileOn) {
    TTimer timer;
    timer.setInterval(60000);
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.tickSoon();
    WaitMs(20);
    EXPECT_EQ(ticks, 0);
    timer.setEnabled(true);
    timer.tickSoon();
    WaitMs(20);
    EXPECT_EQ(ticks, 1);
    timer.setEnabled(false);
}

}  // namespace
