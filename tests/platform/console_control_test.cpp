// Console control events from real signals: each signal's event code, a
// thread of its own for every event, the newest handler first, and the
// defaults for events that every handler declines.
#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "platform/console_control.h"
#include "platform/crt/runtime_signal.h"
#include "platform/last_error.h"

namespace {

using namespace platform;

struct Seen {
    std::string who;
    DWORD event;
    bool other_thread;
};

std::mutex g_mutex;
std::condition_variable g_arrived;
std::vector<Seen> g_seen;
pthread_t g_test_thread;

void note(const char *who, DWORD event) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_seen.push_back({who, event, !pthread_equal(pthread_self(), g_test_thread)});
    g_arrived.notify_all();
}

BOOL accepts(DWORD event) {
    note("accepts", event);
    return TRUE;
}

BOOL declines(DWORD event) {
    note("declines", event);
    return FALSE;
}

void interrupt_handler(int signal_number) { note("interrupt", static_cast<DWORD>(signal_number)); }

// Waits until count entries have arrived, then a little longer, so that an
// entry too many would be seen as well.
std::vector<Seen> wait_for(std::size_t count) {
    std::unique_lock<std::mutex> lock(g_mutex);
    g_arrived.wait_for(lock, std::chrono::seconds(10), [&] { return g_seen.size() >= count; });
    g_arrived.wait_for(lock, std::chrono::milliseconds(200), [&] { return g_seen.size() > count; });
    return g_seen;
}

class ConsoleControl : public ::testing::Test {
  protected:
    void SetUp() override {
        g_test_thread = pthread_self();
        std::lock_guard<std::mutex> lock(g_mutex);
        g_seen.clear();
    }
};

struct SignalCase {
    int native;
    DWORD event;
};

class ConsoleSignal : public ConsoleControl, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(ConsoleSignal, BecomesItsEventOnAThreadOfItsOwn) {
    ASSERT_TRUE(SetConsoleCtrlHandler(accepts, TRUE));
    ::kill(::getpid(), GetParam().native);
    const auto seen = wait_for(1);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].event, GetParam().event);
    EXPECT_TRUE(seen[0].other_thread);
    EXPECT_TRUE(SetConsoleCtrlHandler(accepts, FALSE));
}

INSTANTIATE_TEST_SUITE_P(Signals, ConsoleSignal,
                         ::testing::Values(SignalCase{SIGINT, CTRL_C_EVENT}, SignalCase{SIGQUIT, CTRL_BREAK_EVENT},
                                           SignalCase{SIGHUP, CTRL_CLOSE_EVENT},
                                           SignalCase{SIGTERM, CTRL_SHUTDOWN_EVENT}),
                         [](const auto &info) { return std::string(sigabbrev_np(info.param.native)); });

TEST_F(ConsoleControl, TheNewestHandlerIsAskedFirstAndADeclinedEventPassesOn) {
    ASSERT_TRUE(SetConsoleCtrlHandler(accepts, TRUE));
    ASSERT_TRUE(SetConsoleCtrlHandler(declines, TRUE));
    ::kill(::getpid(), SIGTERM);
    const auto seen = wait_for(2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].who, "declines");
    EXPECT_EQ(seen[1].who, "accepts");
    SetConsoleCtrlHandler(declines, FALSE);
    SetConsoleCtrlHandler(accepts, FALSE);
}

TEST_F(ConsoleControl, OnlyHandlersInTheChainCanBeRemoved) {
    SetLastError(0);
    EXPECT_FALSE(SetConsoleCtrlHandler(declines, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(SetConsoleCtrlHandler(nullptr, TRUE));
    ASSERT_TRUE(SetConsoleCtrlHandler(declines, TRUE));
    EXPECT_TRUE(SetConsoleCtrlHandler(declines, FALSE));
    EXPECT_FALSE(SetConsoleCtrlHandler(declines, FALSE));
}

TEST_F(ConsoleControl, ADeclinedCtrlCRaisesTheInterruptOnTheEventsThread) {
    const SignalHandler before = platform::signal(SIGINT, interrupt_handler);
    ASSERT_TRUE(SetConsoleCtrlHandler(declines, TRUE));
    ::kill(::getpid(), SIGINT);
    const auto seen = wait_for(2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].who, "interrupt");
    EXPECT_EQ(seen[1].event, static_cast<DWORD>(SIGINT));
    EXPECT_TRUE(seen[1].other_thread);
    SetConsoleCtrlHandler(declines, FALSE);
    platform::signal(SIGINT, before);
}

struct DefaultCase {
    int native;
    int ends_with;
};

class DeclinedEvent : public ::testing::TestWithParam<DefaultCase> {};

// Ctrl+C and Ctrl+Break fall to the default interrupt, which ends the
// process; a closed console and a shutdown end it as their signal does.
TEST_P(DeclinedEvent, EndsTheProcessWithoutAnInterruptHandler) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const DefaultCase c = GetParam();
    EXPECT_EXIT(
        {
            SetConsoleCtrlHandler(declines, TRUE);
            ::kill(::getpid(), c.native);
            ::sleep(10);
            std::exit(0);
        },
        ::testing::KilledBySignal(c.ends_with), "");
}

INSTANTIATE_TEST_SUITE_P(Defaults, DeclinedEvent,
                         ::testing::Values(DefaultCase{SIGINT, SIGINT}, DefaultCase{SIGQUIT, SIGINT},
                                           DefaultCase{SIGHUP, SIGHUP}, DefaultCase{SIGTERM, SIGTERM}),
                         [](const auto &info) { return std::string(sigabbrev_np(info.param.native)); });

} // namespace
