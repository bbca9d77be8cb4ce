// GET_BROWSEDATA over real datagrams: one datagram per slot in use, in
// slot order, with its slot number, whatever the connection and the
// communication flag, leaving out device type 24; Password 0 in the header
// and the low byte of PasswordProtection in the record; and no repeat of
// the last record.
#include <string>

#include <gtest/gtest.h>

#include "server/agent_port.h"
#include "server/protocol.h"
#include "tests/server/agent_fixture.h"
#include "client/protocol_decode.h"

namespace {

class BrowseTest : public AgentFixture {
  protected:
    void SetUp() override {
        AgentFixture::SetUp();
        TDevice &a = add_device(0, "UPS-A", 7);
        std::strncpy(a.Serial, "SN-000001", sizeof a.Serial);
        std::strncpy(a.PRTK, "KRV-1000-230-S", sizeof a.PRTK);
        std::strncpy(a.CommText, "Communication OK", sizeof a.CommText);
        std::strncpy(a.StatusText, "On Line", sizeof a.StatusText);
        add_device(3, "Twenty characters!!!", 8, AGSNMP, 5, 0);
        add_device(5, "skipped type 24", 9, AGSNMP, 24);
        add_device(12, "serial line UPS", 10, 1, 7, 0);
        add_device(31, "last slot", 11);
    }

    static std::uint16_t slot_of(const std::string &d) {
        return protocol_decode::le16(reinterpret_cast<const std::uint8_t *>(d.data()) + 16 + 162);
    }
};

struct BrowseCase {
    const char *name;
    std::uint16_t dev;
};

void PrintTo(const BrowseCase &c, std::ostream *os) { *os << c.name; }

class BrowseRequestTest : public BrowseTest, public ::testing::WithParamInterface<BrowseCase> {};

TEST_P(BrowseRequestTest, OneDatagramPerSlotInUseInSlotOrder) {
    INI.System.PasswordProtection = 0x1234;
    const auto answers = exchange(request_datagram(GET_BROWSEDATA, GetParam().dev));
    ASSERT_EQ(answers.size(), 4u);
    const std::uint16_t slots[] = {1, 4, 13, 32};
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const std::string &d = answers[i];
        ASSERT_EQ(d.size(), 264u);
        EXPECT_EQ(d.substr(0, 16), response_header(GET_BROWSEDATA, GetParam().dev, 248, 0));
        EXPECT_EQ(slot_of(d), slots[i]);
        EXPECT_EQ(d.substr(16 + 244, 4), std::string("\0\0\x34\0", 4));
    }
}

INSTANTIATE_TEST_SUITE_P(Devices, BrowseRequestTest,
                         ::testing::Values(BrowseCase{"device_number", 7},
                                           BrowseCase{"all_devices", ALL_DEVICES}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(BrowseTest, RecordCarriesTheSlotsTextsByteForByte) {
    const auto answers = exchange(request_datagram(GET_BROWSEDATA, ALL_DEVICES));
    ASSERT_EQ(answers.size(), 4u);
    const std::string expected =
        response_header(GET_BROWSEDATA, ALL_DEVICES, 248) + std::string(32 + 72, '\0') +
        field(local_ipaddr, 20) + field("UPS-A", 20) + "\x05\x05" + field("SN-000001", 16) +
        le16(1) + field("KRV-1000-230-S", 20) + field("Communication OK", 30) +
        field("On Line", 30) + std::string(4, '\0');
    EXPECT_EQ(answers[0], expected);
    // A name of 20 characters fills its field without a terminator; the
    // record of a slot that is not polled has empty texts.
    EXPECT_EQ(answers[1].substr(16 + 124, 20), "Twenty characters!!!");
    EXPECT_EQ(answers[1].substr(16 + 144, 1), "\x05");
    EXPECT_EQ(answers[2].substr(16 + 145, 1), "\x01");
    EXPECT_EQ(answers[2].substr(16 + 184, 60), std::string(60, '\0'));
}

TEST_F(BrowseTest, NoSlotInUseSendsNothing) {
    for (int slot = 0; slot < device_slots; ++slot)
        records_[slot].Name[0] = '\0';
    EXPECT_TRUE(exchange(request_datagram(GET_BROWSEDATA, ALL_DEVICES)).empty());
}

TEST_F(BrowseTest, AnswerAfterBrowseCarriesOnlyItsOwnBytes) {
    ASSERT_EQ(exchange(request_datagram(GET_BROWSEDATA, 7)).size(), 4u);
    EXPECT_TRUE(exchange(request_datagram(SET_UPSCOMMAND, 7, payload_words(6, 0))).empty());
    const auto answers = exchange(request_datagram(GET_STATUS, 7));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].size(), 97u);
}

} // namespace
