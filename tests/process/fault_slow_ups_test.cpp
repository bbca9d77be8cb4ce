// A UPS that answers every request late, just inside the poll's time-out
// of one second: its polls still succeed, the gate stays open through
// them, and clients get their answers during a poll and after it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "poller/ups_mib.h"
#include "server/protocol.h"
#include "tests/support/debug_lines.h"
#include "tests/support/ups_behind_relay.h"

namespace {

using namespace std::chrono_literals;
using osktest::debug_lines;
using osktest::lines_with;
using osktest::nth_line_with;
using Clock = std::chrono::steady_clock;

constexpr std::uint16_t kDevice = 32;
constexpr auto kLate = 850ms;

class SlowUps : public osktest::UpsBehindRelay {};

TEST_F(SlowUps, AnswersJustUnderTheTimeoutKeepThePollsAndTheGate) {
    start_agent(ini("", {{1, "UPS hall", "BRAXO1-VEGA3000", 5, relay_address(), "online", kDevice}}), 1);
    const auto before = request(GET_STATUS, kDevice);
    ASSERT_EQ(before.size(), 1u) << agent_.out();

    // From the next poll on, every answer comes late.
    relay_.delay_answers(kLate);
    ASSERT_TRUE(wait_for_count("RQ Dev:01", 2, 60s)) << agent_.out();
    const auto asked = Clock::now();
    std::this_thread::sleep_for(3s);
    // Well inside the slow poll: the gate is open and the answer is the
    // record as it stands.
    const auto during = request(GET_STATUS, kDevice);
    ASSERT_EQ(during.size(), 1u) << agent_.out();
    EXPECT_EQ(during[0], before[0]);

    ASSERT_TRUE(wait_for_count("RESP Dev:01", 2, 120s)) << agent_.out();
    const double seconds = std::chrono::duration<double>(Clock::now() - asked).count();
    // Every row answered late: the poll really waited for them.
    EXPECT_GT(seconds, oid_request_rows * 0.85 - 4);
    const auto after = request(GET_STATUS, kDevice);
    ASSERT_EQ(after.size(), 1u) << agent_.out();
    EXPECT_EQ(after[0], before[0]);

    const auto lines = debug_lines(agent_.out());
    const std::size_t slow_poll = nth_line_with(lines, "RQ Dev:01", 2);
    const std::size_t answered = nth_line_with(lines, "RESP Dev:01", 2);
    ASSERT_LT(slow_poll, answered) << agent_.out();
    EXPECT_EQ(lines_with(lines, "Comm established recognized", slow_poll, answered), 1u) << agent_.out();
    EXPECT_EQ(lines_with(lines, "SNMP++ Get Error", slow_poll), 0u) << agent_.out();
    EXPECT_EQ(lines_with(lines, "Timeout recognized"), 0u) << agent_.out();
    EXPECT_EQ(lines_with(lines, "Comm lost recognized"), 0u) << agent_.out();
}

} // namespace
