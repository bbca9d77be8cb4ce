// Thread message queues: per-thread delivery in order, WM_QUIT ending the
// loop, posts that arrive before the target ever waits, and thread ids.
#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/last_error.h"
#include "platform/message_queue.h"
#include "platform/thread.h"

namespace {

using namespace platform;

// Empties the calling thread's queue, so that a test starts clean.
void drain() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
}

class MessageQueueTest : public ::testing::Test {
  protected:
    void SetUp() override { drain(); }
    void TearDown() override { drain(); }
};

TEST_F(MessageQueueTest, DeliversInOrderAndQuitEndsTheLoop) {
    const DWORD self = GetCurrentThreadId();
    ASSERT_TRUE(PostThreadMessageA(self, WM_USER + 1, 11, -1));
    ASSERT_TRUE(PostThreadMessageA(self, WM_USER + 2, 22, -2));
    ASSERT_TRUE(PostThreadMessageA(self, WM_QUIT, 0, 0));

    std::vector<UINT> seen;
    MSG m;
    BOOL r;
    while ((r = GetMessageA(&m, nullptr, 0, 0)) > 0) {
        seen.push_back(m.message);
        EXPECT_EQ(m.hwnd, nullptr);
        EXPECT_EQ(m.wParam, (m.message - WM_USER) * 11u);
        EXPECT_EQ(m.lParam, -static_cast<LPARAM>(m.message - WM_USER));
        TranslateMessage(&m);
        EXPECT_EQ(DispatchMessageA(&m), 0);
    }
    EXPECT_EQ(r, 0);
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
}

TEST_F(MessageQueueTest, PeekLeavesOrTakesTheMessage) {
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    PostThreadMessageA(GetCurrentThreadId(), WM_USER, 7, 0);
    EXPECT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueueTest, FilterPassesRangeAndAlwaysQuit) {
    const DWORD self = GetCurrentThreadId();
    PostThreadMessageA(self, WM_USER + 5, 0, 0);
    PostThreadMessageA(self, WM_QUIT, 0, 0);
    MSG m;
    EXPECT_TRUE(PeekMessageA(&m, nullptr, WM_USER, WM_USER + 1, PM_REMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_USER, WM_USER + 1, PM_REMOVE));
    EXPECT_TRUE(PeekMessageA(&m, nullptr, WM_USER + 5, WM_USER + 5, PM_REMOVE));
}

TEST_F(MessageQueueTest, RefusesBadRequests) {
    MSG m;
    int window = 0;
    EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
    EXPECT_EQ(GetMessageA(&m, &window, 0, 0), -1);
    EXPECT_FALSE(PostThreadMessageA(0, WM_QUIT, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
    EXPECT_FALSE(PostThreadMessageA(0x7fffffff, WM_QUIT, 0, 0));
}

TEST(MessageQueueThreads, PostBeforeTheTargetWaitsIsKept) {
    std::promise<DWORD> id;
    std::promise<void> posted;
    std::thread target([&] {
        id.set_value(GetCurrentThreadId());
        posted.get_future().wait();
        MSG m;
        EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), 0);
        EXPECT_EQ(m.message, WM_QUIT);
    });
    EXPECT_TRUE(PostThreadMessageA(id.get_future().get(), WM_QUIT, 0, 0));
    posted.set_value();
    target.join();
}

TEST(MessageQueueThreads, GetMessageWaitsForAnotherThreadsPost) {
    std::promise<DWORD> id;
    std::atomic<int> taken{0};
    std::thread loop([&] {
        id.set_value(GetCurrentThreadId());
        MSG m;
        while (GetMessageA(&m, nullptr, 0, 0) > 0)
            ++taken;
    });
    const DWORD target = id.get_future().get();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (int i = 0; i < 3; ++i)
        PostThreadMessageA(target, WM_USER, 0, 0);
    PostThreadMessageA(target, WM_QUIT, 0, 0);
    loop.join();
    EXPECT_EQ(taken.load(), 3);
    // A message to the queue of another thread never reaches this one.
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST(ThreadId, UniquePerThreadAndStable) {
    const DWORD self = GetCurrentThreadId();
    EXPECT_NE(self, 0u);
    EXPECT_EQ(GetCurrentThreadId(), self);
    std::set<DWORD> ids{self};
    for (int i = 0; i < 4; ++i) {
        DWORD other = 0;
        std::thread([&] { other = GetCurrentThreadId(); }).join();
        EXPECT_TRUE(ids.insert(other).second);
    }
}

TEST(Sleep, WaitsAtLeastTheGivenTime) {
    const auto start = std::chrono::steady_clock::now();
    platform::Sleep(30);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

} // namespace
