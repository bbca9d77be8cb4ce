// A UPS that disappears while the agent runs and comes back: its lost poll
// closes the gate for clients at once, the missed responses that follow
// reach their limit and keep it closed, and the first answered poll opens
// it again, with the device's status as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "server/protocol.h"
#include "tests/support/debug_lines.h"
#include "tests/support/ups_behind_relay.h"

namespace {

using namespace std::chrono_literals;
using osktest::debug_lines;
using osktest::line_with;
using osktest::nth_line_with;
using osktest::occurrences;

constexpr std::uint16_t kDevice = 31;

class UpsGone : public osktest::UpsBehindRelay {};

TEST_F(UpsGone, GateClosesAtTheLostPollStaysClosedAtTheLimitAndOpensAtTheFirstAnsweredPoll) {
    start_agent(ini("", {{1, "UPS hall", "BRAXO1-VEGA3000", 5, relay_address(), "online", kDevice}}), 1);
    const std::vector<std::string> before = request(GET_STATUS, kDevice);
    ASSERT_EQ(before.size(), 1u) << agent_.out();

    // Gone between two polls: the next one gets no answer at its first row.
    relay_.stop_answering_after(0);
    ASSERT_TRUE(wait_for_count("\nComm lost recognized", 1, 60s)) << agent_.out();
    expect_gate_closed(kDevice, "after the lost poll");

    // Each further poll misses too; at the limit the scheduler clears the
    // flag itself, just before that examination's poll.
    ASSERT_TRUE(wait_for_count("\nERROR PACKET MAX", 1, 120s)) << agent_.out();
    EXPECT_TRUE(request(GET_STATUS, kDevice).empty()) << "at the missed-response limit";
    const std::size_t lost_polls = occurrences(agent_.out(), "\nComm lost recognized");
    expect_gate_closed(kDevice, "still gone");

    relay_.resume();
    ASSERT_TRUE(wait_for_count("\nComm established recognized", 2, 60s)) << agent_.out();
    const std::vector<std::string> after = request(GET_STATUS, kDevice);
    ASSERT_EQ(after.size(), 1u) << agent_.out();
    // The same UPS on line: the same status answer, byte for byte.
    EXPECT_EQ(after[0], before[0]);
    EXPECT_EQ(request(GET_IDENTIF, kDevice).size(), 1u);

    const auto lines = debug_lines(agent_.out());
    const std::size_t first_answer = line_with(lines, "RESP Dev:01");
    const std::size_t first_lost = nth_line_with(lines, "Comm lost recognized", 1);
    const std::size_t limit = line_with(lines, "ERROR PACKET MAX");
    const std::size_t back = nth_line_with(lines, "Comm established recognized", 2);
    ASSERT_LT(first_answer, first_lost) << agent_.out();
    // The lost poll: its first row timed out, and no other row was asked.
    const std::size_t row_zero =
        line_with(lines, timed_out_line("OidRequest = 0 Oid = 1.3.6.1.2.1.33.1.1.1.0"), first_answer);
    EXPECT_LT(row_zero, line_with(lines, "Timeout recognized", row_zero)) << agent_.out();
    EXPECT_LT(line_with(lines, "Timeout recognized", row_zero), first_lost) << agent_.out();
    EXPECT_EQ(osktest::lines_with(lines, "SNMP++ Get Error", first_answer, first_lost), 1u) << agent_.out();
    // The limit comes after misses counted over more than one lost poll.
    EXPECT_LT(first_lost, limit);
    EXPECT_GE(lost_polls, 2u);
    EXPECT_LT(limit, back);
    // A poll without answer writes no response line; the first answered
    // poll writes one again.
    EXPECT_EQ(osktest::lines_with(lines, "RESP Dev:01", first_answer + 1, back), 0u) << agent_.out();
    EXPECT_LT(back, line_with(lines, "RESP Dev:01", back)) << agent_.out();
}

} // namespace
