// The debug log rotated by logrotate while the agent runs with file
// output, with the rules that the install ships (read from their file,
// so the test and the package cannot drift apart): the rename leaves the rotated file as it was,
// the agent's next messages land in a fresh debugsnmp.log, and the two files together hold every
// message the console got, in order. The rules rotate as the user that
// owns the data directory under the systemd unit; user nobody, owning the
// test's data directory, stands in for it.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "server/protocol.h"
#include "tests/support/agent_with_ups.h"
#include "tests/support/command_output.h"
#include "tests/support/debug_lines.h"

namespace {

using namespace std::chrono_literals;
using osktest::occurrences;

constexpr std::uint16_t kDevice = 36;
constexpr const char *kShippedLogPath = "/var/lib/oskavelde/Kervon/debugsnmp.log";
constexpr const char *kShippedRotationUser = "su oskavelde oskavelde";
constexpr unsigned kNobody = 65534;

// The logrotate rules that the install ships.
std::string shipped_stanza() {
    return read_file_bytes(std::string(OSK_SOURCE_DIR) + "/dist/oskavelde.logrotate");
}

long file_size(const std::string &path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

class LogRotation : public osktest::AgentWithUps {};

TEST_F(LogRotation, ShippedRulesRotateWithoutLosingOrMisplacingAMessage) {
    std::string stanza = shipped_stanza();
    ASSERT_FALSE(stanza.empty()) << "no dist/oskavelde.logrotate";
    const std::size_t path_at = stanza.find(kShippedLogPath);
    ASSERT_NE(path_at, std::string::npos) << stanza;
    const std::string log = agent_.data_file("debugsnmp.log");
    const std::string rotated = log + ".1";
    stanza.replace(path_at, std::string(kShippedLogPath).size(), log);
    const std::size_t user_at = stanza.find(kShippedRotationUser);
    ASSERT_NE(user_at, std::string::npos) << stanza;
    stanza.replace(user_at, std::string(kShippedRotationUser).size(), "su nobody nogroup");
    const std::string data = agent_.dir().file("Kervon");
    ASSERT_EQ(::chown(data.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chmod(data.c_str(), 0750), 0);
    ASSERT_EQ(::chmod(agent_.dir().path().c_str(), 0711), 0);
    const std::string conf = agent_.dir().file("logrotate.conf");
    write_file_bytes(conf, stanza);

    start_agent(ini("", {{1, "UPS hall", "BRAXO1-VEGA3000", 5, ups_address(), "online", kDevice}}),
                1, {"-log"});

    // Requests under way while the file is renamed: the network thread
    // writes their lines as logrotate runs.
    for (int i = 0; i < 6; ++i)
        client_.send(client_port_, request_datagram(GET_STATUS, kDevice));
    const std::string command =
        std::string(::access("/usr/sbin/logrotate", X_OK) == 0 ? "/usr/sbin/logrotate"
                                                               : "logrotate") +
        " -f -s " + agent_.dir().file("logrotate.state") + " " + conf;
    const osktest::CommandOutput logrotate = osktest::run_command(command + " 2>&1");
    const std::string &output = logrotate.out;
    ASSERT_EQ(logrotate.exit_code, 0) << command << "\n" << output;
    EXPECT_EQ(client_.receive_all(1500).size(), 6u) << agent_.out();
    // A message whose open came just before the rename may still end in
    // the rotated file; past this pause nothing may.
    std::this_thread::sleep_for(300ms);
    const long rotated_size = file_size(rotated);
    ASSERT_GT(rotated_size, 0) << output;

    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(request(GET_STATUS, kDevice).size(), 1u) << agent_.out();
    const std::size_t polls = occurrences(agent_.out(), "RESP Dev:01");
    ASSERT_TRUE(wait_for_count("RESP Dev:01", polls + 1, 60s)) << agent_.out();
    agent_.signal(SIGINT);
    ASSERT_EQ(agent_.wait_exit(30s), 0) << agent_.out() << agent_.err();

    EXPECT_EQ(file_size(rotated), rotated_size)
        << "written into the rotated file after the rotation";
    const std::string fresh = read_file_bytes(log);
    const auto fresh_lines = osktest::debug_lines(fresh);
    EXPECT_GE(osktest::lines_with(fresh_lines, "Receive RQ UDP GET_STATUS packet"), 3u) << fresh;
    EXPECT_GE(osktest::lines_with(fresh_lines, "RESP Dev:01"), 1u) << fresh;
    EXPECT_EQ(osktest::lines_with(fresh_lines, "StopService-end"), 1u) << fresh;
    EXPECT_EQ(osktest::lines_with(fresh_lines, "Detected system: "), 0u) << fresh;
    // Nothing lost, nothing twice, nothing out of order.
    EXPECT_EQ(osktest::from_log(read_file_bytes(rotated) + fresh), agent_.out());
}

} // namespace
