// A UPS whose agent answers with wrong types, oversized texts and binary
// bytes: the agent keeps running and polling, and what clients get back
// holds the texts cut to their fields, byte for byte, next to the
// configuration's own texts cut the same way.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

#include "server/protocol.h"
#include "shared/device_record.h"
#include "tests/support/agent_with_ups.h"
#include "tests/support/debug_lines.h"

namespace {

using namespace std::chrono_literals;
using osktest::occurrences;
using osktest::text_at;

constexpr std::uint16_t kDevice = 34;
// Longer than the record's 20 bytes for a name and a model code.
constexpr const char *kLongName = "UPS hall east wing rack 7";
constexpr const char *kLongType = "BRAXO1-VEGA3000-RT-TOWER";

struct BadCase {
    const char *community;
    // The record's 16 bytes of the model and 13 of the software version.
    std::string model;
    std::string software;
    // The status text's 30 bytes and the status flag byte.
    std::string status;
    unsigned status_flags;
};

void PrintTo(const BadCase &c, std::ostream *os) { *os << c.community; }

std::string padded(const std::string &text, std::size_t width) {
    return text + std::string(width - text.size(), '\0');
}

class BadValues : public osktest::AgentWithUps, public ::testing::WithParamInterface<BadCase> {
  protected:
    // The one answer to a request, its payload after the header.
    std::string payload(std::uint16_t type, std::size_t size) {
        const auto answers = request(type, kDevice);
        EXPECT_EQ(answers.size(), 1u) << agent_.out();
        if (answers.size() != 1)
            return std::string(size, '\0');
        EXPECT_EQ(answers[0].size(), datanet_size + size);
        return answers[0].substr(datanet_size) + std::string(size, '\0');
    }
};

TEST_P(BadValues, AnswersHoldTheTextsCutToTheirFieldsAndPollingGoesOn) {
    const BadCase &c = GetParam();
    start_agent(ini("", {{1, kLongName, kLongType, 5, ups_address(), c.community, kDevice}}), 1);
    // Polled again and again, without a crash.
    ASSERT_TRUE(wait_for_count("RESP Dev:01", 3, 60s)) << agent_.out() << agent_.err();
    EXPECT_EQ(occurrences(agent_.out(), "Comm established recognized"), occurrences(agent_.out(), "RESP Dev:01"));

    const std::string data = payload(GET_DEVDATA, device_data_size);
    EXPECT_EQ(data.substr(offsetof(TDevice, UpsModel), 16), c.model);
    EXPECT_EQ(data.substr(offsetof(TDevice, UpsModelEnd), 1), std::string(1, '\0'));
    EXPECT_EQ(data.substr(offsetof(TDevice, UpsSoftwareVersion), 13), c.software);
    EXPECT_EQ(data.substr(offsetof(TDevice, DataStatusText), 30), c.status);
    EXPECT_EQ(static_cast<unsigned char>(data[offsetof(TDevice, DataStatusFlags)]), c.status_flags);

    const std::string status = payload(GET_STATUS, 81);
    EXPECT_EQ(static_cast<unsigned char>(status[1]), c.status_flags);
    EXPECT_EQ(status.substr(2, 30), c.status);

    const std::string identity = payload(GET_IDENTIF, 99);
    EXPECT_EQ(identity.substr(0, 20), std::string(kLongName, 20));
    EXPECT_EQ(identity.substr(20, 20), padded(ups_address(), 20));
    EXPECT_EQ(identity.substr(79, 20), std::string(kLongType, 20));

    agent_.signal(SIGINT);
    EXPECT_EQ(agent_.wait_exit(30s), 0) << agent_.out() << agent_.err();
    EXPECT_EQ(agent_.err(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Agents, BadValues,
    ::testing::Values(
        // Model of 300 bytes, software version as an object identifier.
        BadCase{"bad_values", padded("QW 9T8 XXXXXXXX", 16), padded("1.3.6.1.4.1.", 13),
                padded("AC Fail, Low Battery !", 30), status_low_battery | status_on_battery},
        // Binary model of 40 bytes; a software version with a zero byte in it.
        BadCase{"binary_texts", padded("\xff\xfeQW\r\n\x01\x7f\"\\ZZZZZ", 16), padded("2.14", 13),
                padded("On Line", 30), 0}),
    [](const auto &info) { return std::string(info.param.community); });

} // namespace
