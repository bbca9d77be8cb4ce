// The local clock: the system's local time, or the moment a test fixed.
#include <ctime>

#include <gtest/gtest.h>

#include "platform/local_time.h"

namespace {

TEST(LocalTime, FixedTimeIsAnsweredUntilReset) {
    const platform::SYSTEMTIME fixed{2024, 12, 1, 9, 14, 3, 7, 250};
    platform::set_fixed_local_time(fixed);
    platform::SYSTEMTIME t{};
    platform::GetLocalTime(&t);
    platform::reset_local_time();
    EXPECT_EQ(t.wYear, 2024);
    EXPECT_EQ(t.wMonth, 12);
    EXPECT_EQ(t.wDay, 9);
    EXPECT_EQ(t.wHour, 14);
    EXPECT_EQ(t.wMinute, 3);
    EXPECT_EQ(t.wSecond, 7);
    EXPECT_EQ(t.wMilliseconds, 250);
}

TEST(LocalTime, FollowsTheLocalClock) {
    platform::SYSTEMTIME t{};
    const std::time_t before = std::time(nullptr);
    platform::GetLocalTime(&t);
    const std::time_t after = std::time(nullptr);
    std::tm parts{};
    parts.tm_year = t.wYear - 1900;
    parts.tm_mon = t.wMonth - 1;
    parts.tm_mday = t.wDay;
    parts.tm_hour = t.wHour;
    parts.tm_min = t.wMinute;
    parts.tm_sec = t.wSecond;
    parts.tm_isdst = -1;
    const std::time_t back = std::mktime(&parts);
    EXPECT_GE(back, before - 1);
    EXPECT_LE(back, after);
    EXPECT_LT(t.wMilliseconds, 1000);
}

} // namespace
