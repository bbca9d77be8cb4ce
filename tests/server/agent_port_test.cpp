// The agent's port: the socket layer's start report, a port that another
// socket holds (the open fails, the socket is closed, no port is set), the
// open that follows, and a later open that changes nothing; the port that
// [Network] Port gives, the wrapped ports and the system's choice
// included; and the rule that decides which host names are looked up.
#include <string>

#include <gtest/gtest.h>

#include "platform/winsock.h"
#include "server/agent_port.h"
#include "shared/debug_log.h"
#include "shared/ini_record.h"
#include "shared/pending_commands.h"
#include "tests/support/bound_port.h"
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

// True when no socket holds the UDP port.
bool port_is_free(std::uint16_t port) {
    platform::WSADATA data;
    platform::WSAStartup(platform::MAKEWORD(1, 1), &data);
    const platform::SOCKET probe =
        platform::socket(platform::AF_INET, platform::SOCK_DGRAM, platform::IPPROTO_UDP);
    platform::sockaddr_in address{};
    address.sin_family = platform::AF_INET;
    address.sin_port = platform::htons(port);
    const bool free = platform::bind(probe, reinterpret_cast<const platform::sockaddr *>(&address),
                                     sizeof address) == 0;
    platform::closesocket(probe);
    platform::WSACleanup();
    return free;
}

// Closes the agent's port when an earlier test opened it. The close ends
// one start of the socket layer, so one is added first: the start that
// the agent's port made stays.
void close_agent_port() {
    platform::WSADATA data;
    platform::WSAStartup(platform::MAKEWORD(1, 1), &data);
    close_tcpip_port();
}

struct PortCase {
    std::uint16_t configured;
    const char *shown;   // the port in the open line
    std::uint16_t bound; // 0: the system's choice
};

void PrintTo(const PortCase &c, std::ostream *os) { *os << "Port=" << c.configured; }

class ConfiguredPortTest : public ::testing::TestWithParam<PortCase> {
  protected:
    void TearDown() override {
        close_agent_port();
        bDebug = 0;
    }
};

// The port is [Network] Port minus 4 in 32 bits, of which the bind takes
// the low 16: Port 0 to 3 wrap to the top ports, and Port 4 leaves the
// choice to the system.
TEST_P(ConfiguredPortTest, BindsTheLow16BitsOfPortMinus4) {
    const PortCase &c = GetParam();
    if (c.bound != 0 && !port_is_free(c.bound))
        GTEST_SKIP() << "UDP port " << c.bound << " is held by another program";
    close_agent_port();
    INI.Network.Port = c.configured;
    ConsoleCapture console;
    bDebug = 1;
    k_monitor1 = 1;
    ASSERT_EQ(open_tcpip_port(), 0) << console.text();
    EXPECT_TRUE(contains(console.text(),
                         std::string("Open TCP/IP pasive port [") + c.shown + "] ... OK \n"))
        << console.text();
    const std::uint16_t bound = bound_port(pasive_udp_socket.load());
    if (c.bound != 0)
        EXPECT_EQ(bound, c.bound);
    else
        EXPECT_NE(bound, 0);
}

INSTANTIATE_TEST_SUITE_P(Ports, ConfiguredPortTest,
                         ::testing::Values(PortCase{0, "4294967292", 65532},
                                           PortCase{1, "4294967293", 65533},
                                           PortCase{2, "4294967294", 65534},
                                           PortCase{3, "4294967295", 65535}, PortCase{4, "0", 0}),
                         [](const auto &info) {
                             return "port" + std::to_string(info.param.configured);
                         });

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
