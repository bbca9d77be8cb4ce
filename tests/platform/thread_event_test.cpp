// Threads and events: waits end when a thread ends however it ends, events
// release waiters, and handles that are not open are refused.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "platform/event.h"
#include "platform/handle.h"
#include "platform/thread.h"
#include "platform/thread_create.h"
#include "platform/wait.h"

namespace {

using namespace platform;

std::atomic<DWORD> g_seen_id{0};

DWORD returns_seven(void *) {
    g_seen_id = GetCurrentThreadId();
    return 7;
}

DWORD exits_early(void *) {
    ExitThread(9);
}

DWORD waits_for_event(void *param) {
    HANDLE ev = static_cast<HANDLE>(param);
    return WaitForSingleObject(ev, INFINITE) == WAIT_OBJECT_0 ? 1 : 0;
}

TEST(Thread, WaitEndsWithTheThreadAndKeepsItsExitCode) {
    DWORD id = 0;
    HANDLE t = CreateThread(nullptr, 0, returns_seven, nullptr, 0, &id);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(g_seen_id.load(), id);
    EXPECT_NE(id, GetCurrentThreadId());
    EXPECT_TRUE(CloseHandle(t));
}

TEST(Thread, ExitThreadEndsTheThreadWithItsCode) {
    HANDLE t = CreateThread(nullptr, 0, exits_early, nullptr, 0, nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, 9u);
    CloseHandle(t);
}

TEST(Event, ManualResetReleasesWaitersUntilReset) {
    HANDLE ev = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(ev, nullptr);
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_TIMEOUT);
    HANDLE t = CreateThread(nullptr, 0, waits_for_event, ev, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(t, 100), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(ev));
    EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(ev));
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_TIMEOUT);
    CloseHandle(t);
    CloseHandle(ev);
}

TEST(Event, AutoResetReleasesOneWait) {
    HANDLE ev = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_TIMEOUT);
    CloseHandle(ev);
}

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
