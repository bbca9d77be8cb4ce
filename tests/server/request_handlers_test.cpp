// Answers to the read requests over real datagrams on loopback, byte for
// byte: identification, status, device data and the error response; the
// header's Dev and Password in every answer; and the requests that get no
// answer (a response datagram, a request of any type for a device that
// does not communicate, which leaves no command either but the cancel, a
// device that is not an SNMP device, and requests for all devices, which
// compose nothing of their own and must not resend an earlier answer).
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "server/protocol.h"
#include "tests/server/agent_fixture.h"
#include "tests/support/debug_lines.h"

namespace {

class ResponsesTest : public AgentFixture {
  protected:
    // Slot 0: device number 7, with every field that an answer carries.
    TDevice &ups() {
        TDevice &r = add_device(0, "ABCDEFGHIJKLMNOPQRST", 7, AGSNMP, 11);
        std::strncpy(r.Port, "127.0.0.2", sizeof r.Port);
        std::strncpy(r.PRTK, "KRV-1000-230-S", sizeof r.PRTK);
        r.Address = 3;
        r.IdentWord = 0x1234;
        r.StatusByte = 0x21;
        r.StatusFlags = status_on_battery;
        std::strncpy(r.StatusText, "AC Fail ! Remaining 12 min", sizeof r.StatusText);
        r.CS = 0;
        std::strncpy(r.CommText, "Communication OK", sizeof r.CommText);
        return r;
    }
};

TEST_F(ResponsesTest, IdentificationCarriesTheRecordAndVersion21) {
    ups();
    const auto answers = exchange(request_datagram(GET_IDENTIF, 7));
    ASSERT_EQ(answers.size(), 1u);
    const std::string expected =
        response_header(GET_IDENTIF, 7, 99) + std::string("ABCDEFGHIJKLMNOPQRST") +
        field("127.0.0.2", 20) + le16(7) + std::string(1, '\x03') + std::string(8, '\0') +
        std::string(1, '\x0B') + std::string(1, '\x05') + le16(0x1234) + field("2.1", 8) + le16(0) +
        std::string(14, '\0') + field("KRV-1000-230-S", 20);
    ASSERT_EQ(expected.size(), 115u);
    EXPECT_EQ(answers[0], expected);
}

TEST_F(ResponsesTest, StatusCarriesFlagsAndBothTexts) {
    ups();
    const auto answers = exchange(request_datagram(GET_STATUS, 7));
    ASSERT_EQ(answers.size(), 1u);
    const std::string expected = response_header(GET_STATUS, 7, 81) + "\x21\x04" +
                                 field("AC Fail ! Remaining 12 min", 30) + std::string(1, '\0') +
                                 field("Communication OK", 30) + std::string(18, '\0');
    ASSERT_EQ(expected.size(), 97u);
    EXPECT_EQ(answers[0], expected);
}

TEST_F(ResponsesTest, DeviceDataIsTheRecordsDataBlockWhole) {
    TDevice &r = ups();
    auto *block = reinterpret_cast<std::uint8_t *>(&r);
    for (std::size_t i = 0; i < device_data_size; ++i)
        block[i] = static_cast<std::uint8_t>(i * 7 + 3);
    r.InputVoltage[0] = 231;
    r.MinutesRemaining = 0xFFFF;
    r.ConfigOutputFreq = 500;
    const auto answers = exchange(request_datagram(GET_DEVDATA, 7, "**0200"));
    ASSERT_EQ(answers.size(), 1u);
    ASSERT_EQ(answers[0].size(), 692u);
    EXPECT_EQ(answers[0].substr(0, 16), response_header(GET_DEVDATA, 7, 676));
    EXPECT_EQ(answers[0].substr(16), std::string(reinterpret_cast<const char *>(block), 676));
    EXPECT_EQ(answers[0].substr(16 + 250, 2), le16(231));
    EXPECT_EQ(answers[0].substr(16 + 290, 2), le16(0xFFFF));
    EXPECT_EQ(answers[0].substr(16 + 670, 2), le16(500));
}

struct PasswordCase {
    const char *name;
    std::string request;
    std::size_t size;
};

void PrintTo(const PasswordCase &c, std::ostream *os) { *os << c.name; }

class PasswordTest : public ResponsesTest, public ::testing::WithParamInterface<PasswordCase> {};

// Every answer of the receive carries the password, the error response
// included.
TEST_P(PasswordTest, PasswordProtectionFillsHeaderBytes12And13) {
    ups();
    INI.System.PasswordProtection = 1234;
    const auto answers = exchange(GetParam().request);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].size(), GetParam().size);
    EXPECT_EQ(answers[0].substr(12, 2), "\xD2\x04");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PasswordTest,
    ::testing::Values(PasswordCase{"identif", request_datagram(GET_IDENTIF, 7), 115},
                      PasswordCase{"status", request_datagram(GET_STATUS, 7), 97},
                      PasswordCase{"devdata", request_datagram(GET_DEVDATA, 7), 692},
                      PasswordCase{"unknown_type", request_datagram(2, 7), 19}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ResponsesTest, LowestSlotWinsAmongEqualDeviceNumbers) {
    add_device(4, "first", 9);
    add_device(9, "second", 9);
    const auto answers = exchange(request_datagram(GET_IDENTIF, 9));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].substr(16, 20), field("first", 20));
}

struct UnknownType {
    std::uint16_t type;
    char low_byte;
};

void PrintTo(const UnknownType &c, std::ostream *os) { *os << "type " << c.type; }

class UnknownTypeTest : public ResponsesTest, public ::testing::WithParamInterface<UnknownType> {};

