// A UPS that reports 255 alarms and goes silent in the middle of the alarm
// walk: the walk ends at its one time-out, the next row times out as well,
// and the poll is over a few seconds after the silence instead of waiting
// out every remaining step; a stop that comes during it waits for no more.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <string>

#include "poller/ups_mib.h"
#include "tests/support/debug_lines.h"
#include "tests/support/ups_behind_relay.h"
#include "tests/support/wait_until.h"

namespace {

using namespace std::chrono_literals;
using osktest::debug_lines;
using osktest::line_with;
using osktest::nth_line_with;
using Clock = std::chrono::steady_clock;

// The rows up to upsAlarmsPresent, the walk's first step and 99 further
// steps are answered; the walk's step 100 is not.
constexpr int kAnswered = row_alarms_present + 1 + 1 + 99;

class AlarmFlood : public osktest::UpsBehindRelay {
  protected:
    // The agent after one complete poll of the 255 alarms, and the relay
    // set to go silent in the walk of the next poll.
    void start_flooded_agent() {
        start_agent(ini("", {{1, "UPS hall", "BRAXO1-VEGA3000", 5, relay_address(), "alarms_255", 33}}), 1);
        silent_from_ = relay_.requests() + kAnswered;
        relay_.stop_answering_after(kAnswered);
    }

    // The moment the first request goes unanswered.
    Clock::time_point wait_for_silence() {
        osktest::wait_until([&] { return relay_.requests() > silent_from_; }, 60s, 2ms);
        EXPECT_GT(relay_.requests(), silent_from_) << agent_.out();
        return Clock::now();
    }

    // The walk's failed step, then upsConfigOutputVoltage, each a try and a
    // retry.
    void expect_poll_lines() {
        const auto lines = debug_lines(agent_.out());
        const std::size_t poll = nth_line_with(lines, "RQ Dev:01", 2);
        const std::size_t end = nth_line_with(lines, "Comm lost recognized", 2);
        ASSERT_LT(poll, end) << agent_.out();
        const std::size_t step =
            line_with(lines, timed_out_line("AlarmPresent=100 Oid = 1.3.6.1.2.1.33.1.6.2.1.2.100"), poll);
        const std::size_t row = line_with(lines, timed_out_line("OidRequest = 39 Oid = 1.3.6.1.2.1.33.1.9.3.0"), step);
        EXPECT_LT(step, row) << agent_.out();
        EXPECT_LT(row, line_with(lines, "Timeout recognized", row));
        EXPECT_LT(line_with(lines, "Timeout recognized", row), end);
        EXPECT_EQ(osktest::lines_with(lines, "SNMP++ Get Error", poll, end), 2u) << agent_.out();
    }

    // The relay's count of requests once the walk's answered steps are in.
    int silent_from_ = 0;
};

TEST_F(AlarmFlood, PollEndsAfterTheWalksTimeoutAndTheNextRows) {
    start_flooded_agent();
    const auto silent = wait_for_silence();
    ASSERT_TRUE(wait_for_count("\nComm lost recognized", 2, 60s)) << agent_.out();
    const double seconds = std::chrono::duration<double>(Clock::now() - silent).count();
    // Two time-outs of a try and a retry of one second each.
    EXPECT_GT(seconds, 3.5);
    EXPECT_LT(seconds, 6.0);
    expect_poll_lines();
    // The agent goes on polling the UPS.
    relay_.resume();
    EXPECT_TRUE(wait_for_count("RESP Dev:01", 2, 60s)) << agent_.out();
}

TEST_F(AlarmFlood, StopDuringTheSilentWalkWaitsOnlyForThePollsEnd) {
    start_flooded_agent();
    wait_for_silence();
    const auto sent = Clock::now();
    agent_.signal(SIGINT);
    ASSERT_EQ(agent_.wait_exit(60s), 0) << agent_.out() << agent_.err();
    const double seconds = std::chrono::duration<double>(Clock::now() - sent).count();
    // What is left of the poll (some 4 s), then the stop's own pauses of
    // some 2 s.
    EXPECT_LT(seconds, 8.0) << agent_.out();
    expect_poll_lines();

    const auto lines = debug_lines(agent_.out());
    const std::size_t stop = line_with(lines, "ControlHandler - CTRL_BREAK_EVENT");
    const std::size_t poll_end = nth_line_with(lines, "Comm lost recognized", 2);
    const std::size_t timer_end = line_with(lines, "Thread Timer: exit thread");
    EXPECT_LT(stop, poll_end) << agent_.out();
    EXPECT_LT(poll_end, timer_end) << agent_.out();
    EXPECT_LT(timer_end, line_with(lines, "StopService-end")) << agent_.out();
    EXPECT_EQ(nth_line_with(lines, "RQ Dev:01", 3), lines.size()) << agent_.out();
}

} // namespace
