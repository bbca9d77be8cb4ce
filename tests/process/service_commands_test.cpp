// The start, stop and remove commands from the command line against a
// service that is not installed, one that is stopped, one that takes its
// time to stop or does not stop at all, one whose stop the manager refuses
// (still starting, already stopping, or its process does not end), and a
// running one whose status record or control socket is lost or damaged:
// their lines, their message boxes, the state they leave the service in
// and the end of its process.
// The installed service is the manager's test service under the agent's
// service name, which stops as slowly as a test asks.
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
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
const std::string kStopped = "Oskavelde - SNMP Monitor stopped.\n";
const std::string kFailedToStop = "Oskavelde - SNMP Monitor failed to stop.\n";
const std::string kRemoved = "\nDelete service\nOskavelde - SNMP Monitor removed.\n";
// The manager's refusals of a stop, as the report writes them.
const std::string kCannotTakeIt =
    "The service cannot take this control while it is starting or stopping.\n";
const std::string kNoAnswer = "The service did not answer the start or control request in time.\n";

// What becomes of the running service's files before the command. With
// the last, no file names the process that still holds the service's run
// name.
enum class Damage { none, junk_status, lost_socket, nothing_names_the_process };

struct CommandCase {
    std::string name;
    const char *service; // the test service's arguments; null: not installed
    bool running;        // started before the command
    std::vector<std::string> args;
    std::string log; // "%s" stands for a text of the system on a line of its own
    std::string err;
    platform::DWORD state; // afterwards; 0: not installed
    Damage damage = Damage::none;
    bool left_running = false; // the service's process, whatever the manager can tell
    // The state that the started service is waited for in: running, or
    // start pending for a service that takes its time to start.
    platform::DWORD started = platform::SERVICE_RUNNING;
    bool stop_asked = false; // a stop control sent to it before the command
};

// Sends the stop control to the running service as any other program
// could; true when the manager accepted it.
bool ask_stop() {
    const platform::SC_HANDLE manager =
        platform::OpenSCManagerA(nullptr, nullptr, platform::SC_MANAGER_CONNECT);
    const platform::SC_HANDLE service =
        manager != nullptr ? platform::OpenServiceA(manager, "Oskavelde", platform::SERVICE_STOP)
                           : nullptr;
    platform::SERVICE_STATUS status{};
    const bool accepted = service != nullptr &&
                          platform::ControlService(service, platform::SERVICE_CONTROL_STOP, &status);
    if (service != nullptr)
        platform::CloseServiceHandle(service);
    if (manager != nullptr)
        platform::CloseServiceHandle(manager);
    return accepted;
}

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
    int pid = 0;
    if (c.running) {
        ASSERT_EQ(sandbox_.run({"-start"}).exit, 0);
        ASSERT_TRUE(ServiceSandbox::wait_state(c.started, 30s));
        pid = ServiceSandbox::service_pid();
        ASSERT_GT(pid, 0);
    }
    if (c.stop_asked) {
        ASSERT_TRUE(ask_stop());
        ASSERT_EQ(ServiceSandbox::state(), platform::SERVICE_STOP_PENDING);
    }
    const bool named = c.damage != Damage::nothing_names_the_process;
    if (c.damage == Damage::junk_status || !named)
        write_file_bytes(ServiceSandbox::service_file(".status"), "junk\n");
    if (c.damage == Damage::lost_socket || !named) {
        ASSERT_TRUE(std::filesystem::remove(ServiceSandbox::service_file(".sock")));
    }
    const osktest::CommandRun run = sandbox_.run(c.args);
    EXPECT_EQ(run.exit, 0);
    expect_log(run.log, c.log);
    EXPECT_EQ(run.err, c.err); // the message boxes
    if (c.left_running) {
        EXPECT_EQ(ServiceSandbox::state(), c.state);
        EXPECT_EQ(ServiceSandbox::wait_service_exit(pid, 0ms), -1);
        ::kill(pid, SIGKILL); // out of the manager's reach, so the sandbox's too
        ServiceSandbox::wait_service_exit(pid, 30s);
        return;
    }
    EXPECT_TRUE(ServiceSandbox::wait_state(c.state, 30s)) << ServiceSandbox::state();
    // A service left stopped or removed has no process left, and none
    // other took its place.
    if (c.running && c.state != platform::SERVICE_RUNNING) {
        EXPECT_GE(ServiceSandbox::wait_service_exit(pid, 30s), 0);
        EXPECT_EQ(ServiceSandbox::service_pid(), 0);
    }
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
                    platform::SERVICE_RUNNING},
        // A running service whose status record or control socket has
        // gone is still found, stopped as ever, and never started twice.
        CommandCase{"StopWithJunkStatus",
                    "",
                    true,
                    {"-log", "-stop"},
                    kStopStart + kStopping + kStopped + kStopEnd,
                    "",
                    platform::SERVICE_STOPPED,
                    Damage::junk_status},
        CommandCase{"StartWithJunkStatus",
                    "",
                    true,
                    {"-log", "-start"},
                    "\nStart service (CmdStartService)\n" + kStopStart + kStopping + kStopped + kStopEnd +
                        "The service is already running.\nOskavelde - SNMP Monitor failed to start.\n",
                    "Error: The service is already running.\n",
                    platform::SERVICE_STOPPED,
                    Damage::junk_status},
        CommandCase{"StopWithLostSocket",
                    "",
                    true,
                    {"-log", "-stop"},
                    kStopStart + kStopping + kStopped + kStopEnd,
                    "",
                    platform::SERVICE_STOPPED,
                    Damage::lost_socket},
        CommandCase{"RemoveWithLostSocket",
                    "",
                    true,
                    {"-log", "-remove"},
                    kStopping + kStopped + "\nDelete service\nOskavelde - SNMP Monitor removed.\n",
                    "",
                    0,
                    Damage::lost_socket},
        // No file names the process, but its run name still does: the
        // stop ends it with SIGTERM.
        CommandCase{"StopWhenNoFileNamesTheProcess",
                    "",
                    true,
                    {"-log", "-stop"},
                    kStopStart + kStopping + kStopped + kStopEnd,
                    "",
                    platform::SERVICE_STOPPED,
                    Damage::nothing_names_the_process}),
    [](const auto &info) { return std::string(info.param.name); });

