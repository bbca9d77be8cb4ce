// The INI files as an operator may leave them, with the real binary: a
// kervon.ini that cannot be opened (missing, in a missing data directory,
// or something other than a regular file: a FIFO, a link to /dev/zero, a
// directory) ends the run at once with the settled message, a line that
// names the path and the reason, and exit code 2; optional files that are
// no regular files are passed over and the agent runs; and a kervon.ini
// saved with a byte-order mark keeps its first section.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "tests/support/agent_process.h"
#include "platform/winsock.h"
#include "tests/support/agent_with_ups.h"
#include "tests/support/special_files.h"

namespace {

using namespace std::chrono_literals;
using osktest::AgentProcess;
using osktest::Special;

constexpr const char *kSettled = "Error: Cannot open initialization file!\n";

// What stands where kervon.ini is looked for.
struct MainFileCase {
    const char *name;
    bool data_directory; // the data directory exists
    bool planted;        // something is planted at kervon.ini's path
    Special kind;
    const char *reason;
};

void PrintTo(const MainFileCase &c, std::ostream *os) { *os << c.name; }

class KervonIniUnopened : public ::testing::TestWithParam<MainFileCase> {};

TEST_P(KervonIniUnopened, EndsAtOnceNamingThePathAndTheReason) {
    const MainFileCase &c = GetParam();
    AgentProcess agent;
    const std::string path = agent.data_file("kervon.ini");
    if (!c.data_directory)
        std::filesystem::remove_all(agent.dir().file("Kervon"));
    if (c.planted) {
        ASSERT_TRUE(osktest::plant_special(path, c.kind));
    }
    // A FIFO that the agent waited on, or /dev/zero that it read, would
    // keep it running past the limit; it is then killed and the code is -1.
    ASSERT_TRUE(agent.start({"-log"}));
    EXPECT_EQ(agent.wait_exit(10s), 2);
    EXPECT_LT(agent.run_time(), 5s);
    const std::string line = "Cannot open " + path + ": " + c.reason;
    EXPECT_EQ(agent.err(), kSettled + line + "\n");
    EXPECT_EQ(agent.out(), "");
    // The debug log of -log, in the data directory where there is one.
    if (c.data_directory) {
        EXPECT_EQ(agent.log().rfind("\r\n" + line + "\r\n", 0), 0u) << agent.log();
    } else {
        EXPECT_FALSE(std::filesystem::exists(agent.dir().file("Kervon")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Places, KervonIniUnopened,
    ::testing::Values(
        MainFileCase{"missing", true, false, Special::fifo, "No such file or directory"},
        MainFileCase{"no_data_directory", false, false, Special::fifo, "No such file or directory"},
        MainFileCase{"fifo", true, true, Special::fifo, "not a regular file"},
        MainFileCase{"link_to_dev_zero", true, true, Special::link_to_dev_zero, "not a regular file"},
        MainFileCase{"directory", true, true, Special::directory, "Is a directory"}),
    [](const auto &info) { return std::string(info.param.name); });

// An ALLUSERSPROFILE whose data directory leaves no room for the file's
// path names no path that was tried; the line says why none was.
TEST(KervonIniUnopened, OverlongProfileSaysThePathWouldNotFit) {
    AgentProcess agent;
    const std::string named = make_directory_of_length(agent.dir().path(), 238);
    std::filesystem::create_directory(named + "/Kervon");
    write_file_bytes(named + "/Kervon/kervon.ini", osktest::ini_without_devices());
    agent.set_environment("ALLUSERSPROFILE", named);
    ASSERT_TRUE(agent.start({"-debug"}));
    EXPECT_EQ(agent.wait_exit(10s), 2);
    EXPECT_EQ(agent.err(), std::string(kSettled) +
                               "Cannot open kervon.ini: its path in the data directory would be "
                               "longer than 255 characters\n");
    EXPECT_EQ(agent.out(), "");
}

// Optional files that are no regular files are passed over as missing
// ones are, and kervon.ini through a link to a regular file is read.
TEST(OptionalIniFiles, ThatAreNoRegularFilesArePassedOver) {
    AgentProcess agent;
    write_file_bytes(agent.dir().file("kervon.real"), osktest::ini_without_devices());
    std::filesystem::create_symlink(agent.dir().file("kervon.real"), agent.data_file("kervon.ini"));
    ASSERT_TRUE(osktest::plant_special(agent.data_file("jobs.ini"), Special::fifo));
    ASSERT_TRUE(osktest::plant_special(agent.data_file("group_00.ini"), Special::link_to_dev_zero));
    ASSERT_TRUE(osktest::plant_special(agent.data_file("sensor.ini"), Special::directory));
    ASSERT_TRUE(agent.start({"-debug"}));
    ASSERT_TRUE(agent.wait_until_running(10s)) << agent.out() << agent.err();
    agent.signal(SIGINT);
    EXPECT_EQ(agent.wait_exit(20s), 0);
    EXPECT_EQ(agent.err(), "");
}

// True while some process holds the UDP port on every local address.
bool udp_port_taken(std::uint16_t port) {
    const platform::SOCKET s =
        platform::socket(platform::AF_INET, platform::SOCK_DGRAM, platform::IPPROTO_UDP);
    platform::sockaddr_in at{};
    at.sin_family = platform::AF_INET;
    at.sin_port = platform::htons(port);
    at.sin_addr.s_addr = platform::htonl(platform::INADDR_ANY);
    const bool taken =
        platform::bind(s, reinterpret_cast<const platform::sockaddr *>(&at), sizeof at) != 0;
    platform::closesocket(s);
    return taken;
}

// A kervon.ini saved by a Windows editor, with [Network] first: its port
// is the one that the clients are served on.
TEST(KervonIniWithByteOrderMark, KeepsItsFirstSection) {
    const std::uint16_t client_port = osktest::free_udp_port();
    ASSERT_NE(client_port, 0);
    AgentProcess agent;
    agent.write_ini("\xEF\xBB\xBF[Network]\r\nPort=" + std::to_string(client_port + 4) +
                    "\r\n[System]\r\nName=test\r\n");
    ASSERT_TRUE(agent.start({"-debug"}));
    ASSERT_TRUE(agent.wait_until_running(10s)) << agent.out() << agent.err();
    EXPECT_NE(agent.out().find("Open TCP/IP pasive port [" + std::to_string(client_port) + "] ... "),
              std::string::npos)
        << agent.out();
    EXPECT_TRUE(udp_port_taken(client_port));
    agent.signal(SIGINT);
    EXPECT_EQ(agent.wait_exit(20s), 0);
}

} // namespace
