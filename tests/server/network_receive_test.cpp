// The network thread's tick over real datagrams: at most six datagrams a
// tick, and datagrams of any length and content: those over 2500 bytes
// and empty ones are discarded without blocking the queue, short ones read
// as zeros beyond their end, and none is answered unless it is a request
// for a communicating device.
#include <algorithm>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "server/agent_port.h"
#include "server/network_receive.h"
#include "server/protocol.h"
#include "tests/server/agent_fixture.h"

namespace {

class NetworkTickTest : public AgentFixture {
  protected:
    void SetUp() override {
        AgentFixture::SetUp();
        add_device(0, "zero", 0);
        add_device(1, "seven", 7);
    }
};

TEST_F(NetworkTickTest, SixRequestsAreAnsweredInATickAndTheSeventhInTheNext) {
    std::vector<std::string> requests;
    for (int i = 0; i < 7; ++i)
        requests.push_back(request_datagram(GET_STATUS, 7));
    EXPECT_EQ(exchange(requests).size(), 6u);
    NetworkComm();
    EXPECT_EQ(client_.receive_all().size(), 1u);
    NetworkComm();
    EXPECT_TRUE(client_.receive_all().empty());
}

TEST_F(NetworkTickTest, ReceiveResults) {
    const int s = pasive_udp_socket.load();
    EXPECT_EQ(udp_receive(0, nullptr), 9);
    EXPECT_EQ(udp_receive(s, nullptr), 1);
    // A failed query of the waiting bytes counts as nothing waiting.
    EXPECT_EQ(udp_receive(1 << 20, nullptr), 1);
    client_.send(port_, std::string());
    EXPECT_EQ(udp_receive(s, nullptr), 2);
    client_.send(port_, std::string(2501, '\x03'));
    EXPECT_EQ(udp_receive(s, nullptr), 2);
    client_.send(port_, request_datagram(GET_STATUS, 7));
    EXPECT_EQ(udp_receive(s, nullptr), 0);
    EXPECT_EQ(client_.receive_all().size(), 1u);
}

struct BadDatagram {
    const char *name;
    std::string bytes;
};

void PrintTo(const BadDatagram &c, std::ostream *os) { *os << c.name; }

class DiscardedDatagramTest : public NetworkTickTest,
                              public ::testing::WithParamInterface<BadDatagram> {};

// The bad datagram ends its tick; the request behind it is answered in the
// next one.
TEST_P(DiscardedDatagramTest, IsDroppedAndDoesNotBlockTheQueue) {
    const std::string follow = request_datagram(GET_STATUS, 7);
    EXPECT_TRUE(exchange({GetParam().bytes, follow}).empty());
    NetworkComm();
    const auto answers = client_.receive_all();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].size(), 97u);
}

INSTANTIATE_TEST_SUITE_P(Datagrams, DiscardedDatagramTest,
                         ::testing::Values(BadDatagram{"empty", std::string()},
                                           BadDatagram{"just_over_2500",
                                                       request_datagram(GET_STATUS, 7) +
                                                           std::string(2501 - 16, '\0')},
                                           BadDatagram{"largest", std::string(65507, '\x04')}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(NetworkTickTest, RequestOf2500BytesIsTakenWhole) {
    const auto answers = exchange(request_datagram(GET_STATUS, 7) + std::string(2500 - 16, '\x55'));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].size(), 97u);
}

struct ShortDatagram {
    const char *name;
    std::string bytes;
    std::size_t answer; // length of the one answer, 0 for none
};

void PrintTo(const ShortDatagram &c, std::ostream *os) { *os << c.name; }

class ShortDatagramTest : public NetworkTickTest,
                          public ::testing::WithParamInterface<ShortDatagram> {};

// Whatever the datagram leaves out reads as 0: device number 0 and RR 0.
TEST_P(ShortDatagramTest, MissingBytesReadAsZero) {
    const auto answers = exchange(GetParam().bytes);
    if (GetParam().answer == 0) {
        EXPECT_TRUE(answers.empty());
    } else {
        ASSERT_EQ(answers.size(), 1u);
        EXPECT_EQ(answers[0].size(), GetParam().answer);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Datagrams, ShortDatagramTest,
    ::testing::Values(ShortDatagram{"one_byte_status", "\x03", 97},
                      ShortDatagram{"two_bytes_identif", std::string("\x01\x00", 2), 115},
                      ShortDatagram{"one_byte_unknown_type", "\x02", 19},
                      ShortDatagram{"header_only_device_7", request_datagram(GET_STATUS, 7), 97},
                      ShortDatagram{"fifteen_bytes_with_rr",
                                    request_datagram(GET_STATUS, 7).substr(0, 14) + "\x01", 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(NetworkTickTest, WithoutDeviceZeroAShortDatagramGetsNoAnswer) {
    records_[0].Name[0] = '\0';
    EXPECT_TRUE(exchange("\x03").empty());
}

// Random datagrams of every length: every answer is a whole response of
// the protocol, and the agent keeps answering afterwards.
TEST_F(NetworkTickTest, GarbageIsAnsweredOnlyWithWholeResponses) {
    std::mt19937 random(20241209);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 3000);
    for (int round = 0; round < 300; ++round) {
        std::string d(static_cast<std::size_t>(length(random)), '\0');
        for (char &c : d)
            c = static_cast<char>(byte(random));
        // Keep some near-requests: small types, device 0 or 7, RR 0.
        if (round % 3 == 0 && d.size() >= 16) {
            d[0] = static_cast<char>(round % 20);
            d[1] = 0;
            d[2] = static_cast<char>(round % 2 ? 7 : 0);
            d[3] = 0;
            d[14] = 0;
            d[15] = 0;
        }
        for (const std::string &answer : exchange(d, 2)) {
            ASSERT_GE(answer.size(), 16u);
            const std::size_t size = answer.size();
            EXPECT_TRUE(size == 19 || size == 97 || size == 115 || size == 692 || size == 264)
                << size;
            EXPECT_EQ(answer.substr(14, 2), std::string("\x01\x00", 2));
        }
    }
    EXPECT_EQ(exchange(request_datagram(GET_STATUS, 7)).size(), 1u);
}

TEST_F(NetworkTickTest, TickTracesAtVerbosity4) {
    trace(0);
    k_monitor = 4;
    NetworkComm();
    EXPECT_EQ(console_.text(), "*");
    console_.clear();
    exchange({request_datagram(GET_STATUS, 7, "", 1), request_datagram(GET_STATUS, 7, "", 1)});
    const std::string log = console_.text();
    EXPECT_EQ(log.substr(0, 1), "*");
    EXPECT_EQ(std::count(log.begin(), log.end(), '@'), 2) << log;
}

} // namespace
