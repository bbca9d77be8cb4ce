// The running agent answers monitoring clients about simulated UPS
// devices that it polls: identification, status, device data and browse
// records, byte for byte, the error response, and datagrams that get no
// answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/protocol.h"
#include "shared/device_record.h"
#include "tests/support/agent_with_ups.h"

namespace {

using osktest::byte_at;
using osktest::text_at;
using osktest::UpsEntry;
using osktest::word_at;

constexpr std::size_t kHead = 16; // DataNet header ahead of every payload

class AgentAnswers : public osktest::AgentWithUps {
  protected:
    void SetUp() override {
        AgentWithUps::SetUp();
        if (HasFatalFailure())
            return;
        // Slots 1, 2 and 4 are polled (slot 1 first), slot 3 is a UPS on a
        // serial line that the agent only lists, slot 4 has device type 24.
        start_agent(ini("PasswordProtection=1234\r\n",
                        {{1, "UPS hall", "BRAXO1-VEGA3000", 5, ups_address(), "online", 11},
                         {2, "UPS office", "TARVO1234567", 5, ups_address(), "mains_failure", 12},
                         {3, "Serial UPS", "BRIXO1234567", 1, "COM1", "", 13},
                         {4, "UPS lab", "BRAXO5-LAB00", 5, ups_address(), "online", 14}}),
                    3);
    }

    static void expect_header(const std::string &d, unsigned ident, unsigned device, unsigned size,
                              unsigned password) {
        EXPECT_EQ(word_at(d, 0), ident);
        EXPECT_EQ(word_at(d, 2), device);
        EXPECT_EQ(word_at(d, 4), 0u);    // ActualPacket
        EXPECT_EQ(word_at(d, 6), 1u);    // TotalPackets
        EXPECT_EQ(word_at(d, 8), size);  // Size, low word
        EXPECT_EQ(word_at(d, 10), 0u);
        EXPECT_EQ(word_at(d, 12), password);
        EXPECT_EQ(word_at(d, 14), 1u);   // RR: a response
    }
};

TEST_F(AgentAnswers, IdentificationOfAPolledUps) {
    const auto answers = request(GET_IDENTIF, 11);
    ASSERT_EQ(answers.size(), 1u);
    const std::string &d = answers[0];
    ASSERT_EQ(d.size(), 115u);
    expect_header(d, GET_IDENTIF, 11, 99, 1234);
    EXPECT_EQ(text_at(d, kHead + 0, 20), "UPS hall");
    EXPECT_EQ(text_at(d, kHead + 20, 20), ups_address());
    EXPECT_EQ(word_at(d, kHead + 40), 11u);
    EXPECT_EQ(d.substr(kHead + 43, 8), std::string(8, '\0')); // platform
    EXPECT_EQ(byte_at(d, kHead + 51), 21u);                    // device type
    EXPECT_EQ(byte_at(d, kHead + 52), 5u);                     // connection
    EXPECT_EQ(d.substr(kHead + 55, 8), std::string("2.1\0\0\0\0\0", 8));
    EXPECT_EQ(text_at(d, kHead + 79, 20), "BRAXO1-VEGA3000");
}

struct StatusCase {
    const char *name;
    unsigned device;
    const char *text;
    unsigned flags;
};

class StatusOfUps : public AgentAnswers, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusOfUps, FollowsTheSimulatedUps) {
    const auto answers = request(GET_STATUS, GetParam().device);
    ASSERT_EQ(answers.size(), 1u);
    const std::string &d = answers[0];
    ASSERT_EQ(d.size(), 97u);
    expect_header(d, GET_STATUS, GetParam().device, 81, 1234);
    EXPECT_EQ(byte_at(d, kHead + 0), 0u);
    EXPECT_EQ(byte_at(d, kHead + 1), GetParam().flags);
    EXPECT_EQ(text_at(d, kHead + 2, 30), GetParam().text);
    EXPECT_EQ(byte_at(d, kHead + 32), 0u); // communication status
    EXPECT_EQ(text_at(d, kHead + 33, 30), "");
}

