// Two agents started on the same client port: the second cannot bind it,
// reports the port failure and goes on polling its UPS without clients,
// while the clients keep getting their answers from the first.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <string>

#include "server/protocol.h"
#include "tests/support/agent_with_ups.h"
#include "tests/support/debug_lines.h"
#include "tests/support/wait_until.h"

namespace {

using namespace std::chrono_literals;
using osktest::occurrences;
using osktest::wait_until;

constexpr std::uint16_t kDevice = 36;

class TwoAgents : public osktest::AgentWithUps {};

TEST_F(TwoAgents, TheSecondReportsThePortFailureAndKeepsPolling) {
    const std::string config =
        ini("", {{1, "UPS hall", "BRAXO1-VEGA3000", 5, ups_address(), "online", kDevice}});
    start_agent(config, 1);
    ASSERT_EQ(request(GET_STATUS, kDevice).size(), 1u) << agent_.out();

    osktest::AgentProcess second;
    second.write_ini(config);
    ASSERT_TRUE(second.start({"-debug"}));
    const auto polled = [&](std::size_t n) {
        return wait_until([&] { return occurrences(second.out(), "RESP Dev:01") >= n; }, 60s, 50ms);
    };
    ASSERT_TRUE(polled(2)) << second.out() << second.err();

    const std::string port = std::to_string(client_port_);
    const std::string failure = "Open TCP/IP pasive port [" + port + "] ... " + "\n\rBind UDP socket on port " +
                                port + " error 4294967295 [FFFFFFFF] !" + "Error !!!\n" +
                                "\n\rTCP/IP error: Maybe different Tarmisol running on machine! ";
    const std::string out = second.out();
    const auto reported = out.find(failure);
    EXPECT_NE(reported, std::string::npos) << out;
    EXPECT_LT(reported, out.find("RESP Dev:01"));
    // Its SNMP slot carries the port failure in every poll's lines.
    const auto lines = osktest::debug_lines(out);
    for (const std::string &line : lines) {
        if (line.find("RESP Dev:01") != std::string::npos) {
            EXPECT_NE(line.find(" CS:255"), std::string::npos) << line;
        }
    }
    EXPECT_EQ(agent_.out().find("TCP/IP error"), std::string::npos);

    // The port is the first agent's: it answers, the second never does.
    EXPECT_EQ(request(GET_STATUS, kDevice).size(), 1u);
    agent_.signal(SIGINT);
    EXPECT_EQ(agent_.wait_exit(30s), 0) << agent_.out() << agent_.err();
    EXPECT_TRUE(request(GET_STATUS, kDevice).empty());
    EXPECT_TRUE(polled(3)) << second.out();

    second.signal(SIGINT);
    EXPECT_EQ(second.wait_exit(30s), 0) << second.out() << second.err();
    EXPECT_EQ(second.err(), "");
}

} // namespace
