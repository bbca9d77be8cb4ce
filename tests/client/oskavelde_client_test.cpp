// oskavelde-client against the agent's real port: its documented output
// for a status request, a browse of all devices, a command request that
// gets no answer, the hex dump, and its command-line errors, each named. A thread of
// the test runs the network ticks meanwhile. And a peer that is not the
// agent: what it sends back is printed but is no answer.
#include <atomic>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/thread.h"
#include "platform/winsock.h"
#include "server/network_receive.h"
#include "server/protocol.h"
#include "shared/pending_commands.h"
#include "tests/server/agent_fixture.h"
#include "tests/support/command_output.h"
#include "tests/support/protocol_client.h"

namespace {

class ClientOutput : public AgentFixture {
  protected:
    void SetUp() override {
        AgentFixture::SetUp();
        TDevice &r = add_device(2, "UPS-A", 7);
        r.StatusFlags = status_on_battery;
        std::strncpy(r.StatusText, "AC Fail ! Remaining 12 min", sizeof r.StatusText);
        std::strncpy(r.CommText, "Communication OK", sizeof r.CommText);
        add_device(5, "UPS-B", 8);
        ticking_ = true;
        ticks_ = std::thread([this] {
            while (ticking_.load()) {
                NetworkComm();
                platform::Sleep(5);
            }
        });
    }
    void TearDown() override {
        ticking_ = false;
        ticks_.join();
        AgentFixture::TearDown();
    }

    osktest::CommandOutput run(const std::string &arguments) {
        return osktest::run_command(std::string(OSK_BINARY_DIR) + "/oskavelde-client " + arguments);
    }
    std::string at_agent() const { return "127.0.0.1 " + std::to_string(port_) + " "; }

    std::atomic<bool> ticking_{false};
    std::thread ticks_;
};

TEST_F(ClientOutput, StatusIsPrintedDecoded) {
    const osktest::CommandOutput r = run("-w 3000 " + at_agent() + "GET_STATUS 7");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out,
              "request: TYPE=3 (GET_STATUS) DEVICE=7 to 127.0.0.1:" + std::to_string(port_) +
                  "\n"
                  "response 1: 97 bytes from 127.0.0.1:" +
                  std::to_string(port_) +
                  "\n"
                  "header: Ident=3 Dev=7 ActualPacket=0 TotalPackets=1 Size=81 Password=0 RR=1\n"
                  "StatusData:\n"
                  "  StatusByte: 0\n"
                  "  StatusFlags: 0x04\n"
                  "  StatusText: \"AC Fail ! Remaining 12 min\"\n"
                  "  CS: 0\n"
                  "  CommText: \"Communication OK\"\n"
                  "responses: 1\n");
}

TEST_F(ClientOutput, BrowseOfAllDevicesPrintsEveryRecord) {
    const osktest::CommandOutput r = run("-w 3000 " + at_agent() + "16 all");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.out.find("request: TYPE=16 (GET_BROWSEDATA) DEVICE=65535"), std::string::npos);
    EXPECT_NE(r.out.find("  Slot: 3\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  Slot: 6\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("responses: 2\n"), std::string::npos) << r.out;
}

TEST_F(ClientOutput, CommandRequestIsQueuedAndGetsNoAnswer) {
    const osktest::CommandOutput r = run("-w 500 " + at_agent() + "SET_UPSSHUTDOWN 8 90");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.out.find("no response\n"), std::string::npos) << r.out;
    const TPendingCommand pending = pending_command_take(5);
    EXPECT_EQ(pending.kind, 1);
    EXPECT_EQ(pending.delay, 90);
    EXPECT_EQ(pending.reboot, 0xFFFF);
}

