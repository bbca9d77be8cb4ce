// The agent's port: the socket layer's start report, a port that another
// socket holds (the open fails, the socket is closed, no port is set), the
// open that follows, and a later open that changes nothing; and the rule
// that decides which host names are looked up.
#include <string>

#include <gtest/gtest.h>

#include "platform/winsock.h"
#include "server/agent_port.h"
#include "shared/debug_log.h"
#include "shared/ini_record.h"
#include "shared/pending_commands.h"
#include "tests/support/console_capture.h"
#include "tests/support/protocol_client.h"

namespace {

// A socket of the test bound to a free port, which it returns.
std::uint16_t hold_a_port(platform::SOCKET *holder) {
    platform::WSADATA data;
    EXPECT_EQ(platform::WSAStartup(platform::MAKEWORD(1, 1), &data), 0);
    *holder = platform::socket(platform::AF_INET, platform::SOCK_DGRAM, platform::IPPROTO_UDP);
    return bind_free_port(*holder);
}

bool contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

TEST(AgentPortTest, PortInUseFailsThenOpensOnceAndStaysOpen) {
    platform::SOCKET holder = platform::INVALID_SOCKET;
    const std::uint16_t port = hold_a_port(&holder);
    ASSERT_NE(port, 0);
    INI.Network.Port = static_cast<std::uint16_t>(port + 4);
    const std::string open_line = "Open TCP/IP pasive port [" + std::to_string(port) + "] ... ";

    ConsoleCapture console;
    bDebug = 1;
    k_monitor1 = 1;
    pending_command_store(4, 1, 0, 60, 0xFFFF);
    EXPECT_EQ(open_tcpip_port(), 2);
    EXPECT_EQ(pasive_udp_socket.load(), 0);
    std::string log = console.text();
    EXPECT_EQ(log.find("\nOpen WINSOCK.DLL ... "), 0u) << log;
    for (const char *line : {"   \nVersion: 2.2", "   \nStatus: Running",
                             "   \nMax.sockets: ", "   \nMax.UDP datagram size: 65507",
                             "   \nLocal IP address: ", "\n\n"})
        EXPECT_TRUE(contains(log, line)) << line << "\n" << log;
    EXPECT_TRUE(contains(log, open_line + "\n\rBind UDP socket on port " + std::to_string(port) +
                                  " error 4294967295 [FFFFFFFF] !Error !!!\n"))
        << log;
    // The socket existed, so the pending commands were cleared.
    EXPECT_EQ(pending_command_take(4).kind, 0);

    platform::closesocket(holder);
    console.clear();
    k_monitor1 = 2;
    EXPECT_EQ(open_tcpip_port(), 0);
    EXPECT_NE(pasive_udp_socket.load(), 0);
    log = console.text();
    // The socket layer started before: no second report.
    EXPECT_EQ(log, open_line + std::string(local_node) + " [" + local_ipaddr + "] ... OK \n");

    pending_command_store(4, 1, 0, 60, 0xFFFF);
    const int socket = pasive_udp_socket.load();
    console.clear();
    EXPECT_EQ(open_tcpip_port(), 0);
    EXPECT_EQ(pasive_udp_socket.load(), socket);
    EXPECT_EQ(console.text(), "");
    EXPECT_EQ(pending_command_take(4).kind, 1);
    bDebug = 0;
}

TEST(AgentPortTest, LocalAddressIsThatOfTheHostName) {
    platform::WSADATA data;
    ASSERT_EQ(platform::WSAStartup(platform::MAKEWORD(1, 1), &data), 0);
    char name[256] = {};
    ASSERT_EQ(platform::gethostname(name, sizeof name), 0);
    const int s = udp_open(0, 0);
    ASSERT_NE(s, 0);
    udp_close(s);
    EXPECT_STREQ(local_node, name);
    platform::in_addr address{};
    if (look_up_host(name, &address))
        EXPECT_STREQ(local_ipaddr, platform::inet_ntoa(address));
    else
        EXPECT_STREQ(local_ipaddr, "");
}

struct HostNameCase {
    const char *name;
    bool looked_up;
};

void PrintTo(const HostNameCase &c, std::ostream *os) { *os << '"' << c.name << '"'; }

class HostNameRuleTest : public ::testing::TestWithParam<HostNameCase> {};

TEST_P(HostNameRuleTest, OnlyNamesWithOtherThanDigitsAndFullStopsAreLookedUp) {
    EXPECT_EQ(host_name_looked_up(GetParam().name), GetParam().looked_up);
}

INSTANTIATE_TEST_SUITE_P(Names, HostNameRuleTest,
                         ::testing::Values(HostNameCase{"", false},
                                           HostNameCase{"127.0.0.1", false},
                                           HostNameCase{".1", false}, HostNameCase{"12345", false},
                                           HostNameCase{"...", false},
                                           HostNameCase{"localhost", true},
                                           HostNameCase{"1.2.3.x", true},
                                           HostNameCase{"ups-7", true}, HostNameCase{"-1", true}),
                         [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(AgentPortTest, UnlookedNamesGetNoHostEntry) {
    EXPECT_EQ(mygethostbyname("10.0.0.1"), nullptr);
    EXPECT_EQ(mygethostbyname(""), nullptr);
    EXPECT_NE(mygethostbyname("localhost"), nullptr);
}

TEST(AgentPortTest, DottedTextIsInNtoaBuf) {
    platform::in_addr address{};
    address.s_addr = platform::inet_addr("192.168.200.7");
    EXPECT_EQ(inet_ntoa_custom(address), ntoa_buf);
    EXPECT_STREQ(ntoa_buf, "192.168.200.7");
}

} // namespace
