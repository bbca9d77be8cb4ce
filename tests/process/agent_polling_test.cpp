// The running agent and the UPS side: a queued shutdown written to the
// simulator after the next poll (or refused by configuration), the
// receive gate while a UPS is gone, polling without the client port, the
// poll traces of -debugmax, and a stop that arrives during a poll.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <string>
#include <thread>

#include "server/protocol.h"
#include "tests/support/agent_with_ups.h"
#include "tests/support/udp_relay.h"

namespace {

using namespace std::chrono_literals;
using osktest::UpsEntry;

constexpr const char *kShutdownAfterDelay = "1.3.6.1.2.1.33.1.8.2.0";
constexpr const char *kIgnored = " !!! Ignored remote UPS command !!! ";

struct CommandCase {
    const char *name;
    int ignore;
};

class QueuedShutdown : public osktest::AgentWithUps, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(QueuedShutdown, IsWrittenAtTheNextPollUnlessRemoteCommandsAreIgnored) {
    start_agent(ini("IgnoreRemoteUPSCommands=" + std::to_string(GetParam().ignore) + "\r\n",
                    {{1, "UPS hall", "BRAXO1-VEGA3000", 5, ups_address(), "writable", 21}}),
                1);
    const std::string before = read_back("writable", kShutdownAfterDelay);
    ASSERT_NE(before, "(no answer)");
    // A shutdown after 120 s without reboot; the request gets no answer.
    EXPECT_TRUE(request(SET_UPSSHUTDOWN, 21, payload_words(120, 0xFFFF)).empty());
    ASSERT_TRUE(wait_for_count("RESP Dev:01", 2, 30s)) << agent_.out();

    const std::string after = read_back("writable", kShutdownAfterDelay);
    if (GetParam().ignore) {
        EXPECT_EQ(after, before);
        EXPECT_NE(agent_.out().find(kIgnored), std::string::npos) << agent_.out();
    } else {
        EXPECT_EQ(after, "120");
        EXPECT_EQ(agent_.out().find(kIgnored), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Configurations, QueuedShutdown,
                         ::testing::Values(CommandCase{"Carried", 0}, CommandCase{"Ignored", 1}),
                         [](const auto &info) { return std::string(info.param.name); });

class AgentPolling : public osktest::AgentWithUps {};

TEST_F(AgentPolling, NoAnswerWhileTheUpsIsGoneAndAnswersOnceItIsBack) {
    start_agent(ini("", {{1, "UPS hall", "BRAXO1-VEGA3000", 5, ups_address(), "online", 31}}), 1);
    EXPECT_EQ(request(GET_STATUS, 31).size(), 1u);

    simulator().stop();
    ASSERT_TRUE(wait_for_count("\nComm lost recognized", 1, 30s)) << agent_.out();
    EXPECT_TRUE(request(GET_STATUS, 31).empty());
    EXPECT_TRUE(request(GET_IDENTIF, 31).empty());

    std::string error;
    ASSERT_TRUE(simulator().start(ups_address(), osktest::snmpsim_data_dir(), error)) << error;
    ASSERT_TRUE(wait_for_count("\nComm established recognized", 2, 60s)) << agent_.out();
    EXPECT_EQ(request(GET_STATUS, 31).size(), 1u);
}

TEST_F(AgentPolling, APortInUseIsReportedAndPollingGoesOn) {
    // The test holds the agent's client port.
    const platform::SOCKET holder = platform::socket(platform::AF_INET, platform::SOCK_DGRAM, platform::IPPROTO_UDP);
    platform::sockaddr_in at{};
    at.sin_family = platform::AF_INET;
    at.sin_port = platform::htons(client_port_);
    at.sin_addr.s_addr = platform::htonl(platform::INADDR_ANY);
    ASSERT_EQ(platform::bind(holder, reinterpret_cast<const platform::sockaddr *>(&at), sizeof at), 0);

    start_agent(ini("", {{1, "UPS hall", "BRAXO1-VEGA3000", 5, ups_address(), "online", 41}}), 2);
    const std::string out = agent_.out();
    const auto failed = out.find("\n\rTCP/IP error: Maybe different Tarmisol running on machine! ");
    ASSERT_NE(failed, std::string::npos) << out;
    EXPECT_NE(out.find("Open TCP/IP pasive port [" + std::to_string(client_port_) + "] ... "), std::string::npos);
    EXPECT_LT(failed, out.find("RESP Dev:01"));
    platform::closesocket(holder);
}

struct TraceCase {
    const char *option;
    bool poll_traces;
};

class PollTraces : public osktest::AgentWithUps, public ::testing::WithParamInterface<TraceCase> {};

TEST_P(PollTraces, FollowTheDebugOption) {
    start_agent(ini("", {{1, "UPS hall", "BRAXO1-VEGA3000", 5, ups_address(), "online", 51}}), 1,
                {GetParam().option});
    const std::string out = agent_.out();
    const std::string session = std::string("\nSNMP++ Get to ") + ups_address() +
                                " SNMPV 1 Retries=1 Timeout=1000 GetCommunity=online SetCommunity=online";
    EXPECT_EQ(out.find(session) != std::string::npos, GetParam().poll_traces) << out;
    EXPECT_EQ(out.find("\nOid = 1.3.6.1.2.1.33.1.1.2.0 Value = Vega 3000 RT") != std::string::npos,
              GetParam().poll_traces);
    EXPECT_NE(out.find("  RQ Dev:01             UPS hall"), std::string::npos) << out;
    EXPECT_NE(out.find("  RESP Dev:01             UPS hall"), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(Options, PollTraces,
                         ::testing::Values(TraceCase{"-debugmax", true}, TraceCase{"-debug", false}),
                         [](const auto &info) { return std::string(info.param.option + 1); });

TEST_F(AgentPolling, AStopDuringAPollReleasesTheRecordsOnlyAfterThePoll) {
    // A UPS that answers slowly, behind a relay on an address of its own.
    osktest::LoopbackLease relay_address;
    std::string error;
    ASSERT_TRUE(relay_address.acquire(161, error)) << error;
    osktest::UdpRelay relay;
    ASSERT_TRUE(relay.start(relay_address.address(), 161, ups_address(), 161, error)) << error;
    relay.delay_answers(60ms);

    agent_.write_ini(ini("", {{1, "UPS hall", "BRAXO1-VEGA3000", 5, relay_address.address(), "online", 61}}));
    ASSERT_TRUE(agent_.start({"-debug"}));
    ASSERT_TRUE(wait_for_count("RQ Dev:01", 1, 30s)) << agent_.out();
    std::this_thread::sleep_for(500ms); // well inside the poll of some 3 s
    agent_.signal(SIGINT);
    EXPECT_EQ(agent_.wait_exit(30s), 0) << agent_.out() << agent_.err();

    const std::string out = agent_.out();
    const auto stop = out.find("ControlHandler - CTRL_BREAK_EVENT");
    const auto answered = out.find("RESP Dev:01");
    const auto timer_end = out.find("\nThread Timer: exit thread");
    const auto released = out.find("\n\rStopService-end");
    ASSERT_NE(stop, std::string::npos) << out;
    ASSERT_NE(answered, std::string::npos) << out;
    EXPECT_LT(stop, answered);
    EXPECT_LT(answered, timer_end);
    EXPECT_LT(timer_end, released);
}

} // namespace
