// The tick count: milliseconds since boot, which the scheduler decides on
// so that a step of the system clock does not disturb polling.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/thread.h"
#include "platform/tick_count.h"

namespace {

// The kernel's own seconds since boot, suspended time included.
double uptime_seconds() {
    std::ifstream in("/proc/uptime");
    double seconds = -1;
    in >> seconds;
    return seconds;
}

TEST(TickCount, CountsMillisecondsSinceBoot) {
    const double before = uptime_seconds();
    const platform::ULONGLONG ticks = platform::GetTickCount64();
    const double after = uptime_seconds();
    ASSERT_GT(before, 0.0);
    EXPECT_GE(static_cast<double>(ticks) / 1000.0, before - 0.02);
    EXPECT_LE(static_cast<double>(ticks) / 1000.0, after + 0.02);
}

TEST(TickCount, MovesOnWithTimeAndNeverBack) {
    const platform::ULONGLONG first = platform::GetTickCount64();
    platform::Sleep(300);
    const platform::ULONGLONG second = platform::GetTickCount64();
    EXPECT_GE(second - first, 300u);
    EXPECT_LT(second - first, 3000u);
}

} // namespace
