// The waits of the agent: whole seconds and milliseconds, and the window
// messages they pass on meanwhile.
#include <chrono>

#include <gtest/gtest.h>

#include "platform/message_queue.h"
#include "platform/thread.h"
#include "shared/timing.h"

namespace {

double seconds_of(void (*wait)(int), int arg) {
    const auto start = std::chrono::steady_clock::now();
    wait(arg);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(Timing, SleeppWaitsBetweenOneSecondLessAndTheWholeSeconds) {
    EXPECT_LT(seconds_of(sleepp, 0), 0.05);
    EXPECT_LT(seconds_of(sleepp, -5), 0.05);
    const double one = seconds_of(sleepp, 1);
    EXPECT_GT(one, 0.0);
    EXPECT_LT(one, 1.2);
    // The whole-second clock may step right after the start, so only a
    // count of 2 or more has a wait that must be seen: more than 1 second.
    const double two = seconds_of(sleepp, 2);
    EXPECT_GE(two, 1.0);
    EXPECT_LT(two, 2.2);
}

TEST(Timing, SleeppAndSTickPassOnWaitingMessages) {
    platform::MSG m;
    EXPECT_EQ(s_tick(), 0); // nothing waiting
    platform::PostThreadMessageA(platform::GetCurrentThreadId(), platform::WM_USER, 0, 0);
    EXPECT_EQ(s_tick(), 0);
    EXPECT_FALSE(platform::PeekMessageA(&m, nullptr, 0, 0, platform::PM_NOREMOVE));

    for (int i = 0; i < 3; ++i)
        platform::PostThreadMessageA(platform::GetCurrentThreadId(), platform::WM_USER + i, 0, 0);
    sleepp(1);
    EXPECT_FALSE(platform::PeekMessageA(&m, nullptr, 0, 0, platform::PM_NOREMOVE));
}

TEST(Timing, UssleepSleepsTheMilliseconds) {
    const auto start = std::chrono::steady_clock::now();
    ussleep(25);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
}

} // namespace
