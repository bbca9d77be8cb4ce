// The agent started with standard input, output and error closed, as some
// supervisors start daemons, and a UPS name that holds the bytes of the
// console signals (1, 2, 3 and 15): the standard descriptors are taken by
// /dev/null, the console text goes nowhere and stops nothing, and the
// agent polls and answers until it is sent SIGINT, then ends with 0.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "server/protocol.h"
#include "tests/support/agent_with_ups.h"
#include "tests/support/debug_lines.h"

namespace {

using namespace std::chrono_literals;
using osktest::occurrences;

constexpr std::uint16_t kDevice = 36;

std::string descriptor_target(pid_t pid, int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/%d/fd/%d", static_cast<int>(pid), fd);
    char target[256] = {};
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

class ClosedStandardStreams : public osktest::AgentWithUps {};

TEST_F(ClosedStandardStreams, SignalBytesInTheConsoleTextStopNothing) {
    agent_.write_ini(ini("", {{0, "UPS\x01\x02\x03\x0f hall", "BRAXO1-VEGA3000", 5, ups_address(), "online",
                               kDevice}}));
    agent_.close_standard_streams();
    ASSERT_TRUE(agent_.start({"-log"}));
    // The set-up listing, which names the UPS, has gone to the console by
    // the first poll; more polls after it show that nothing stopped.
    ASSERT_TRUE(wait_for_log_count("RESP Dev:00", 2, 60s)) << agent_.log();
    for (int fd = 0; fd <= 2; ++fd)
        EXPECT_EQ(descriptor_target(agent_.pid(), fd), "/dev/null") << fd;
    EXPECT_EQ(request(GET_STATUS, kDevice).size(), 1u) << agent_.log();
    EXPECT_EQ(agent_.log().find("ControlHandler"), std::string::npos) << agent_.log();

    agent_.signal(SIGINT);
    EXPECT_EQ(agent_.wait_exit(30s), 0) << agent_.log();
    const std::string log = agent_.log();
    EXPECT_EQ(occurrences(log, "ControlHandler - "), 1u) << log;
    EXPECT_NE(log.find("\r\n\rControlHandler - CTRL_BREAK_EVENT "), std::string::npos) << log;
    EXPECT_NE(log.find("\r\n\rStopService-end"), std::string::npos) << log;
}

} // namespace
