// The command line of the real binary: the fatal start without kervon.ini,
// -quit, the hand-over to a service control dispatcher that no service
// control manager started, the debug log file of -log, and the debug
// options taken from left to right.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/process/agent_process.h"

namespace {

using namespace std::chrono_literals;
using osktest::AgentProcess;

constexpr const char *kDispatcherError = "Error: Error Calling StartServiceCtrlDispatcher function 1063\n";

TEST(CommandLine, WithoutKervonIniShowsTheMessageAndEndsWithCodeTwo) {
    AgentProcess agent;
    ASSERT_TRUE(agent.start({"-debug"}));
    EXPECT_EQ(agent.wait_exit(10s), 2);
    EXPECT_EQ(agent.err(), "Error: Cannot open initialization file!\n");
    EXPECT_EQ(agent.out(), ""); // nothing ran beyond the configuration
}

TEST(CommandLine, QuitRunsTheStopRoutineIntoTheLogOfTheCurrentDirectory) {
    AgentProcess agent;
    agent.write_ini(osktest::ini_without_devices());
    ASSERT_TRUE(agent.start({"-log", "-quit", "-debug"}));
    EXPECT_EQ(agent.wait_exit(10s), 0);
    EXPECT_GT(agent.run_time(), 1900ms);
    EXPECT_LT(agent.run_time(), 3500ms);
    // No main cycle has set the directories: the log lies in the current
    // directory, written in text mode.
    const std::string stop_lines = "\r\n\rStopService-start\r\n\rStopService - CloseComm"
                                   "\r\n\rStopService - StopThreads\r\nStop threads:\r\n\rStopService-end";
    EXPECT_EQ(read_file_bytes(agent.dir().file("debugsnmp.log")), stop_lines);
    EXPECT_EQ(agent.out(), ""); // no console outside the main cycle
    EXPECT_EQ(agent.log(), "");
    EXPECT_EQ(agent.err(), "");
}

TEST(CommandLine, QuitAloneWritesNothing) {
    AgentProcess agent;
    ASSERT_TRUE(agent.start({"-quit"}));
    EXPECT_EQ(agent.wait_exit(10s), 0);
    EXPECT_EQ(agent.out(), "");
    EXPECT_EQ(read_file_bytes(agent.dir().file("debugsnmp.log")), "");
}

class WithoutDebugOption : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(WithoutDebugOption, HandsOverToTheDispatcherWhichCannotConnect) {
    AgentProcess agent;
    agent.write_ini(osktest::ini_without_devices());
    ASSERT_TRUE(agent.start(GetParam()));
    EXPECT_EQ(agent.wait_exit(10s), 0);
    EXPECT_EQ(agent.err(), kDispatcherError);
    EXPECT_EQ(agent.out(), "");
}

INSTANTIATE_TEST_SUITE_P(Arguments, WithoutDebugOption,
                         ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"-Debug"},
                                           std::vector<std::string>{"debug", "--debug", "-debug "},
                                           std::vector<std::string>{"-LOG", "/debug"}),
                         [](const auto &info) { return "Case" + std::to_string(info.index); });

TEST(CommandLine, LogWritesTheRunToTheDataDirectory) {
    AgentProcess agent;
    agent.write_ini(osktest::ini_without_devices());
    ASSERT_TRUE(agent.start({"-log"}));
    ASSERT_TRUE(agent.wait_until_running(10s)) << agent.out() << agent.err();
    agent.signal(SIGINT);
    EXPECT_EQ(agent.wait_exit(10s), 0);
    const std::string log = agent.log();
    EXPECT_EQ(log.rfind("\r\nStart Service\r\n\r\nStart threads:", 0), 0u) << log;
    EXPECT_NE(log.find("\r\n\rStopService-end\r\nWas_term_signal !\r\nStopped main cycle !"), std::string::npos)
        << log;
}

// The debug options set their switches from left to right: a later -debug
// sends the output to the console alone again and keeps the levels of an
// earlier -debugmax. From level 4 on, the network thread marks each of its
// ticks with a '*' on the console, which nothing else writes in a run
// without devices and clients.
struct SwitchCase {
    const char *name;
    std::vector<std::string> args;
    bool log_file;
    bool top_levels;
};
void PrintTo(const SwitchCase &c, std::ostream *os) { *os << c.name; }

class DebugSwitches : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(DebugSwitches, FollowTheOptionsFromLeftToRight) {
    const SwitchCase &c = GetParam();
    AgentProcess agent;
    agent.write_ini(osktest::ini_without_devices());
    ASSERT_TRUE(agent.start(c.args));
    ASSERT_TRUE(agent.wait_until_running(10s)) << agent.out() << agent.err();
    agent.signal(SIGINT);
    EXPECT_EQ(agent.wait_exit(10s), 0);
    const std::string out = agent.out();
    EXPECT_EQ(out.rfind("\nStart Service\n", 0), 0u) << out;
    EXPECT_EQ(out.find('*') != std::string::npos, c.top_levels) << out;
    const std::string log = agent.log();
    if (c.log_file)
        EXPECT_EQ(log.rfind("\r\nStart Service\r\n", 0), 0u) << log;
    else
        EXPECT_EQ(log, "");
    EXPECT_EQ(agent.err(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Options, DebugSwitches,
    ::testing::Values(SwitchCase{"LogMax", {"-logmax"}, true, true},
                      SwitchCase{"DebugMaxThenDebug", {"-debugmax", "-debug"}, false, true},
                      SwitchCase{"LogThenDebug", {"-log", "-debug"}, false, false}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
