// The simulated UPS's own guarantees: leased loopback addresses are never
// shared, a simulator that cannot come up says why, and a simulator never
// outlives the test process that started it.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/snmpsim_fixture.h"
#include "tests/support/wait_until.h"

namespace {

// A UDP socket bound to address:port, or -1.
int bind_udp(const char *address, unsigned short port) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(port);
    inet_pton(AF_INET, address, &sin.sin_addr);
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr *>(&sin), sizeof sin) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

TEST(LoopbackLease, LeasesAreNeverShared) {
    osktest::LoopbackLease first;
    osktest::LoopbackLease second;
    std::string error;
    ASSERT_TRUE(first.acquire(161, error)) << error;
    ASSERT_TRUE(second.acquire(161, error)) << error;
    EXPECT_STRNE(first.address(), second.address());
    first.release();
    EXPECT_STREQ(first.address(), "");
}

TEST(SnmpSimulator, SaysWhyWhenThePortIsTaken) {
    osktest::LoopbackLease lease;
    std::string error;
    ASSERT_TRUE(lease.acquire(161, error)) << error;
    const int taken = bind_udp(lease.address(), 161);
    ASSERT_GE(taken, 0);
    osktest::SnmpSimulator simulator;
    EXPECT_FALSE(simulator.start(lease.address(), osktest::snmpsim_data_dir(), error));
    EXPECT_FALSE(simulator.running());
    EXPECT_NE(error.find("snmpsimd ended before it answered"), std::string::npos) << error;
    EXPECT_NE(error.find("--- snmpsimd output ---"), std::string::npos) << error;
    EXPECT_NE(error.find("Address already in use"), std::string::npos) << error;
    close(taken);
}

TEST(SnmpSimulator, NeedsDataFiles) {
    osktest::LoopbackLease lease;
    std::string error;
    ASSERT_TRUE(lease.acquire(161, error)) << error;
    char empty[] = "/tmp/oskavelde-empty-XXXXXX";
    ASSERT_NE(mkdtemp(empty), nullptr);
    osktest::SnmpSimulator simulator;
    EXPECT_FALSE(simulator.start(lease.address(), empty, error));
    EXPECT_NE(error.find("no .snmprec data file"), std::string::npos) << error;
    std::filesystem::remove(empty);
}

// The test process ends without stopping its simulator: the simulator ends
// all the same and frees the port.
TEST(SnmpSimulatorDeathTest, EndsWithTheTestProcess) {
    GTEST_FLAG_SET(death_test_style, "fast");
    osktest::LoopbackLease lease;
    std::string error;
    ASSERT_TRUE(lease.acquire(161, error)) << error;
    const std::string address = lease.address();
    EXPECT_EXIT(
        {
            auto *simulator = new osktest::SnmpSimulator;
            std::string why;
            std::_Exit(simulator->start(address, osktest::snmpsim_data_dir(), why) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    const bool freed = osktest::wait_until(
        [&] {
            const int fd = bind_udp(address.c_str(), 161);
            if (fd >= 0)
                close(fd);
            return fd >= 0;
        },
        std::chrono::seconds(10), std::chrono::milliseconds(50));
    EXPECT_TRUE(freed) << "snmpsimd still holds " << address << ":161";
}

} // namespace
