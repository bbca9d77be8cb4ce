// The agent run as a service by the service control manager: started with
// -start, polling a simulated UPS and answering oskavelde-client, stopped
// with -stop, -restart, -start and -remove while it runs (also with its
// status record damaged or deleted, or its control socket lost, and
// beside names of its run-name space that another user holds), the
// control handler's lines and status reports, and a service run without
// kervon.ini.
#include <gtest/gtest.h>

#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/scm/service_control.h"
#include "tests/support/agent_with_ups.h"
#include "tests/support/debug_lines.h"
#include "tests/support/foreign_name_holder.h"
#include "tests/support/service_sandbox.h"

namespace {

using namespace std::chrono_literals;
using osktest::in_log;
using osktest::ServiceSandbox;

const std::string kStopped = "Stopping Oskavelde - SNMP Monitor\nOskavelde - SNMP Monitor stopped.\n";
const std::string kStopCommand =
    "\n\rCmdStopService-start\n\rCmdStopService SERVICE_CONTROL_STOP" + kStopped + "\n\rCmdStopService-end";

bool same_status(const platform::SERVICE_STATUS &s, platform::DWORD state, platform::DWORD wait_hint) {
    return s.dwServiceType == 0x110 && s.dwCurrentState == state && s.dwControlsAccepted == 0x81 &&
           s.dwWin32ExitCode == 0 && s.dwServiceSpecificExitCode == 0 && s.dwCheckPoint == 0 &&
           s.dwWaitHint == wait_hint;
}

class ServiceRun : public osktest::AgentWithUps {
  protected:
    void SetUp() override {
        AgentWithUps::SetUp();
        if (HasFatalFailure())
            return;
        sandbox_.write_ini(ini("DebugLog=1\r\n", {{1, "UPS hall", "BRAXO1-VEGA3000", 5, ups_address(), "online", 11}}));
        ASSERT_EQ(sandbox_.run({"-install"}).exit, 0);
    }

    // Starts the service and waits until it reports itself running.
    void start_service() {
        const osktest::CommandRun run = sandbox_.run({"-log", "-start"});
        ASSERT_EQ(run.exit, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.log, in_log("\nStart service (CmdStartService)\n"));
        ASSERT_TRUE(ServiceSandbox::wait_state(platform::SERVICE_RUNNING, 30s)) << sandbox_.service_log();
        pid_ = ServiceSandbox::service_pid();
        ASSERT_GT(pid_, 0);
        ASSERT_NE(pid_, static_cast<int>(::getpid()));
    }

    // Hands a control to the service from the test, as a management
    // command would.
    static bool control(platform::DWORD code, platform::SERVICE_STATUS &status) {
        const platform::SC_HANDLE manager = platform::OpenSCManagerA(nullptr, nullptr, platform::SC_MANAGER_ALL_ACCESS);
        const platform::SC_HANDLE service =
            platform::OpenServiceA(manager, "Oskavelde", platform::SERVICE_ALL_ACCESS);
        const bool ok = service != nullptr && platform::ControlService(service, code, &status);
        platform::CloseServiceHandle(service);
        platform::CloseServiceHandle(manager);
        return ok;
    }

    ServiceSandbox sandbox_;
    int pid_ = 0;
};

TEST_F(ServiceRun, StartedServicePollsTheUpsAndAnswersTheClient) {
    start_service();
    ASSERT_TRUE(sandbox_.wait_for_log("RESP Dev:", 60s)) << sandbox_.service_log();
    platform::SERVICE_STATUS_PROCESS status{};
    ASSERT_TRUE(ServiceSandbox::query(status));
    EXPECT_EQ(status.dwServiceType, 0x110u);
    EXPECT_EQ(status.dwControlsAccepted, 0x81u);
    EXPECT_EQ(status.dwWaitHint, 0u);

    const osktest::CommandRun client = sandbox_.run({"127.0.0.1", std::to_string(client_port_), "GET_STATUS", "11"},
                                                    std::string(OSK_BINARY_DIR) + "/oskavelde-client");
    EXPECT_EQ(client.exit, 0);
    EXPECT_NE(client.out.find("response 1: 97 bytes"), std::string::npos) << client.out;
    EXPECT_NE(client.out.find("responses: 1"), std::string::npos) << client.out;
    // A service run has no console and writes its log to the data
    // directory only.
    EXPECT_EQ(sandbox_.service_log().find("Start Service"), std::string::npos);
    EXPECT_EQ(sandbox_.run({"-stop"}).exit, 0);
    EXPECT_EQ(ServiceSandbox::wait_service_exit(pid_, 30s), 0);
}

TEST_F(ServiceRun, StopEndsTheServiceProcessWithCodeZero) {
    start_service();
    const osktest::CommandRun run = sandbox_.run({"-log", "-stop"});
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.err, "");
    // No dot: the handler reports the service stopped before the stop
    // control returns.
    EXPECT_EQ(run.log, in_log(kStopCommand));
    EXPECT_EQ(ServiceSandbox::wait_service_exit(pid_, 30s), 0);
    EXPECT_EQ(ServiceSandbox::state(), platform::SERVICE_STOPPED);
    EXPECT_NE(sandbox_.service_log().find(in_log("\n\rHandler - SERVICE_CONTROL_STOP")), std::string::npos);
}

