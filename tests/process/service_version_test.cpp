// The agent's service entry on the older Windows versions, run by the
// service control manager: the agent's program made to report another
// version registers the control handler form of that version, reports the
// controls it accepts there, and stops through that handler.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/agent_with_ups.h"
#include "tests/support/service_sandbox.h"

namespace {

using namespace std::chrono_literals;
using osktest::ServiceSandbox;

const std::string kAtVersion = std::string(OSK_BINARY_DIR) + "/tests/agent_at_version";

struct VersionCase {
    const char *code;
    const char *form;
    platform::DWORD controls;
};

void PrintTo(const VersionCase &c, std::ostream *os) { *os << "version code " << c.code; }

class ServiceAtVersion : public ::testing::TestWithParam<VersionCase> {
  protected:
    ServiceSandbox sandbox_;
    ScratchDir program_dir_;
};

TEST_P(ServiceAtVersion, RegistersTheHandlerFormOfTheVersionAndStopsThroughIt) {
    const VersionCase &c = GetParam();
#ifdef __SANITIZE_THREAD__
    // Up to Windows 2003 the stop terminates the worker threads.
    if (std::atoi(c.code) <= 5)
        GTEST_SKIP() << "ThreadSanitizer does not follow the unwinding of a cancelled thread";
#endif
    // Below Vista the configuration lies in the program's folder: the
    // program is started from a folder of its own, next to its kervon.ini;
    // from Vista on it lies in the data directory.
    const std::string program = program_dir_.file("agent_at_version");
    std::filesystem::create_symlink(kAtVersion, program);
    const std::uint16_t port = osktest::free_udp_port();
    ASSERT_NE(port, 0);
    const std::string ini =
        "[System]\r\nName=test\r\n[Network]\r\nPort=" + std::to_string(port + 4) + "\r\n";
    write_file_bytes(program_dir_.file("kervon.ini"), ini);
    sandbox_.write_ini(ini);
    const std::string form_file = program_dir_.file("form");
    ASSERT_TRUE(ServiceSandbox::install_program(program + " " + c.code + " " + form_file));

    ASSERT_EQ(sandbox_.run({"-start"}).exit, 0);
    ASSERT_TRUE(ServiceSandbox::wait_state(platform::SERVICE_RUNNING, 30s));
    const int pid = ServiceSandbox::service_pid();
    ASSERT_GT(pid, 0);
    const auto started = ServiceSandbox::reports();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].dwServiceType, 0x110u);
    EXPECT_EQ(started[0].dwControlsAccepted, c.controls);

    EXPECT_EQ(sandbox_.run({"-stop"}).exit, 0);
    EXPECT_EQ(ServiceSandbox::wait_service_exit(pid, 30s), 0);
    const auto stopped = ServiceSandbox::reports();
    ASSERT_EQ(stopped.size(), 3u);
    EXPECT_EQ(stopped[1].dwCurrentState, platform::SERVICE_STOP_PENDING);
    EXPECT_EQ(stopped[2].dwCurrentState, platform::SERVICE_STOPPED);
    EXPECT_EQ(read_file_bytes(form_file), std::string(c.form) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ServiceAtVersion,
    ::testing::Values(VersionCase{"0", "extended", 1}, VersionCase{"1", "extended", 1},
                      VersionCase{"2", "older", 1}, VersionCase{"3", "extended", 1},
                      VersionCase{"4", "extended", 0x81}, VersionCase{"99", "extended", 0x81}),
    [](const auto &info) { return std::string("code") + info.param.code; });

} // namespace
