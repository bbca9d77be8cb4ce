// Stopping the running agent from outside: each console signal ends a
// foreground run through the stop routine with exit code 0.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstring>
#include <string>

#include "tests/support/agent_process.h"

namespace {

using namespace std::chrono_literals;
using osktest::AgentProcess;

struct StopCase {
    int signal;
    const char *line;
};

class ConsoleStop : public ::testing::TestWithParam<StopCase> {};

TEST_P(ConsoleStop, EndsTheRunWithCodeZeroWithinThreeSeconds) {
    AgentProcess agent;
    agent.write_ini(osktest::ini_without_devices());
    ASSERT_TRUE(agent.start({"-debug"}));
    ASSERT_TRUE(agent.wait_until_running(10s)) << agent.out() << agent.err();

    const auto sent = AgentProcess::Clock::now();
    agent.signal(GetParam().signal);
    EXPECT_EQ(agent.wait_exit(10s), 0) << agent.out() << agent.err();
    EXPECT_LT(AgentProcess::Clock::now() - sent, 3s);

    const std::string out = agent.out();
    const std::string stop = std::string(GetParam().line) +
                             "\n\nStopping .\n\n"
                             "\n\rStopService-start"
                             "\n\rStopService - CloseComm"
                             "\n\rStopService - StopThreads"
                             "\nStop threads:";
    EXPECT_NE(out.find(stop), std::string::npos) << out;
    EXPECT_NE(out.find("\nThread Timer: exit thread"), std::string::npos) << out;
    EXPECT_NE(out.find("\nThread Network: exit thread"), std::string::npos) << out;
    const std::string end = "\n\rStopService-end\nWas_term_signal !\nStopped main cycle !";
    ASSERT_GE(out.size(), end.size());
    EXPECT_EQ(out.substr(out.size() - end.size()), end);
    EXPECT_EQ(agent.err(), "");
}

INSTANTIATE_TEST_SUITE_P(Signals, ConsoleStop,
                         ::testing::Values(StopCase{SIGINT, "\n\rControlHandler - CTRL_BREAK_EVENT "},
                                           StopCase{SIGTERM, "\n\rControlHandler - CTRL_SHUTDOWN_EVENT "},
                                           StopCase{SIGQUIT, "\n\rControlHandler - CTRL_BREAK_EVENT "},
                                           StopCase{SIGHUP, "\n\rControlHandler - CTRL_CLOSE_EVENT "}),
                         [](const auto &info) { return std::string(sigabbrev_np(info.param.signal)); });

} // namespace