// A service whose stop the manager refuses while its record is sound:
// still starting, already stopping, or with a process that ignores the
// end it is asked for once the manager's wait for it has run out. Each
// stays so for longer than the commands take.
struct RefusedStop {
    const char *name;
    const char *service;
    std::string refusal; // the error the report writes
    platform::DWORD state;
    platform::DWORD started;
    bool stop_asked;
    Damage damage;
};

// Each command leaves such a service running and says that the stop
// failed, with the refusal's error; -restart does so twice, the second
// time for the start that finds the service still there.
std::vector<CommandCase> refused_stop_cases() {
    const RefusedStop services[] = {
        {"WhileStarting", " 20000 starting", kCannotTakeIt, platform::SERVICE_START_PENDING,
         platform::SERVICE_START_PENDING, false, Damage::none},
        {"WhileStopping", " 20000 pending", kCannotTakeIt, platform::SERVICE_STOP_PENDING,
         platform::SERVICE_RUNNING, true, Damage::none},
        // Without its control socket the stop reaches the process only as
        // SIGTERM, which this one ignores.
        {"WhenTheProcessDoesNotEnd", " 0 deaf", kNoAnswer, platform::SERVICE_RUNNING,
         platform::SERVICE_RUNNING, false, Damage::lost_socket},
    };
    std::vector<CommandCase> cases;
    for (const RefusedStop &s : services) {
        const std::string stop = kStopStart + s.refusal + kFailedToStop + kStopEnd;
        cases.push_back(CommandCase{std::string("Stop") + s.name, s.service, true, {"-log", "-stop"},
                                    stop, "", s.state, s.damage, true, s.started, s.stop_asked});
        cases.push_back(CommandCase{std::string("Remove") + s.name, s.service, true,
                                    {"-log", "-remove"}, s.refusal + kFailedToStop + kRemoved, "",
                                    0, s.damage, true, s.started, s.stop_asked});
        // Two of the manager's waits of 30 s for a process that does not
        // end are more than a command is given.
        if (s.damage != Damage::none)
            continue;
        cases.push_back(CommandCase{
            std::string("Restart") + s.name, s.service, true, {"-log", "-restart"},
            stop + "\nStart service (CmdStartService)\n" + stop +
                "The service is already running.\nOskavelde - SNMP Monitor failed to start.\n",
            "Error: The service is already running.\n", s.state, s.damage, true, s.started,
            s.stop_asked});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(RefusedStops, ServiceCommand, ::testing::ValuesIn(refused_stop_cases()),
                         [](const auto &info) { return info.param.name; });

} // namespace