TEST_P(UnknownTypeTest, GetsError99WithTheTypesLowByte) {
    ups();
    const auto answers = exchange(request_datagram(GetParam().type, 7));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0], response_header(SEND_ERROR, 7, 3) + GetParam().low_byte + "\x63" +
                              std::string(1, '\0'));
}

INSTANTIATE_TEST_SUITE_P(Types, UnknownTypeTest,
                         ::testing::Values(UnknownType{0, '\x00'}, UnknownType{2, '\x02'},
                                           UnknownType{250, '\xFA'}, UnknownType{272, '\x10'},
                                           UnknownType{0xFFFF, '\xFF'}),
                         [](const auto &info) { return "type" + std::to_string(info.param.type); });

TEST_F(ResponsesTest, ResponseDatagramIsConsumedWithoutAnswer) {
    ups();
    trace(2);
    EXPECT_TRUE(exchange(request_datagram(GET_STATUS, 7, "", 1)).empty());
    EXPECT_EQ(console_.text().find("UDP  : Receive REQUEST"), std::string::npos);
    // The datagram is gone: the next tick finds nothing.
    EXPECT_EQ(udp_receive(pasive_udp_socket.load(), nullptr), 1);
}

struct GateCase {
    const char *name;
    std::uint16_t type;
    std::string payload;
    std::size_t answers; // while the device communicates
    bool queued;         // a command is left pending for the slot
    // Queued also for a device that does not communicate: only the cancel,
    // so that a shutdown queued before an outage can still be stopped.
    bool queued_silent = false;
};

void PrintTo(const GateCase &c, std::ostream *os) { *os << c.name; }

class ReceiveGateTest : public ResponsesTest,
                        public ::testing::WithParamInterface<std::tuple<GateCase, int>> {};

// A request for a device whose last poll failed gets no answer and leaves
// no command, whatever its type but the cancel: a shutdown must not wait
// for a UPS that cannot be reached.
TEST_P(ReceiveGateTest, OnlyACommunicatingDeviceIsServed) {
    const auto &[c, ready] = GetParam();
    ups();
    set_ready_status(0, ready);
    const auto answers = exchange(request_datagram(c.type, 7, c.payload));
    EXPECT_EQ(answers.size(), ready != 0 ? c.answers : 0u);
    EXPECT_EQ(pending_command_take(0).kind != 0, (ready != 0 || c.queued_silent) && c.queued);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ReceiveGateTest,
    ::testing::Combine(
        ::testing::Values(GateCase{"identif", GET_IDENTIF, "", 1, false},
                          GateCase{"status", GET_STATUS, "", 1, false},
                          GateCase{"devdata", GET_DEVDATA, "**0200", 1, false},
                          GateCase{"shutdown", SET_UPSSHUTDOWN, payload_words(60, 0xFFFF), 0, true},
                          GateCase{"command", SET_UPSCOMMAND, payload_words(6, 30), 0, true, true},
                          GateCase{"browse", GET_BROWSEDATA, "", 1, false}),
        ::testing::Values(0, 1)),
    [](const auto &info) {
        return std::string(std::get<0>(info.param).name) + "_ready" +
               std::to_string(std::get<1>(info.param));
    });

TEST_F(ResponsesTest, NoAnswerForADeviceThatIsNoSnmpDevice) {
    add_device(2, "serial ups", 5, 1);
    add_device(3, "unnamed number", 6);
    std::memset(records_[3].Name, 0, sizeof records_[3].Name);
    trace(0);
    EXPECT_TRUE(exchange({request_datagram(GET_STATUS, 5), request_datagram(GET_STATUS, 6),
                          request_datagram(GET_STATUS, 8)})
                    .empty());
    EXPECT_EQ(osktest::occurrences(console_.text(), "UDP  : Decoded device [32] ... OK "), 3u);
}

TEST_F(ResponsesTest, RequestsForAllDevicesComposeNothingAndResendNothing) {
    ups();
    // A full answer first, so that the response buffer holds its bytes.
    ASSERT_EQ(exchange(request_datagram(GET_DEVDATA, 7)).size(), 1u);
    trace(2);
    for (std::uint16_t type : {GET_IDENTIF, GET_STATUS, GET_DEVDATA}) {
        console_.clear();
        EXPECT_TRUE(exchange(request_datagram(type, ALL_DEVICES)).empty()) << type;
        const std::string log = console_.text();
        EXPECT_NE(log.find("UDP  : Decoded device [65535] ... OK "), std::string::npos) << log;
        // 127.0.0.1, its first octet in the lowest byte.
        EXPECT_NE(log.find("UDP  : Receive Broadcast RESPONSE from [16777343] ... OK "),
                  std::string::npos)
            << log;
        EXPECT_EQ(log.find("Receive RQ UDP"), std::string::npos) << log;
        EXPECT_NE(log.find("NO DATA - SEND RESPONSE ABORTED ! "), std::string::npos) << log;
    }
}

TEST_F(ResponsesTest, TraceShowsTheDeviceNumberThenTheSlotNumber) {
    ups();
    trace(2);
    ASSERT_EQ(exchange(request_datagram(GET_STATUS, 7)).size(), 1u);
    const std::string log = console_.text();
    const auto decoded = log.find("UDP  : Decoded device [0] ... OK ");
    const auto number = log.find("Decoded device number : 7");
    const auto line = log.find("Receive RQ UDP GET_STATUS packet ... ");
    const auto sent = log.find("UDP  : Send RESPONSE packet to [127.0.0.1] ... OK ");
    ASSERT_NE(decoded, std::string::npos) << log;
    ASSERT_NE(number, std::string::npos) << log;
    ASSERT_NE(line, std::string::npos) << log;
    ASSERT_NE(sent, std::string::npos) << log;
    EXPECT_LT(decoded, number);
    EXPECT_LT(number, line);
    EXPECT_LT(line, sent);
}

} // namespace
