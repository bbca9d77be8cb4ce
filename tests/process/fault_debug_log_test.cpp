// The debug log file taken away while the agent runs with file output:
// removed (the next message creates it again), or replaced by something
// no message can be appended to (a directory; a symbolic link, which is
// never followed, whether it points into a missing folder or at another
// user's file; a hard link to another user's file; all hold for root
// too). The agent goes on polling and
// answering, stops with exit code 0, and leaves the file a link points at
// as it was. A management option after -log, whose log lies in the
// current directory, writes nothing through a link there either.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "server/protocol.h"
#include "tests/support/agent_with_ups.h"
#include "tests/support/debug_lines.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr std::uint16_t kDevice = 35;

// A file beside the data directory that a link may point at.
constexpr char kOtherFile[] = "other.txt";
constexpr char kOtherContent[] = "another user's file\n";

struct LogFault {
    const char *name;
    // Replaces the log; other is a file of kOtherContent.
    void (*apply)(const fs::path &log, const fs::path &other);
    // The next message makes a file of its own of it again.
    bool recreated;
};

void PrintTo(const LogFault &c, std::ostream *os) { *os << c.name; }

class DebugLogFault : public osktest::AgentWithUps, public ::testing::WithParamInterface<LogFault> {};

TEST_P(DebugLogFault, AgentGoesOnPollingAndAnsweringAndStopsWithZero) {
    const LogFault &c = GetParam();
    start_agent(ini("", {{1, "UPS hall", "BRAXO1-VEGA3000", 5, ups_address(), "online", kDevice}}), 1,
                {"-log"});
    const fs::path log = agent_.data_file("debugsnmp.log");
    const fs::path other = agent_.dir().file(kOtherFile);
    write_file_bytes(other, kOtherContent);
    ASSERT_NE(agent_.log().find("RESP Dev:01"), std::string::npos) << agent_.log();

    c.apply(log, other);
    ASSERT_TRUE(wait_for_count("RESP Dev:01", 3, 60s)) << agent_.out() << agent_.err();
    EXPECT_EQ(request(GET_STATUS, kDevice).size(), 1u) << agent_.out();

    agent_.signal(SIGINT);
    EXPECT_EQ(agent_.wait_exit(30s), 0) << agent_.out() << agent_.err();
    EXPECT_NE(agent_.out().find("\n\rStopService-end"), std::string::npos) << agent_.out();
    EXPECT_EQ(agent_.err(), "");

    std::error_code ec;
    const bool own_file =
        fs::is_regular_file(fs::symlink_status(log, ec)) && fs::hard_link_count(log, ec) == 1;
    EXPECT_EQ(own_file, c.recreated);
    EXPECT_EQ(read_file_bytes(other), kOtherContent);
    if (c.recreated) {
        // Only what came after the removal, the later polls and the stop.
        const auto lines = osktest::debug_lines(agent_.log());
        EXPECT_EQ(osktest::lines_with(lines, "Detected system: "), 0u);
        EXPECT_EQ(osktest::lines_with(lines, "RESP Dev:01"), 2u) << agent_.log();
        EXPECT_EQ(osktest::lines_with(lines, "StopService-end"), 1u) << agent_.log();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DebugLogFault,
    ::testing::Values(LogFault{"removed", [](const fs::path &log, const fs::path &) { fs::remove(log); }, true},
                      LogFault{"directory_in_its_place",
                               [](const fs::path &log, const fs::path &) {
                                   fs::remove(log);
                                   fs::create_directory(log);
                               },
                               false},
                      LogFault{"link_into_a_missing_folder",
                               [](const fs::path &log, const fs::path &) {
                                   fs::remove(log);
                                   fs::create_symlink(log.parent_path() / "gone" / "debugsnmp.log", log);
                               },
                               false},
                      LogFault{"link_to_another_file",
                               [](const fs::path &log, const fs::path &other) {
                                   fs::remove(log);
                                   fs::create_symlink(other, log);
                               },
                               false},
                      LogFault{"hard_link_to_another_file",
                               [](const fs::path &log, const fs::path &other) {
                                   fs::remove(log);
                                   fs::create_hard_link(other, log);
                               },
                               false}),
    [](const auto &info) { return std::string(info.param.name); });

// Root running "-log -stop" in a folder that others can write: the stop
// request's report ("The service is not installed." here) goes nowhere
// rather than into the file that a link planted as debugsnmp.log names,
// and the command ends as always.
TEST(DebugLogLink, ManagementOptionWritesNothingThroughALinkInTheCurrentDirectory) {
    osktest::AgentProcess command;
    const std::string other = command.dir().file(kOtherFile);
    const std::string log = command.dir().file("debugsnmp.log");
    write_file_bytes(other, kOtherContent);
    fs::create_symlink(other, log);
    ASSERT_TRUE(command.start({"-log", "-stop"}));
    EXPECT_EQ(command.wait_exit(30s), 0) << command.err();
    EXPECT_EQ(read_file_bytes(other), kOtherContent);
    EXPECT_TRUE(fs::is_symlink(log));
}

} // namespace
