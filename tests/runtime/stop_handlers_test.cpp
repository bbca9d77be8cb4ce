// The stop routine and the handlers that run it: the console events that
// stop the agent and post the quit message, the ones that pass on, the
// first signal that ends the process, and worker threads that end before
// the records are released.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/console.h"
#include "platform/crt/runtime_signal.h"
#include "platform/message_queue.h"
#include "platform/thread.h"
#include "platform/version.h"
#include "runtime/main_cycle.h"
#include "runtime/stop_handlers.h"
#include "runtime/worker_threads.h"
#include "shared/allocation.h"
#include "shared/debug_log.h"
#include "shared/device_table.h"
#include "shared/ini_record.h"
#include "tests/support/console_capture.h"

namespace {

constexpr const char *kStopLines = "\n\rStopService-start"
                                   "\n\rStopService - CloseComm"
                                   "\n\rStopService - StopThreads"
                                   "\nStop threads:"
                                   "\n\rStopService-end";

class StopRoutine : public ::testing::Test {
  protected:
    void SetUp() override {
        bDebug = 1;
        bDebugLog = 0;
        k_monitor = 0;
        k_monitor1 = 0;
        MainId = platform::GetCurrentThreadId();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
    void TearDown() override {
        bDebug = 0;
        was_term_signal = 0;
        platform::reset_reported_version();
        for (TDevice *&record : SM_DEV) {
            SHfree(record);
            record = nullptr;
        }
    }

    static bool quit_waiting() {
        platform::MSG msg{};
        return platform::PeekMessageA(&msg, nullptr, 0, 0, platform::PM_REMOVE) && msg.message == platform::WM_QUIT;
    }

    ConsoleCapture console_;
};

struct EventCase {
    platform::DWORD event;
    const char *line;
};

class StoppingEvent : public StopRoutine, public ::testing::WithParamInterface<EventCase> {};

TEST_P(StoppingEvent, RunsTheStopRoutineAndPostsTheQuitMessage) {
    EXPECT_EQ(ControlHandler(GetParam().event), platform::TRUE);
    EXPECT_EQ(console_.text(), std::string(GetParam().line) + "\n\nStopping .\n\n" + kStopLines);
    EXPECT_TRUE(quit_waiting());
    EXPECT_FALSE(quit_waiting());
}

INSTANTIATE_TEST_SUITE_P(Events, StoppingEvent,
                         ::testing::Values(EventCase{0, "\n\rControlHandler - CTRL_BREAK_EVENT "},
                                           EventCase{1, "\n\rControlHandler - CTRL_BREAK_EVENT "},
                                           EventCase{2, "\n\rControlHandler - CTRL_CLOSE_EVENT "},
                                           EventCase{6, "\n\rControlHandler - CTRL_SHUTDOWN_EVENT "}),
                         [](const auto &info) { return "Event" + std::to_string(info.param.event); });

class PassedEvent : public StopRoutine, public ::testing::WithParamInterface<platform::DWORD> {};

TEST_P(PassedEvent, IsDeclinedWithoutAStop) {
    EXPECT_EQ(ControlHandler(GetParam()), platform::FALSE);
    EXPECT_EQ(console_.text(), "\n\rControlHandler - unknow control");
    EXPECT_FALSE(quit_waiting());
}

INSTANTIATE_TEST_SUITE_P(Events, PassedEvent, ::testing::Values(3u, 4u, 5u, 7u, 0xFFFFFFFFu));

TEST_F(StopRoutine, ReleasesTheRecordsOnceHoweverOftenItRuns) {
    for (std::uint16_t n = 0; n < device_slots; ++n)
        SM_DEV[n] = static_cast<TDevice *>(SHmalloc(sizeof(TDevice), 1, n));
    StopService();
    for (TDevice *record : SM_DEV)
        EXPECT_EQ(record, nullptr);
    console_.clear();
    StopService();
    EXPECT_EQ(console_.text(), kStopLines);
}

TEST_F(StopRoutine, OnlyTheFirstSignalIsActedOn) {
    was_term_signal = 1;
    Catcher(SIGSEGV); // returns: a stop is already under way
    EXPECT_EQ(console_.text(), "");
}

struct SignalCase {
    int number;
    const char *text;
};

class CaughtSignal : public StopRoutine, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(CaughtSignal, IsLoggedStopsTheAgentAndEndsWithCodeOne) {
    const SignalCase c = GetParam();
    EXPECT_EXIT(
        {
            platform::set_console_fd(2);
            Catcher(c.number);
        },
        ::testing::ExitedWithCode(1), std::string("\n\r") + c.text + "\n\rStopService-start.*StopService-end$");
}

INSTANTIATE_TEST_SUITE_P(Signals, CaughtSignal,
                         ::testing::Values(SignalCase{SIGSEGV, "Received termination signal 11 \\[BX\\]"},
                                           SignalCase{SIGINT, "Received termination signal 2 \\[2X\\]"},
                                           SignalCase{SIGTERM, "Received termination signal 15 \\[FX\\]"},
                                           SignalCase{SIGABRT, "Received termination signal 6 \\[6X\\]"}),
                         [](const auto &info) { return "Signal" + std::to_string(info.param.number); });

TEST_F(StopRoutine, ARaisedTerminationReachesCatcher) {
    EXPECT_EXIT(
        {
            platform::set_console_fd(2);
            platform::signal(SIGTERM, Catcher);
            platform::raise(SIGTERM);
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "Received termination signal 15 \\[FX\\]");
}

class WorkerThreads : public StopRoutine {
  protected:
    void SetUp() override {
        StopRoutine::SetUp();
        std::memset(&INI, 0, sizeof INI);
        INI.Network.Port = 4; // the agent port on a port the system picks
    }
};

TEST_F(WorkerThreads, StopEndsBothThreadsBeforeTheRecordsAreReleased) {
    StartThreads();
    // The threads start writing at once, so their lines may come between
    // the start lines; both starts must have succeeded all the same.
    const std::string started = console_.text();
    EXPECT_EQ(started.rfind("\nStart threads:\n   Network thread ... ", 0), 0u) << started;
    EXPECT_NE(started.find("\n   Timer thread ... "), std::string::npos) << started;
    EXPECT_EQ(started.find("Error!"), std::string::npos) << started;
    platform::Sleep(300);
    const auto start = std::chrono::steady_clock::now();
    StopService();
    const auto took = std::chrono::steady_clock::now() - start;

    const std::string text = console_.text();
    const auto network_end = text.find("\nThread Network: exit thread");
    const auto timer_end = text.find("\nThread Timer: exit thread");
    const auto stop_end = text.find("\n\rStopService-end");
    ASSERT_NE(network_end, std::string::npos) << text;
    ASSERT_NE(timer_end, std::string::npos) << text;
    EXPECT_LT(text.find("\nStop threads:"), network_end);
    EXPECT_LT(network_end, stop_end);
    EXPECT_LT(timer_end, stop_end);
    for (TDevice *record : SM_DEV)
        EXPECT_EQ(record, nullptr);
    // The walk over slots with no SNMP UPS ends on the stop event instead of
    // walking on: the stop takes its one-second pause and the set-up's
    // one-second debug wait at most.
    EXPECT_LT(took, std::chrono::milliseconds(2600));
}

TEST_F(WorkerThreads, OldSystemsTerminateTheThreadsWithoutExitLines) {
#ifdef __SANITIZE_THREAD__
    GTEST_SKIP() << "ThreadSanitizer does not follow the unwinding of a cancelled thread";
#endif
    bDebug = 0; // a thread ended wherever it is must not hold the log
    StartThreads();
    platform::Sleep(300);
    platform::ReportedVersion server2003;
    server2003.major = 5;
    server2003.minor = 2;
    server2003.product_type = platform::VER_NT_SERVER;
    platform::set_reported_version(server2003);
    bDebug = 1;
    StopService();
    const std::string text = console_.text();
    EXPECT_EQ(text.find("exit thread"), std::string::npos) << text;
    EXPECT_NE(text.find(kStopLines), std::string::npos) << text;
    for (TDevice *record : SM_DEV)
        EXPECT_EQ(record, nullptr);
}

} // namespace