TEST_F(ServiceRun, RestartStopsTheRunningServiceAndStartsANewOne) {
    start_service();
    const int first = pid_;
    const osktest::CommandRun run = sandbox_.run({"-log", "-restart"});
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.log, in_log(kStopCommand + "\nStart service (CmdStartService)\n"));
    EXPECT_EQ(ServiceSandbox::wait_service_exit(first, 30s), 0);
    ASSERT_TRUE(ServiceSandbox::wait_state(platform::SERVICE_RUNNING, 30s));
    pid_ = ServiceSandbox::service_pid();
    EXPECT_NE(pid_, first);
    EXPECT_GT(pid_, 0);
}

TEST_F(ServiceRun, StartWhileRunningStopsTheServiceAndReportsTheRefusal) {
    start_service();
    const osktest::CommandRun run = sandbox_.run({"-log", "-start"});
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.err, "Error: The service is already running.\n");
    EXPECT_EQ(run.log, in_log("\nStart service (CmdStartService)\n" + kStopCommand +
                              "The service is already running.\nOskavelde - SNMP Monitor failed to start.\n"));
    EXPECT_EQ(ServiceSandbox::wait_service_exit(pid_, 30s), 0);
    EXPECT_EQ(ServiceSandbox::state(), platform::SERVICE_STOPPED); // left stopped
}

TEST_F(ServiceRun, RemoveWhileRunningStopsAndThenRemovesIt) {
    start_service();
    const osktest::CommandRun run = sandbox_.run({"-log", "-remove"});
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.log, in_log(kStopped + "\nDelete service\nOskavelde - SNMP Monitor removed.\n"));
    EXPECT_EQ(ServiceSandbox::wait_service_exit(pid_, 30s), 0);
    EXPECT_EQ(ServiceSandbox::state(), 0u); // not installed
    EXPECT_FALSE(ServiceSandbox::registry_key_exists(
        "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Oskavelde"));
}

// A running agent whose status record is junk or deleted, or whose
// control socket has gone: the command ends it as it would without the
// damage, and no second agent starts.
struct DamagedRun {
    const char *name;
    std::vector<const char *> files; // the service's files, by their extensions
    bool overwritten;                // with junk; otherwise deleted
    const char *command;
    std::string log;
    platform::DWORD state; // afterwards; 0: not installed
};

void PrintTo(const DamagedRun &d, std::ostream *os) { *os << d.name; }

class ServiceRunDamaged : public ServiceRun, public ::testing::WithParamInterface<DamagedRun> {};

