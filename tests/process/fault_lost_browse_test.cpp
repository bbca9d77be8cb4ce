// A UPS that stops answering, browsed by a client: once a poll has lost
// it, its browse record shows "Communication is lost !" in place of the
// status it had, while status requests about it get no answer; once it
// answers again, it is browsed and asked with its real status. A
// "P.TOLVE" UPS, whose error answers are passed over silently, is lost
// at its first time-out the same way.
#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <ostream>
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

constexpr std::uint16_t kDevice = 17;

struct LostCase {
    const char *name;
    const char *community; // the data file of the UPS
    const char *status;    // its status while it answers
};

void PrintTo(const LostCase &c, std::ostream *os) { *os << c.name; }

class LostUpsBrowsed : public osktest::UpsBehindRelay, public ::testing::WithParamInterface<LostCase> {
  protected:
    // The status text of the one browse record, or why there is none.
    std::string browsed_status() {
        const std::vector<std::string> records = request(GET_BROWSEDATA, ALL_DEVICES);
        if (records.size() != 1)
            return std::to_string(records.size()) + " browse records";
        return osktest::text_at(records[0], datanet_size + offsetof(BrowseData, StatusText), 30);
    }

    std::string status_text(const std::string &answer) const {
        return osktest::text_at(answer, datanet_size + offsetof(StatusData, StatusText), 30);
    }
};

TEST_P(LostUpsBrowsed, ShowsTheLossUntilTheUpsAnswersAgain) {
    const LostCase &c = GetParam();
    start_agent(ini("", {{0, "UPS hall", "BRAXO1-VEGA3000", 5, relay_address(), c.community, kDevice}}), 1);
    EXPECT_EQ(browsed_status(), c.status);

    relay_.stop_answering_after(0);
    ASSERT_TRUE(wait_for_count("\nComm lost recognized", 1, 60s)) << agent_.out();
    EXPECT_EQ(browsed_status(), "Communication is lost !");
    EXPECT_TRUE(request(GET_STATUS, kDevice).empty());

    relay_.resume();
    ASSERT_TRUE(wait_for_count("\nComm established recognized", 2, 60s)) << agent_.out();
    EXPECT_EQ(browsed_status(), c.status);
    const std::vector<std::string> answers = request(GET_STATUS, kDevice);
    ASSERT_EQ(answers.size(), 1u) << agent_.out();
    EXPECT_EQ(status_text(answers[0]), c.status);

    // The lost poll ended at its first row's time-out.
    const auto lines = debug_lines(agent_.out());
    const std::size_t first_answer = line_with(lines, "RESP Dev:00");
    const std::size_t lost = nth_line_with(lines, "Comm lost recognized", 1);
    const std::size_t timed_out =
        line_with(lines, timed_out_line("OidRequest = 0 Oid = 1.3.6.1.2.1.33.1.1.1.0"), first_answer);
    EXPECT_LT(timed_out, line_with(lines, "Timeout recognized", timed_out)) << agent_.out();
    EXPECT_LT(line_with(lines, "Timeout recognized", timed_out), lost) << agent_.out();
}

INSTANTIATE_TEST_SUITE_P(
    Ups, LostUpsBrowsed,
    ::testing::Values(LostCase{"on_battery", "mains_failure", "AC Fail ! Remaining 12 min"},
                      LostCase{"ptolve", "ptolve", "On Line"}),
    [](const ::testing::TestParamInfo<LostCase> &info) { return std::string(info.param.name); });

} // namespace