TEST_F(ClientOutput, HexDumpFollowsTheDecodedDatagram) {
    const osktest::CommandOutput r = run("-x -w 3000 " + at_agent() + "GET_IDENTIF 7");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.out.find("  Version: \"2.1\"\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  0000: 01 00 07 00 00 00 01 00 63 00 00 00 00 00 01 00\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("  0070: 00 00 00\n"), std::string::npos) << r.out;
}

// Each refused command line names the refused argument and why, on one
// line before the usage, and ends with exit code 2; nothing is sent.
TEST(ClientCommandLine, ARefusedArgumentIsNamedBeforeTheUsage) {
    const struct {
        const char *arguments;
        const char *line;
    } cases[] = {
        {"", "HOST, PORT, TYPE and DEVICE are missing"},
        {"127.0.0.1", "PORT, TYPE and DEVICE are missing"},
        {"127.0.0.1 4001 GET_STATUS", "DEVICE is missing"},
        {"127.0.0.1 70000 GET_STATUS 7", "PORT \"70000\": not a port number 0 to 65535"},
        {"127.0.0.1 4001 GET_FOO 1", "TYPE \"GET_FOO\": not a request name or a number 0 to 65535"},
        {"127.0.0.1 4001 65536 1", "TYPE \"65536\": not a request name or a number 0 to 65535"},
        {"127.0.0.1 4001 GET_STATUS x", "DEVICE \"x\": not a device number 0 to 65535 or \"all\""},
        {"-w abc 127.0.0.1 4001 GET_STATUS 1", "-w \"abc\": not a wait of 0 to 600000 milliseconds"},
        {"-w 600001 127.0.0.1 4001 GET_STATUS 1", "-w \"600001\": not a wait of 0 to 600000 milliseconds"},
        {"-w", "-w: the wait in milliseconds is missing"},
        {"-q 127.0.0.1 4001 GET_STATUS 7", "\"-q\": no such option (-x, -w MS)"},
        {"127.0.0.1 4001 GET_STATUS 7 5", "\"5\": TYPE GET_STATUS takes no VALUE"},
        {"127.0.0.1 4001 SET_UPSCOMMAND 7", "SET_UPSCOMMAND: its COMMAND is missing"},
        {"127.0.0.1 4001 SET_UPSSHUTDOWN 7", "SET_UPSSHUTDOWN: its DELAY is missing"},
        {"127.0.0.1 4001 SET_UPSSHUTDOWN 7 300 60 1", "\"1\": SET_UPSSHUTDOWN takes at most two values"},
        {"127.0.0.1 4001 SET_UPSSHUTDOWN 7 300 -1", "REBOOT \"-1\": not a number 0 to 65535"},
        {"127.0.0.1 4001 SET_UPSCOMMAND 7 6 y", "DELAY \"y\": not a number 0 to 65535"},
    };
    for (const auto &c : cases) {
        // Standard error alone, through the pipe.
        const osktest::CommandOutput r = osktest::run_command(std::string(OSK_BINARY_DIR) + "/oskavelde-client " +
                                                              c.arguments + " 2>&1 >/dev/null");
        EXPECT_EQ(r.exit_code, 2) << c.arguments;
        const std::string expected = std::string("oskavelde-client: ") + c.line + "\nusage: ";
        EXPECT_EQ(r.out.substr(0, expected.size()), expected) << c.arguments;
    }
}

TEST(ClientCommandLine, AnAddressThatCannotBeUsedSendsNothing) {
    // An address that the request sender refuses: nothing was sent.
    EXPECT_EQ(osktest::run_command(std::string(OSK_BINARY_DIR) +
                                   "/oskavelde-client 255.255.255.255 9000 GET_STATUS 7 2>/dev/null")
                  .exit_code,
              3);
}

// A peer on a port of its own that sends back, for each request, what the
// case makes of it: not an agent, so the client must not take it for one.
TEST(ClientAnswer, ADatagramThatIsNoResponseToTheRequestIsNoAnswer) {
    const struct {
        const char *name;
        void (*reply)(std::string &datagram);
    } cases[] = {
        {"the request echoed", [](std::string &) {}},
        {"a response of another type", [](std::string &d) { d[0] = GET_IDENTIF, d[14] = 1; }},
        {"a header cut short", [](std::string &d) { d.resize(15), d[14] = 1; }},
    };
    for (const auto &c : cases) {
        ProtocolClient peer;
        const std::uint16_t port = bind_free_port(peer.socket());
        ASSERT_NE(port, 0);
        std::atomic<bool> running{true};
        std::thread replies([&] {
            char buffer[2500];
            while (running.load()) {
                platform::sockaddr_in from{};
                int from_length = sizeof from;
                const int got =
                    platform::recvfrom(peer.socket(), buffer, sizeof buffer, 0,
                                       reinterpret_cast<platform::sockaddr *>(&from), &from_length);
                if (got < 16) {
                    platform::Sleep(5);
                    continue;
                }
                std::string datagram(buffer, static_cast<std::size_t>(got));
                c.reply(datagram);
                platform::sendto(peer.socket(), datagram.data(), static_cast<int>(datagram.size()),
                                 0, reinterpret_cast<const platform::sockaddr *>(&from),
                                 sizeof from);
            }
        });
        const osktest::CommandOutput r = osktest::run_command(
            std::string(OSK_BINARY_DIR) + "/oskavelde-client -w 1000 127.0.0.1 " +
            std::to_string(port) + " GET_STATUS 7 2>/dev/null");
        running = false;
        replies.join();
        EXPECT_EQ(r.exit_code, 1) << c.name << "\n" << r.out;
        EXPECT_NE(r.out.find("response 1: "), std::string::npos) << c.name << "\n" << r.out;
    }
}

} // namespace
