// Threads: a wait on a thread ends when the thread ends, however it ends,
// and the thread's exit code is kept for its handle.
#include <gtest/gtest.h>

#include <atomic>

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

} // namespace