INSTANTIATE_TEST_SUITE_P(Devices, StatusOfUps,
                         ::testing::Values(StatusCase{"OnLine", 11, "On Line", 0},
                                           StatusCase{"OnBattery", 12, "AC Fail ! Remaining 12 min", status_on_battery}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(AgentAnswers, DeviceDataCarriesThePolledValuesAtTheirOffsets) {
    const auto answers = request(GET_DEVDATA, 11);
    ASSERT_EQ(answers.size(), 1u);
    const std::string &d = answers[0];
    ASSERT_EQ(d.size(), 692u);
    expect_header(d, GET_DEVDATA, 11, 676, 1234);
    struct Word {
        std::size_t offset;
        unsigned value;
    };
    // The values of tests/data/snmpsim/online.snmprec.
    for (const Word w : {Word{250, 231}, Word{256, 62}, Word{262, 499}, Word{264, 230}, Word{270, 54},
                         Word{276, 41}, Word{290, 42}, Word{292, 100}, Word{294, 816}, Word{330, 26},
                         Word{548, 3000}, Word{550, 2700}, Word{622, 230}, Word{670, 500}})
        EXPECT_EQ(word_at(d, kHead + w.offset), w.value) << "offset " << w.offset;
    EXPECT_EQ(byte_at(d, kHead + 0), 0u);          // communication status
    EXPECT_EQ(text_at(d, kHead + 66, 30), "On Line");
    EXPECT_EQ(byte_at(d, kHead + 416), 0x08u);     // output powered
    EXPECT_EQ(text_at(d, kHead + 506, 16), "Vega 3000 RT");
    EXPECT_EQ(text_at(d, kHead + 524, 13), "UPS 02.14");
    EXPECT_EQ(byte_at(d, kHead + 564), 1u);        // set up
    EXPECT_EQ(byte_at(d, kHead + 658), unsigned('1'));
    EXPECT_EQ(byte_at(d, kHead + 659), unsigned('3'));
}

class BrowseRequest : public AgentAnswers, public ::testing::WithParamInterface<unsigned> {};

TEST_P(BrowseRequest, SendsOneRecordPerSlotInUseButTypeTwentyFour) {
    const auto answers = request(GET_BROWSEDATA, static_cast<std::uint16_t>(GetParam()));
    ASSERT_EQ(answers.size(), 3u);
    struct Record {
        unsigned slot;
        const char *name;
        unsigned type;
        unsigned connection;
        const char *status;
    };
    const Record want[] = {{2, "UPS hall", 21, 5, "On Line"},
                           {3, "UPS office", 14, 5, "AC Fail ! Remaining 12 min"},
                           {4, "Serial UPS", 17, 1, ""}};
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const std::string &d = answers[i];
        ASSERT_EQ(d.size(), 264u);
        expect_header(d, GET_BROWSEDATA, GetParam(), 248, 0); // no password in the header
        EXPECT_EQ(text_at(d, kHead + 0, 32), "");           // version
        EXPECT_EQ(text_at(d, kHead + 124, 20), want[i].name);
        EXPECT_EQ(byte_at(d, kHead + 144), want[i].type);
        EXPECT_EQ(byte_at(d, kHead + 145), want[i].connection);
        EXPECT_EQ(word_at(d, kHead + 162), want[i].slot);
        EXPECT_EQ(text_at(d, kHead + 214, 30), want[i].status);
        EXPECT_EQ(byte_at(d, kHead + 246), 1234u & 0xFF); // low byte of the password
    }
}

INSTANTIATE_TEST_SUITE_P(Devices, BrowseRequest, ::testing::Values(11u, 0xFFFFu),
                         [](const auto &info) { return info.param == 0xFFFF ? "All" : "Device11"; });

TEST_F(AgentAnswers, AnUnknownRequestTypeGetsTheErrorResponse) {
    const auto answers = request(0x0277, 11);
    ASSERT_EQ(answers.size(), 1u);
    const std::string &d = answers[0];
    ASSERT_EQ(d.size(), 19u);
    EXPECT_EQ(word_at(d, 0), 250u);
    EXPECT_EQ(word_at(d, 14), 1u);
    EXPECT_EQ(d.substr(kHead), std::string("\x77\x63\x00", 3));
}

TEST_F(AgentAnswers, DatagramsThatGetNoAnswer) {
    // A response (RR 1), a device nobody has, the unpolled serial UPS and
    // the requests that compose no payload.
    EXPECT_TRUE(request(GET_STATUS, 11, {}, 1).empty());
    EXPECT_TRUE(request(GET_STATUS, 99).empty());
    EXPECT_TRUE(request(GET_STATUS, 13).empty());
    EXPECT_TRUE(request(GET_STATUS, 0xFFFF).empty());
    // The agent is still there.
    EXPECT_EQ(request(GET_STATUS, 11).size(), 1u);
}

} // namespace
