// Installation and removal of the agent's service from the command line,
// against a service control manager and registry of the test's own: the
// recorded service, its description and event-log source, an installation
// over an existing one, the second attempt after an installation that did
// not finish, and removals, also one followed by -install.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/debug_lines.h"
#include "tests/support/service_sandbox.h"

namespace {

using osktest::in_log;
using osktest::ServiceSandbox;
using namespace std::chrono_literals;

const std::string kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\Oskavelde";
const std::string kSourceKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Oskavelde";

struct InstallCase {
    const char *name;
    std::vector<std::string> args;
    bool blank_in_path;
    platform::DWORD start_type;
    const char *start_words;
    std::string group;
};

class Install : public ::testing::TestWithParam<InstallCase> {
  protected:
    ServiceSandbox sandbox_;
    ScratchDir programs_;
};

TEST_P(Install, RecordsTheServiceWithItsDescriptionAndEventLogSource) {
    const InstallCase &c = GetParam();
    std::string program = osktest::AgentProcess::binary();
    if (c.blank_in_path) {
        // The program's own path, as the system reports it, holds a blank.
        std::filesystem::create_directories(programs_.file("agent bin"));
        program = programs_.file("agent bin/oskavelde");
        std::filesystem::copy_file(osktest::AgentProcess::binary(), program);
    }
    const osktest::CommandRun run = sandbox_.run(c.args, program);
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.log, in_log("\n\rCreateServiceOskavelde - SNMP Monitor installed.\n"));

    std::string path, group, display_name;
    platform::DWORD type = 0, start_type = 0;
    ASSERT_TRUE(ServiceSandbox::config(path, type, start_type, group, display_name));
    EXPECT_EQ(display_name, osktest::kDisplayName);
    EXPECT_EQ(type, 0x110u);
    EXPECT_EQ(start_type, c.start_type);
    EXPECT_EQ(group, c.group);
    EXPECT_EQ(path, c.blank_in_path ? "\"" + program + "\"" : program);
    const std::string record = read_file_bytes(sandbox_.state_dir() + "/services/oskavelde.service");
    EXPECT_NE(record.find(std::string("\nstart_type=") + c.start_words + "\n"), std::string::npos) << record;
    EXPECT_EQ(ServiceSandbox::state(), platform::SERVICE_STOPPED); // installed, not started

    platform::DWORD value_type = 0;
    std::string data;
    ASSERT_TRUE(ServiceSandbox::registry_value(kServiceKey, "Description", value_type, data));
    EXPECT_EQ(value_type, platform::REG_SZ);
    EXPECT_EQ(data, std::string("UPS SNMP monitoring service", 28));
    ASSERT_TRUE(ServiceSandbox::registry_value(kSourceKey, "EventMessageFile", value_type, data));
    EXPECT_EQ(value_type, platform::REG_SZ);
    EXPECT_EQ(data, program + '\0'); // the path itself, never quoted
    ASSERT_TRUE(ServiceSandbox::registry_value(kSourceKey, "TypesSupported", value_type, data));
    EXPECT_EQ(value_type, platform::REG_DWORD);
    EXPECT_EQ(data, std::string("\x07\0\0\0", 4));
}

