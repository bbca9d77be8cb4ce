// Waits on handles: handles that are not open are refused, and a wait
// that times out has waited its time.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/event.h"
#include "platform/handle.h"
#include "platform/wait.h"

namespace {

using namespace platform;

TEST(Wait, RefusesHandlesThatAreNotOpen) {
    HANDLE ev = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(ev);
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_FALSE(SetEvent(ev));
}

TEST(Wait, TimeOutIsKept) {
    HANDLE ev = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(ev, 200), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(190));
    CloseHandle(ev);
}

} // namespace
