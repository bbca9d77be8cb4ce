// Run-time signals: registration, interrupt and termination run on the
// thread that raises them, fault handlers hold only for the thread that
// registered them and fall back to the default once they have run.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/crt/runtime_signal.h"

namespace {

std::atomic<int> g_caught{0};
std::atomic<bool> g_on_raising_thread{false};
thread_local bool t_raising = false;

void catch_it(int signal_number) {
    g_caught = signal_number;
    g_on_raising_thread = t_raising;
}

void other(int) {}

class RuntimeSignal : public ::testing::Test {
  protected:
    void SetUp() override {
        g_caught = 0;
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
};

TEST_F(RuntimeSignal, RegistrationReturnsTheHandlerBefore) {
    EXPECT_EQ(platform::signal(SIGTERM, catch_it), SIG_DFL);
    EXPECT_EQ(platform::signal(SIGTERM, other), catch_it);
    EXPECT_EQ(platform::signal(SIGTERM, SIG_DFL), other);
}

TEST_F(RuntimeSignal, SignalsTheRunTimeDoesNotHandleAreRefused) {
    for (int number : {0, SIGUSR1, SIGPIPE, 99}) {
        EXPECT_EQ(platform::signal(number, catch_it), SIG_ERR) << number;
        EXPECT_EQ(platform::raise(number), -1) << number;
    }
}

TEST_F(RuntimeSignal, TerminationRunsItsHandlerOnTheRaisingThread) {
    platform::signal(SIGTERM, catch_it);
    std::thread raiser([] {
        t_raising = true;
        platform::raise(SIGTERM);
    });
    raiser.join();
    EXPECT_EQ(g_caught, SIGTERM);
    EXPECT_TRUE(g_on_raising_thread);
    platform::signal(SIGTERM, SIG_DFL);
}

TEST_F(RuntimeSignal, AnIgnoredSignalDoesNothing) {
    platform::signal(SIGINT, SIG_IGN);
    EXPECT_EQ(platform::raise(SIGINT), 0);
    platform::signal(SIGINT, SIG_DFL);
}

TEST_F(RuntimeSignal, TheDefaultEndsTheProcess) {
    EXPECT_EXIT(platform::raise(SIGTERM), ::testing::KilledBySignal(SIGTERM), "");
}

TEST_F(RuntimeSignal, AFaultRunsTheHandlerOfItsThreadOnce) {
    EXPECT_EXIT(
        {
            platform::signal(SIGFPE, catch_it);
            t_raising = true;
            platform::raise(SIGFPE);
            if (g_caught != SIGFPE || !g_on_raising_thread)
                std::exit(3);
            platform::raise(SIGFPE); // the handler has run: the default now
            std::exit(4);
        },
        ::testing::KilledBySignal(SIGFPE), "");
}

TEST_F(RuntimeSignal, AFaultOnAnotherThreadTakesTheDefault) {
    EXPECT_EXIT(
        {
            platform::signal(SIGSEGV, catch_it);
            std::thread([] { platform::raise(SIGSEGV); }).join();
            std::exit(g_caught == 0 ? 5 : 6);
        },
        ::testing::KilledBySignal(SIGSEGV), "");
}

} // namespace
