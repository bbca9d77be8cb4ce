// Agents that answer every request of a poll, but only with errors: one
// that does not know the UPS-MIB at all (its data is a printer's system
// description) and a UPS's agent that turns to errors after a good poll.
// No answer carries a value, so each such poll is a lost one: the gate
// stays or goes closed, and the values of the last good poll are not
// served as fresh; the first poll with a value opens it again.
#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "server/protocol.h"
#include "snmp/snmp_pp.h"
#include "tests/support/debug_lines.h"
#include "tests/support/ups_behind_relay.h"

namespace {

using namespace std::chrono_literals;
using osktest::debug_lines;
using osktest::line_with;
using osktest::lines_with;
using osktest::nth_line_with;
using osktest::occurrences;

constexpr std::uint16_t kDevice = 12;
// Objects a poll reads, one GET each.
constexpr std::size_t kRows = 43;
constexpr const char *kNoSuchName = "SNMP: Variable does not exist (2)";

// The relay is there for the agent that turns to errors; an agent
// without the UPS-MIB is polled straight.
class NoValidAnswer : public osktest::UpsBehindRelay {};

TEST_F(NoValidAnswer, AnAgentWithoutTheUpsMibNeverOpensTheGate) {
    agent_.write_ini(
        ini("", {{0, "UPS hall", "BRAXO1-VEGA3000", 5, ups_address(), "printer", kDevice}}));
    ASSERT_TRUE(agent_.start({"-debug"}));
    ASSERT_TRUE(wait_for_count("\nComm lost recognized", 2, 60s)) << agent_.out();
    expect_gate_closed(kDevice, "after two polls");

    const std::string out = agent_.out();
    EXPECT_EQ(occurrences(out, "Comm established recognized"), 0u) << out;
    // Every row was asked and refused, none timed out, and no poll counts
    // as answered for the scheduler.
    EXPECT_GE(
        occurrences(
            out, std::string(" OidRequest = 42 Oid = 1.3.6.1.2.1.33.1.9.6.0 SNMP++ Get Error, ") +
                     kNoSuchName),
        2u)
        << out;
    EXPECT_EQ(occurrences(out, "Timeout recognized"), 0u) << out;
    EXPECT_EQ(occurrences(out, "RESP Dev:"), 0u) << out;
}

struct ErrorCase {
    const char *name;
    int error_status;
    const char *status_text;
};

void PrintTo(const ErrorCase &c, std::ostream *os) { *os << c.name; }

class UpsTurnsToErrors : public NoValidAnswer, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(UpsTurnsToErrors, ItsOldValuesAreNotServedUntilAPollBringsValuesAgain) {
    const ErrorCase &c = GetParam();
    start_agent(
        ini("", {{0, "UPS hall", "BRAXO1-VEGA3000", 5, relay_address(), "online", kDevice}}), 1);
    const std::vector<std::string> before = request(GET_STATUS, kDevice);
    ASSERT_EQ(before.size(), 1u) << agent_.out();
    EXPECT_EQ(osktest::text_at(before[0], datanet_size + offsetof(StatusData, StatusText), 30),
              "On Line");

    relay_.answer_with_error(c.error_status);
    ASSERT_TRUE(wait_for_count("\nComm lost recognized", 1, 60s)) << agent_.out();
    expect_gate_closed(kDevice, "after the poll of errors");

    relay_.resume();
    ASSERT_TRUE(wait_for_count("\nComm established recognized", 2, 60s)) << agent_.out();
    const std::vector<std::string> after = request(GET_STATUS, kDevice);
    ASSERT_EQ(after.size(), 1u) << agent_.out();
    EXPECT_EQ(after[0], before[0]);

    const auto lines = debug_lines(agent_.out());
    const std::size_t first_answer = line_with(lines, "RESP Dev:00");
    const std::size_t first_lost = nth_line_with(lines, "Comm lost recognized", 1);
    const std::size_t back = nth_line_with(lines, "Comm established recognized", 2);
    ASSERT_LT(first_answer, first_lost) << agent_.out();
    ASSERT_LT(first_lost, back) << agent_.out();
    // The poll of errors: every row asked and refused, nothing timed out.
    EXPECT_EQ(lines_with(lines, std::string("SNMP++ Get Error, ") + c.status_text, first_answer,
                         first_lost),
              kRows)
        << agent_.out();
    EXPECT_EQ(lines_with(lines, "Timeout recognized", first_answer, back), 0u) << agent_.out();
    // A missed response for the scheduler: no response line until values
    // come again.
    EXPECT_EQ(lines_with(lines, "RESP Dev:00", first_answer + 1, back), 0u) << agent_.out();
}

INSTANTIATE_TEST_SUITE_P(
    Errors, UpsTurnsToErrors,
    ::testing::Values(ErrorCase{"general_error", SNMP_ERROR_GENERAL_VB_ERR,
                                "SNMP: Cannot perform operation: general error (5)"},
                      ErrorCase{"no_such_name", SNMP_ERROR_NO_SUCH_NAME, kNoSuchName}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
