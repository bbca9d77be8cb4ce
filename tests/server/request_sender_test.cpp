// The client-side request sender: the requests it composes, received byte
// for byte by a socket of the test on [Network] Port + 4, its look-up of
// host names, the destinations it refuses, and the send that fails.
#include <cerrno>
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "platform/thread.h"
#include "platform/winsock.h"
#include "server/protocol.h"
#include "server/request_sender.h"
#include "shared/debug_log.h"
#include "shared/ini_record.h"
#include "tests/server/agent_fixture.h"
#include "tests/support/console_capture.h"
#include "tests/support/wait_until.h"

namespace {

using namespace platform;
// The system's u_long and u_short of <sys/types.h> would make these
// ambiguous through the using-directive.
using platform::u_long;
using platform::u_short;

class RequestSenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data_), 0);
        receiver_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sender_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        u_long on = 1;
        ioctlsocket(receiver_, FIONBIO, &on);
        port_ = bind_free_port(receiver_);
        ASSERT_NE(port_, 0);
        INI.Network.Port = static_cast<std::uint16_t>(port_ - 4);
        k_monitor = 0;
        k_monitor1 = 0;
        k_errorlog = 0;
        bDebug = 0;
    }
    void TearDown() override {
        closesocket(receiver_);
        closesocket(sender_);
        WSACleanup();
        bDebug = 0;
    }

    std::string received() {
        char buffer[4096];
        int got = -1;
        const bool arrived = osktest::wait_until(
            [&] { return (got = recvfrom(receiver_, buffer, sizeof buffer, 0, nullptr, nullptr)) >= 0; },
            std::chrono::milliseconds(400), std::chrono::milliseconds(2));
        return arrived ? std::string(buffer, static_cast<std::size_t>(got)) : "<nothing>";
    }

    WSADATA data_{};
    SOCKET receiver_ = INVALID_SOCKET;
    SOCKET sender_ = INVALID_SOCKET;
    std::uint16_t port_ = 0;
};

struct SentCase {
    const char *name;
    int type;
    std::uint16_t device;
    std::string payload;
    std::string expected;
};

void PrintTo(const SentCase &c, std::ostream *os) { *os << c.name; }

class SentRequestTest : public RequestSenderTest, public ::testing::WithParamInterface<SentCase> {};

TEST_P(SentRequestTest, RequestIsComposedAsTheTypeWants) {
    const SentCase &c = GetParam();
    EXPECT_EQ(udp_rq_send(sender_, c.type, "127.0.0.1", c.device,
                          reinterpret_cast<const std::uint8_t *>(c.payload.data()),
                          static_cast<std::uint16_t>(c.payload.size())),
              0);
    EXPECT_EQ(received(), c.expected);
}

// Header: Ident, Dev, ActualPacket 0, TotalPackets 1, Size (whole
// length), Password 0, RR 0.
std::string header(std::uint16_t type, std::uint16_t device, std::uint32_t size) {
    return le16(type) + le16(device) + le16(0) + le16(1) + le32(size) + le16(0) + le16(0);
}

INSTANTIATE_TEST_SUITE_P(
    Types, SentRequestTest,
    ::testing::Values(
        SentCase{"status", GET_STATUS, 7, "ignored", header(GET_STATUS, 7, 16)},
        SentCase{"browse_all", GET_BROWSEDATA, 0xFFFF, "", header(GET_BROWSEDATA, 0xFFFF, 16)},
        SentCase{"devdata", GET_DEVDATA, 3, "", header(GET_DEVDATA, 3, 22) + "**0200"},
        SentCase{"shutdown", SET_UPSSHUTDOWN, 9, std::string("\x78\x00\xFF\xFF", 4),
                 header(SET_UPSSHUTDOWN, 9, 20) + std::string("\x78\x00\xFF\xFF", 4)},
        SentCase{"command", SET_UPSCOMMAND, 9, std::string("\x06\x00\x1E\x00", 4),
                 header(SET_UPSCOMMAND, 9, 20) + std::string("\x06\x00\x1E\x00", 4)},
        SentCase{"type_300", 300, 1, "", header(300, 1, 16)}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(RequestSenderTest, HostNameIsLookedUp) {
    EXPECT_EQ(udp_rq_send(sender_, GET_IDENTIF, "localhost", 2, nullptr, 0), 0);
    EXPECT_EQ(received(), header(GET_IDENTIF, 2, 16));
}

TEST_F(RequestSenderTest, PayloadIsCutToTheBuffer) {
    const std::string payload(3000, 'p');
    EXPECT_EQ(udp_rq_send(sender_, SET_UPSSHUTDOWN, "127.0.0.1", 2,
                          reinterpret_cast<const std::uint8_t *>(payload.data()),
                          static_cast<std::uint16_t>(payload.size())),
              0);
    EXPECT_EQ(received().size(), 2500u);
}

struct BadDestination {
    const char *name;
    const char *host;
};

void PrintTo(const BadDestination &c, std::ostream *os) { *os << c.name; }

class BadDestinationTest : public RequestSenderTest,
                           public ::testing::WithParamInterface<BadDestination> {};

TEST_P(BadDestinationTest, IsRefusedWithTheErrorLine) {
    ConsoleCapture console;
    bDebug = 1;
    k_monitor = 1;
    k_errorlog = 1;
    EXPECT_EQ(udp_rq_send(sender_, GET_STATUS, GetParam().host, 1, nullptr, 0), 1);
    const std::string shown = std::string(GetParam().host).substr(0, 20);
    EXPECT_NE(console.text().find("ERROR  : Bad request IP address [" + shown + "]"),
              std::string::npos)
        << console.text();
    EXPECT_EQ(received(), "<nothing>");
}

// A host text longer than 20 characters is refused whole: "longer" means
// 127.0.0.1, its first 20 characters 127.0.0.0, another address.
INSTANTIATE_TEST_SUITE_P(Hosts, BadDestinationTest,
                         ::testing::Values(BadDestination{"all_ones", "255.255.255.255"},
                                           BadDestination{"empty", ""},
                                           BadDestination{"unknown", "no-such-host.invalid"},
                                           BadDestination{"long", "1.2.3.4.5.6.7.8.9.10.11.12.13"},
                                           BadDestination{"longer", "127.000000000000000001"}),
                         [](const auto &info) { return std::string(info.param.name); });

// The destination port is [Network] Port + 4 in 16 bits: 65532 gives port
// 0, to which nothing can be sent; the failed send is traced and reported
// with the system's error.
TEST_F(RequestSenderTest, PortWrapsAndAFailedSendIsReported) {
    ConsoleCapture console;
    bDebug = 1;
    k_monitor1 = 4;
    INI.Network.Port = 65532;
    EXPECT_EQ(udp_rq_send(sender_, GET_STATUS, "127.0.0.1", 1, nullptr, 0), 2);
    EXPECT_EQ(WSAGetLastError(), EINVAL);
    EXPECT_EQ(from_request.sin_port, 0);
    EXPECT_NE(console.text().find(" Function: sendto Error: " + std::to_string(EINVAL) + " "),
              std::string::npos)
        << console.text();
}

TEST_F(RequestSenderTest, ErrorLineNeedsLevel2OrTheErrorSwitch) {
    ConsoleCapture console;
    bDebug = 1;
    k_monitor = 1;
    EXPECT_EQ(udp_rq_send(sender_, GET_STATUS, "", 1, nullptr, 0), 1);
    EXPECT_EQ(console.text(), "");
    EXPECT_EQ(udp_rq_send(0, GET_STATUS, "127.0.0.1", 1, nullptr, 0), 9);
}

} // namespace
