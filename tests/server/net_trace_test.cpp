// The protocol server's traces: the header trace of swap_udp_header at
// level 4 and its silence below, and the dump of a received datagram, cut
// after 30 bytes at level 3 and whole at level 4.
#include <string>

#include <gtest/gtest.h>

#include "platform/local_time.h"
#include "server/protocol.h"
#include "tests/server/agent_fixture.h"

namespace {

// The dump line of the bytes, received or sent, ended as a line ends.
std::string items(const std::string &bytes, const char *arrow, bool cut = false) {
    std::string line;
    char item[8];
    for (unsigned char c : bytes) {
        std::snprintf(item, sizeof item, "%s%02X", arrow, c);
        line += item;
    }
    return line + (cut ? " ...\n\r" : "\n\r");
}

class TraceTest : public AgentFixture {
  protected:
    void SetUp() override {
        AgentFixture::SetUp();
        platform::set_fixed_local_time(platform::SYSTEMTIME{2024, 12, 1, 9, 14, 3, 7, 0});
    }
    void TearDown() override {
        platform::reset_local_time();
        AgentFixture::TearDown();
    }
};

TEST_F(TraceTest, HeaderTraceAtLevel4ShowsEveryFieldTwice) {
    DataNet header{GET_BROWSEDATA, 7, 0, 1, 248, 0, 1};
    trace(3);
    swap_udp_header(&header);
    EXPECT_EQ(console_.text(), "");
    trace(4);
    swap_udp_header(&header);
    EXPECT_EQ(console_.text(),
              "\nUDP header:  \n  Ident: 16 [10]\n  Dev: 7 [7]\n  ActualPacket: 0 [0]"
              "\n  TotalPackets: 1 [1]\n  Size: 248 [F8]\n  Password: 0 [0]"
              "\n  RR: 1 [1]");
    EXPECT_EQ(header.Ident, GET_BROWSEDATA);
    EXPECT_EQ(header.Size, 248u);
}

struct DumpCase {
    const char *name;
    std::uint8_t level;
    std::string (*expected)(const std::string &datagram);
};

void PrintTo(const DumpCase &c, std::ostream *os) { *os << c.name; }

class DumpTest : public TraceTest, public ::testing::WithParamInterface<DumpCase> {};

// A response datagram of 40 bytes: taken, dumped, and not answered.
TEST_P(DumpTest, ReceivedDatagramIsDumpedAfterItsLine) {
    const std::string datagram = request_datagram(GET_STATUS, 7, std::string(24, '\x5A'), 1);
    client_.send(port_, datagram);
    trace(GetParam().level);
    k_monitor = 3;
    EXPECT_EQ(udp_receive(pasive_udp_socket.load(), nullptr), 0);
    const std::string log = console_.text();
    const std::string heading = " 12\\09 14:03:07  received 40 bytes from 127.0.0.1: \n  \n";
    const auto at = log.find(heading);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.substr(0, at), "*!\n\r");
    EXPECT_EQ(log.substr(at + heading.size()), GetParam().expected(datagram));
}

INSTANTIATE_TEST_SUITE_P(
    Levels, DumpTest,
    ::testing::Values(
        DumpCase{"level3_cut_after_30", 3,
                 [](const std::string &d) {
                     return items(d.substr(0, 17), "<-") + items(d.substr(17, 13), "<-", true);
                 }},
        DumpCase{"level4_whole_then_header", 4,
                 [](const std::string &d) {
                     return items(d.substr(0, 17), "<-") + items(d.substr(17, 17), "<-") +
                            items(d.substr(34), "<-") +
                            "\nUDP header:  \n  Ident: 3 [3]\n  Dev: 7 [7]\n  ActualPacket: 0 [0]"
                            "\n  TotalPackets: 1 [1]\n  Size: 40 [28]\n  Password: 0 [0]"
                            "\n  RR: 1 [1]";
                 }}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
