// Events: a manual-reset event releases every waiter until it is reset,
// an auto-reset event one wait.
#include <gtest/gtest.h>

#include "platform/event.h"
#include "platform/handle.h"
#include "platform/thread_create.h"
#include "platform/wait.h"

namespace {

using namespace platform;

DWORD waits_for_event(void *param) {
    HANDLE ev = static_cast<HANDLE>(param);
    return WaitForSingleObject(ev, INFINITE) == WAIT_OBJECT_0 ? 1 : 0;
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

} // namespace