TEST_P(ServiceRunDamaged, CommandEndsTheAgentAndStartsNoOther) {
    const DamagedRun &d = GetParam();
    start_service();
    for (const char *file : d.files) {
        const std::string path = ServiceSandbox::service_file(file);
        if (d.overwritten)
            write_file_bytes(path, "junk\n");
        else
            ASSERT_TRUE(std::filesystem::remove(path)) << path;
    }
    const osktest::CommandRun run = sandbox_.run({"-log", d.command});
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.log, in_log(d.log));
    EXPECT_EQ(ServiceSandbox::wait_service_exit(pid_, 30s), 0);
    if (::waitpid(pid_, nullptr, WNOHANG) == 0) {
        // Out of the manager's reach, so the sandbox's too; unreaped, the
        // identifier is still this child's.
        ::kill(pid_, SIGKILL);
        ServiceSandbox::wait_service_exit(pid_, 30s);
    }
    EXPECT_EQ(ServiceSandbox::state(), d.state);
    EXPECT_EQ(ServiceSandbox::service_pid(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ServiceRunDamaged,
    ::testing::Values(DamagedRun{"StartWithJunkStatus", {".status"}, true, "-start",
                                 "\nStart service (CmdStartService)\n" + kStopCommand +
                                     "The service is already running.\nOskavelde - SNMP Monitor failed to start.\n",
                                 platform::SERVICE_STOPPED},
                      DamagedRun{"RemoveWithLostSocket", {".sock"}, false, "-remove",
                                 kStopped + "\nDelete service\nOskavelde - SNMP Monitor removed.\n", 0},
                      DamagedRun{"StartWithLostStatus", {".status"}, false, "-start",
                                 "\nStart service (CmdStartService)\n" + kStopCommand +
                                     "The service is already running.\nOskavelde - SNMP Monitor failed to start.\n",
                                 platform::SERVICE_STOPPED},
                      DamagedRun{"StopWithLostStatus", {".status"}, false, "-stop", kStopCommand,
                                 platform::SERVICE_STOPPED},
                      DamagedRun{"RemoveWithLostStatus", {".status"}, false, "-remove",
                                 kStopped + "\nDelete service\nOskavelde - SNMP Monitor removed.\n", 0}),
    [](const auto &info) { return std::string(info.param.name); });

// The line a start writes for each name of the service's run-name space
// that the holder, a process of user nobody, holds.
std::string held_by(const osktest::ForeignNameHolder &holder) {
    const passwd *nobody = ::getpwnam("nobody");
    return "Run name held by user " + std::to_string(nobody != nullptr ? nobody->pw_uid : 0) + " (process " +
           std::to_string(holder.pid()) + "), not by the service: passed over.\n";
}

// A process of another user holds the name that the service's process
// once took, as any local user can bind it: -start starts the agent all
// the same and names the holder in its log, -restart restarts it and
// -stop ends it.
TEST_F(ServiceRun, ANameHeldByAnotherUserKeepsNoAgentFromStarting) {
    osktest::ForeignNameHolder stranger;
    ASSERT_TRUE(stranger.start("Oskavelde"));
    const std::string held = held_by(stranger);

    osktest::CommandRun run = sandbox_.run({"-log", "-start"});
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.log, in_log("\nStart service (CmdStartService)\n" + held));
    ASSERT_TRUE(ServiceSandbox::wait_state(platform::SERVICE_RUNNING, 30s)) << sandbox_.service_log();
    const int first = ServiceSandbox::service_pid();
    ASSERT_GT(first, 0);
    ASSERT_NE(first, stranger.pid());
    pid_ = first;
    ASSERT_TRUE(sandbox_.wait_for_log("RESP Dev:", 60s)) << sandbox_.service_log();

    run = sandbox_.run({"-log", "-restart"});
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.log, in_log(kStopCommand + "\nStart service (CmdStartService)\n" + held));
    EXPECT_EQ(ServiceSandbox::wait_service_exit(first, 30s), 0);
    ASSERT_TRUE(ServiceSandbox::wait_state(platform::SERVICE_RUNNING, 30s));
    pid_ = ServiceSandbox::service_pid();
    EXPECT_GT(pid_, 0);
    EXPECT_NE(pid_, first);

    run = sandbox_.run({"-log", "-stop"});
    EXPECT_EQ(run.log, in_log(kStopCommand));
    EXPECT_EQ(ServiceSandbox::wait_service_exit(pid_, 30s), 0);
    EXPECT_EQ(ServiceSandbox::state(), platform::SERVICE_STOPPED);
}

// A process of another user binds names in the service's run-name space
// in the seconds that -restart waits between its stop and its start: the
// name space itself, and one of the run name's form that claims the agent
// that has just ended, as if to stand in its place. The new agent starts.
TEST_F(ServiceRun, NamesBoundDuringARestartKeepNoAgentFromStarting) {
    start_service();
    const int first = pid_;
    platform::scm::ProcessMark ended;
    ASSERT_TRUE(platform::scm::process_mark_of(first, ended));
    osktest::AgentProcess restart;
    sandbox_.prepare(restart);
    ASSERT_TRUE(restart.start({"-log", "-restart"}));
    ASSERT_EQ(ServiceSandbox::wait_service_exit(first, 30s), 0);
    osktest::ForeignNameHolder stranger;
    ASSERT_TRUE(stranger.start("Oskavelde", {ended}));
    EXPECT_EQ(restart.wait_exit(30s), 0);
    const std::string held = held_by(stranger);
    EXPECT_EQ(read_file_bytes(restart.dir().file("debugsnmp.log")),
              in_log(kStopCommand + "\nStart service (CmdStartService)\n" + held + held));
    ASSERT_TRUE(ServiceSandbox::wait_state(platform::SERVICE_RUNNING, 30s));
    pid_ = ServiceSandbox::service_pid();
    EXPECT_GT(pid_, 0);
    EXPECT_NE(pid_, first);
    EXPECT_NE(pid_, stranger.pid());
}

