// A shutdown queued for a UPS that then stops answering, and cancelled by
// a client during the outage: the cancel reaches the queue although the
// device's gate is closed, so that when the UPS answers again it gets the
// cancel, once, and never the shutdown.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "server/protocol.h"
#include "tests/support/debug_lines.h"
#include "tests/support/ups_behind_relay.h"

namespace {

using namespace std::chrono_literals;
using osktest::debug_lines;
using osktest::line_with;
using osktest::lines_with;
using osktest::occurrences;

constexpr std::uint16_t kDevice = 23;
constexpr const char *kShutdownAfterDelay = "1.3.6.1.2.1.33.1.8.2.0";
constexpr const char *kCancelSet = "OidSet = 3 Oid = 1.3.6.1.2.1.33.1.8.4.0 Value = -1 SUCCESS";

class CancelDuringOutage : public osktest::UpsBehindRelay {};

TEST_F(CancelDuringOutage, ReachesTheUpsInPlaceOfTheQueuedShutdown) {
    start_agent(
        ini("", {{0, "UPS hall", "BRAXO1-VEGA3000", 5, relay_address(), "writable", kDevice}}), 1);
    const std::string before = read_back("writable", kShutdownAfterDelay);
    ASSERT_NE(before, "(no answer)");

    // Queued while the UPS answers, then the UPS goes silent before the
    // next poll, whose SET of the shutdown goes unanswered.
    EXPECT_TRUE(request(SET_UPSSHUTDOWN, kDevice, payload_words(77, 0xFFFF)).empty());
    ASSERT_NE(agent_.out().find(" UPS SHUTDOWN DELAY: 77 sec"), std::string::npos) << agent_.out();
    relay_.stop_answering_after(0);
    ASSERT_TRUE(wait_for_count(timed_out_line("OidSet = 1 Oid = 1.3.6.1.2.1.33.1.8.2.0"), 1, 60s))
        << agent_.out();
    EXPECT_TRUE(request(GET_STATUS, kDevice).empty()) << "the gate is closed";

    // The cancel during the outage is queued, as it would be for a UPS that
    // answers, and the next poll tries it in place of the shutdown.
    const std::size_t lines_before_cancel = debug_lines(agent_.out()).size();
    EXPECT_TRUE(request(SET_UPSCOMMAND, kDevice, payload_words(6, 0)).empty());
    ASSERT_TRUE(wait_for_count("OidSet = ", 2, 60s)) << agent_.out();

    relay_.resume();
    // The poll after the one that sent the cancel finds nothing queued.
    ASSERT_TRUE(wait_for_count("\nComm established recognized", 3, 60s)) << agent_.out();

    EXPECT_EQ(read_back("writable", kShutdownAfterDelay), before);
    const std::string out = agent_.out();
    EXPECT_EQ(occurrences(out, "Value = 77 SUCCESS"), 0u) << out;
    EXPECT_EQ(occurrences(out, kCancelSet), 1u) << out;
    // The cancel's lines, as for a queued cancel of a UPS that answers.
    const auto lines = debug_lines(out);
    const std::size_t received =
        line_with(lines, "Receive RQ UDP SET_UPSCOMMAND packet ... ", lines_before_cancel);
    const std::size_t cancel = line_with(lines, " UPS COMMAND : 6     Delay:  0 sec ", received);
    ASSERT_LT(cancel, lines.size()) << out;
    EXPECT_LT(line_with(lines, "NO DATA - SEND RESPONSE ABORTED ! ", cancel),
              line_with(lines, "RQ Dev:", cancel))
        << out;
    // Only the one SET of the shutdown and the cancel's own were tried.
    EXPECT_EQ(lines_with(lines, "OidSet = 1 Oid = 1.3.6.1.2.1.33.1.8.2.0"), 1u) << out;
    EXPECT_EQ(lines_with(lines, "OidSet = 3 Oid = 1.3.6.1.2.1.33.1.8.4.0",
                         line_with(lines, kCancelSet) + 1),
              0u)
        << out;
}

} // namespace
