// The start and stop commands from the command line against a service
// that is not installed, one that is stopped, and one that takes its time
// to stop or does not stop at all: their lines, their message boxes and
// the state they leave the service in. The installed service is the
// manager's test service under the agent's service name, which stops as
// slowly as a test asks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/debug_lines.h"
#include "tests/support/service_sandbox.h"

namespace {

using namespace std::chrono_literals;
using osktest::in_log;
using osktest::ServiceSandbox;

const std::string kStub = std::string(OSK_BINARY_DIR) + "/tests/scm_test_service Oskavelde";

const std::string kStopStart = "\n\rCmdStopService-start\n\rCmdStopService SERVICE_CONTROL_STOP";
const std::string kStopEnd = "\n\rCmdStopService-end";
const std::string kStopping = "Stopping Oskavelde - SNMP Monitor\n";

struct CommandCase {
    const char *name;
    const char *service; // the test service's arguments; null: not installed
    bool running;        // started before the command
    std::vector<std::string> args;
    std::string log; // "%s" stands for a text of the system on a line of its own
    std::string err;
    platform::DWORD state; // afterwards; 0: not installed
};

void PrintTo(const CommandCase &c, std::ostream *os) { *os << c.name; }

// The log as expected, the system's text where "%s" stands: the last
// error that the report found, which the command does not choose.
void expect_log(const std::string &log, const std::string &expected) {
    const std::size_t at = expected.find("%s");
    if (at == std::string::npos) {
        EXPECT_EQ(log, in_log(expected));
        return;
    }
    const std::string head = in_log(expected.substr(0, at));
    const std::string tail = in_log(expected.substr(at + 2));
    ASSERT_GT(log.size(), head.size() + tail.size()) << log;
    EXPECT_EQ(log.substr(0, head.size()), head);
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
    const std::string text = log.substr(head.size(), log.size() - head.size() - tail.size());
    EXPECT_EQ(text.find('\n'), std::string::npos) << text;
}

class ServiceCommand : public ::testing::TestWithParam<CommandCase> {
  protected:
    ServiceSandbox sandbox_;
};

TEST_P(ServiceCommand, WritesItsLinesAndLeavesTheServiceInItsState) {
    const CommandCase &c = GetParam();
    if (c.service != nullptr) {
        ASSERT_TRUE(ServiceSandbox::install_program(kStub + c.service));
    }
    if (c.running) {
        ASSERT_EQ(sandbox_.run({"-start"}).exit, 0);
        ASSERT_TRUE(ServiceSandbox::wait_state(platform::SERVICE_RUNNING, 30s));
    }
    const osktest::CommandRun run = sandbox_.run(c.args);
    EXPECT_EQ(run.exit, 0);
    expect_log(run.log, c.log);
    EXPECT_EQ(run.err, c.err); // the message boxes
    EXPECT_TRUE(ServiceSandbox::wait_state(c.state, 30s)) << ServiceSandbox::state();
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ServiceCommand,
    ::testing::Values(
        CommandCase{"StopWhenNotInstalled",
                    nullptr,
                    false,
                    {"-log", "-stop"},
                    kStopStart + "The service is not installed.\nOpenService failed - " + kStopEnd,
                    "",
                    0},
        CommandCase{"StartWhenNotInstalled",
                    nullptr,
                    false,
                    {"-log", "-start"},
                    "\nStart service (CmdStartService)\n"
                    "The service is not installed.\nOpenService failed - ",
                    "Error: The service is not installed.\n",
                    0},
        // The stop control is refused without a word.
        CommandCase{"StopWhenStopped",
                    "",
                    false,
                    {"-log", "-stop"},
                    kStopStart + kStopEnd,
                    "",
                    platform::SERVICE_STOPPED},
        CommandCase{"RestartWhenStopped",
                    "",
                    false,
                    {"-log", "-restart"},
                    kStopStart + kStopEnd + "\nStart service (CmdStartService)\n",
                    "",
                    platform::SERVICE_RUNNING},
        // Stop pending for 2.5 s: the queries after 1 and 2 s find it
        // pending, the one after 3 s stopped.
        CommandCase{"StopThatStaysPending",
                    " 2500 pending",
                    true,
                    {"-log", "-stop"},
                    kStopStart + kStopping + "..Oskavelde - SNMP Monitor stopped.\n" + kStopEnd,
                    "",
                    platform::SERVICE_STOPPED},
        // Running again half a second after the stop control.
        CommandCase{"StopThatDoesNotStop",
                    " 500 resume",
                    true,
                    {"-log", "-stop"},
                    kStopStart + kStopping + "%s\nOskavelde - SNMP Monitor failed to stop.\n" +
                        kStopEnd,
                    "",
                    platform::SERVICE_RUNNING}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