INSTANTIATE_TEST_SUITE_P(
    Options, Install,
    ::testing::Values(InstallCase{"AutomaticFromAPathWithABlank", {"-log", "-install"}, true, 2, "2 automatic", ""},
                      InstallCase{"OnDemandInAGroup", {"-log", "-install1", "UPS Group"}, false, 3, "3 demand",
                                  "UPS Group"},
                      InstallCase{"GroupThatLooksLikeAnOption", {"-log", "-install", "-debug"}, false, 2,
                                  "2 automatic", "-debug"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(InstallAgain, OverAnExistingServiceReportsItAndKeepsTheService) {
    ServiceSandbox sandbox;
    ASSERT_EQ(sandbox.run({"-install1", "Group A"}).exit, 0);
    const osktest::CommandRun run = sandbox.run({"-log", "-install"});
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.err, "Error: The service is already installed.\n");
    // No removal and no second attempt: the result was 0.
    EXPECT_EQ(run.log, in_log("\n\rCreateServiceThe service is already installed.\n"));
    std::string path, group, display_name;
    platform::DWORD type = 0, start_type = 0;
    ASSERT_TRUE(ServiceSandbox::config(path, type, start_type, group, display_name));
    EXPECT_EQ(start_type, 3u);
    EXPECT_EQ(group, "Group A");
    platform::DWORD value_type = 0;
    std::string data;
    EXPECT_TRUE(ServiceSandbox::registry_value(kServiceKey, "Description", value_type, data));
    EXPECT_TRUE(ServiceSandbox::registry_value(kSourceKey, "TypesSupported", value_type, data));
}

TEST(InstallAgain, AfterACreationThatFailedRemovesAndInstallsOnceMore) {
    ServiceSandbox sandbox;
    // The manager's folder for service records cannot be made, so the
    // creation fails and the service has no key for its description.
    std::filesystem::create_directories(sandbox.state_dir());
    write_file_bytes(sandbox.state_dir() + "/services", "not a folder");
    const osktest::CommandRun run = sandbox.run({"-log", "-install"});
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.err, "Error: The path was not found.\nError: The path was not found.\n");
    EXPECT_EQ(run.log, in_log("\n\rCreateServiceThe path was not found.\n"
                              "The service is not installed.\nOpenService failed - "
                              "\n\rCreateServiceThe path was not found.\n"));
}

TEST(Remove, WhenNotInstalledWritesTheTextAndShowsNoBox) {
    ServiceSandbox sandbox;
    const osktest::CommandRun run = sandbox.run({"-log", "-remove"});
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.log, in_log("The service is not installed.\nOpenService failed - "));
    EXPECT_FALSE(ServiceSandbox::registry_key_exists(kSourceKey));
}

TEST(Remove, OfAStoppedServiceDeletesItAndItsRegistryKeys) {
    ServiceSandbox sandbox;
    ASSERT_EQ(sandbox.run({"-install"}).exit, 0);
    ASSERT_TRUE(ServiceSandbox::registry_key_exists(kSourceKey));
    const osktest::CommandRun run = sandbox.run({"-log", "-remove"});
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.err, "");
    // The stop control is refused without a word.
    EXPECT_EQ(run.log, in_log("\nDelete service\nOskavelde - SNMP Monitor removed.\n"));
    EXPECT_EQ(ServiceSandbox::state(), 0u); // not installed
    EXPECT_FALSE(ServiceSandbox::registry_key_exists(kSourceKey));
    EXPECT_FALSE(ServiceSandbox::registry_key_exists(kServiceKey));
    EXPECT_TRUE(ServiceSandbox::registry_key_exists("SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application"));
}

TEST(Remove, FollowedByInstallRemovesOnly) {
    ServiceSandbox sandbox;
    ASSERT_EQ(sandbox.run({"-install"}).exit, 0);
    const osktest::CommandRun run = sandbox.run({"-log", "-remove", "-install"});
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.log, in_log("\nDelete service\nOskavelde - SNMP Monitor removed.\n"));
    EXPECT_EQ(ServiceSandbox::state(), 0u); // not installed again
    EXPECT_FALSE(ServiceSandbox::registry_key_exists(kServiceKey));
}

TEST(Management, WithoutAWritableStateDirectoryReportsAccessDenied) {
    ServiceSandbox sandbox;
    ScratchDir other;
    write_file_bytes(other.file("file"), "x");
    struct Case {
        std::vector<std::string> args;
        const char *err;
        std::string log;
    };
    const Case cases[] = {
        {{"-log", "-install"}, "Error: Access denied.\n", in_log("Access denied.\n")},
        {{"-log", "-remove"}, "Error: Access denied.\n", in_log("Access denied.\nOpenSCManager failed - ")},
        {{"-log", "-start"}, "Error: Access denied.\n", in_log("Access denied.\nOpenSCManager failed - ")},
        {{"-log", "-stop"},
         "Error: Access denied.\n",
         in_log("\n\rCmdStopService-startAccess denied.\nOpenSCManager failed - \n\rCmdStopService-end")},
    };
    for (const Case &c : cases) {
        osktest::AgentProcess command;
        sandbox.prepare(command);
        // A state directory below a plain file can be neither made nor written.
        command.set_environment("OSKAVELDE_SCM_DIR", other.file("file/scm"));
        ASSERT_TRUE(command.start(c.args));
        EXPECT_EQ(command.wait_exit(30s), 0) << c.args[1];
        EXPECT_EQ(command.err(), c.err) << c.args[1];
        EXPECT_EQ(read_file_bytes(command.dir().file("debugsnmp.log")), c.log) << c.args[1];
    }
}

} // namespace