TEST_F(ServiceRun, HandlerLogsEachControlAndReportsAStopTwiceAfterTheStopRoutine) {
    start_service();
    const auto first = ServiceSandbox::reports();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_TRUE(same_status(first[0], platform::SERVICE_RUNNING, 0));

    platform::SERVICE_STATUS status{};
    ASSERT_TRUE(control(platform::SERVICE_CONTROL_INTERROGATE, status));
    EXPECT_TRUE(same_status(status, platform::SERVICE_RUNNING, 0));
    EXPECT_NE(sandbox_.service_log().find(in_log("\n\rHandler - SERVICE_CONTROL_INTERROGATE")), std::string::npos);
    ASSERT_TRUE(control(128, status)); // a user-defined control
    EXPECT_TRUE(same_status(status, platform::SERVICE_RUNNING, 0));
    EXPECT_NE(sandbox_.service_log().find(in_log("\n\rHandler - other control")), std::string::npos);
    const auto before_stop = ServiceSandbox::reports();
    ASSERT_EQ(before_stop.size(), 3u); // each control reported the record unchanged
    EXPECT_TRUE(same_status(before_stop[1], platform::SERVICE_RUNNING, 0));
    EXPECT_TRUE(same_status(before_stop[2], platform::SERVICE_RUNNING, 0));

    // While the stop control runs, no report may come before the stop
    // routine's last line: the routine pauses a second, in which such a
    // report would show.
    std::atomic<bool> stopping{true};
    std::atomic<bool> early_report{false};
    std::thread watcher([&] {
        while (stopping) {
            const std::size_t reports = ServiceSandbox::reports().size();
            const bool routine_ended = sandbox_.service_log().find("StopService-end") != std::string::npos;
            if (reports > before_stop.size() && !routine_ended)
                early_report = true;
            std::this_thread::sleep_for(5ms);
        }
    });
    const bool stopped = control(platform::SERVICE_CONTROL_STOP, status);
    stopping = false;
    watcher.join();
    ASSERT_TRUE(stopped);
    EXPECT_FALSE(early_report);
    EXPECT_EQ(status.dwCurrentState, platform::SERVICE_STOPPED);

    const auto after = ServiceSandbox::reports();
    ASSERT_EQ(after.size(), before_stop.size() + 2);
    EXPECT_TRUE(same_status(after[3], platform::SERVICE_STOP_PENDING, 5000));
    EXPECT_TRUE(same_status(after[4], platform::SERVICE_STOPPED, 0));
    EXPECT_NE(sandbox_.service_log().find(in_log("\n\rHandler - SERVICE_CONTROL_STOP\n\rGet STOP signal.."
                                                 "\n\rHandler - StopService()\n\rStopService-start")),
              std::string::npos)
        << sandbox_.service_log();
    EXPECT_EQ(ServiceSandbox::wait_service_exit(pid_, 30s), 0);
}

TEST_F(ServiceRun, WithoutKervonIniStopsItselfAndEndsWithCodeTwo) {
    std::filesystem::remove(sandbox_.data().file("Kervon/kervon.ini"));
    const osktest::CommandRun run = sandbox_.run({"-start"});
    ASSERT_EQ(run.exit, 0);
    EXPECT_EQ(run.err, "");
    pid_ = ServiceSandbox::recorded_pid();
    ASSERT_GT(pid_, 0);
    EXPECT_EQ(ServiceSandbox::wait_service_exit(pid_, 30s), 2);
    const auto reports = ServiceSandbox::reports();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_TRUE(same_status(reports[0], platform::SERVICE_RUNNING, 0));
    EXPECT_TRUE(same_status(reports[1], platform::SERVICE_STOP_PENDING, 5000));
    EXPECT_TRUE(same_status(reports[2], platform::SERVICE_STOPPED, 0));
    EXPECT_EQ(ServiceSandbox::state(), platform::SERVICE_STOPPED);
}

} // namespace
