// Where oskavelde-client sends its request. A host name is resolved whole,
// whatever its length, and the request reaches that host and no other:
// the names come from a hosts file of the test's own, bound over
// /etc/hosts in a mount namespace of the client's own, so the machine's
// resolution stays as it is. A host that the client cannot take whole is
// refused. And a request that cannot be sent, in a network namespace of
// the client's own without routes, ends with exit code 3 and the system's
// reason.
#include <string>

#include <gtest/gtest.h>

#include "server/protocol.h"
#include "tests/server/agent_fixture.h"
#include "tests/support/command_output.h"
#include "tests/support/protocol_client.h"
#include "tests/support/scratch_dir.h"

namespace {

const std::string kClient = std::string(OSK_BINARY_DIR) + "/oskavelde-client";

struct ClientRun {
    int exit_code;
    std::string out;
    std::string err;
};

// A name of 253 characters, the most a host name may have.
const std::string kLongest = std::string(63, 'a') + "." + std::string(63, 'b') + "." +
                             std::string(63, 'c') + "." + std::string(61, 'd');

// Two hosts that answer nothing and keep what reaches them: the one the
// names below mean, on 127.0.0.2, and on 127.0.0.3 the one that a name cut
// to 20 characters would mean instead; both on one port.
class ClientHost : public ::testing::Test {
  protected:
    void SetUp() override {
        port_ = bind_free_port(named_.socket(), "127.0.0.2");
        ASSERT_NE(port_, 0);
        ASSERT_TRUE(bind_port(cut_.socket(), "127.0.0.3", port_));
        const std::string names = "127.0.0.2 ups-agent-primary.example\n"
                                  "127.0.0.3 ups-agent-primary.ex\n"
                                  "127.0.0.2 ups-agent-secondary.example\n";
        write_file_bytes(scratch_.file("hosts"),
                         names + "127.0.0.2 " + kLongest + "\n127.0.0.3 " + kLongest + "e\n");
    }

    // A shutdown for device 7, sent to the host as named; the client waits
    // for nothing.
    ClientRun shutdown_to(const std::string &host) const {
        const std::string err = scratch_.file("err");
        const std::string run = "mount --bind '" + scratch_.file("hosts") +
                                "' /etc/hosts && exec '" + kClient + "' -w 0 '" + host + "' " +
                                std::to_string(port_) + " SET_UPSSHUTDOWN 7 300";
        const osktest::CommandOutput r =
            osktest::run_command("unshare -m sh -c \"" + run + "\" 2>'" + err + "'");
        return {r.exit_code, r.out, read_file_bytes(err)};
    }

    ScratchDir scratch_;
    ProtocolClient named_;
    ProtocolClient cut_;
    std::uint16_t port_ = 0;
};

TEST_F(ClientHost, TheRequestReachesTheHostAsNamedWhateverTheLengthOfItsName) {
    const std::string request = request_datagram(SET_UPSSHUTDOWN, 7, payload_words(300, 0xFFFF));
    // The first three are longer than 20 characters: cut, the first names
    // the other host, the others no host at all. The last is the other
    // host's own name, which shows that what is sent there arrives.
    for (const std::string &host :
         {std::string("ups-agent-primary.example"), std::string("ups-agent-secondary.example"),
          kLongest, std::string("ups-agent-primary.ex")}) {
        const ClientRun r = shutdown_to(host);
        const bool the_cut_host = host == "ups-agent-primary.ex";
        EXPECT_EQ(r.exit_code, 0) << host << "\n" << r.out << r.err;
        EXPECT_EQ(r.err, "") << host;
        EXPECT_EQ(named_.receive_all(50),
                  the_cut_host ? std::vector<std::string>{} : std::vector<std::string>{request})
            << host;
        EXPECT_EQ(cut_.receive_all(50),
                  the_cut_host ? std::vector<std::string>{request} : std::vector<std::string>{})
            << host;
    }
}

TEST_F(ClientHost, AHostThatCannotBeTakenWholeIsRefusedAndNothingIsSent) {
    const struct {
        std::string host;
        std::string why;
    } cases[] = {
        {"no-such-host.invalid", "does not resolve to an IPv4 address ("},
        // In the hosts file, but longer than any host name may be.
        {kLongest + "e", "longer than a host name may be (253 characters)\n"},
        // A final dot is no part of the length; the hosts file does not
        // know the name with it.
        {kLongest + ".", "does not resolve to an IPv4 address ("},
        {"", "does not resolve to an IPv4 address ("},
        {"1.2.3.4.5", "does not resolve to an IPv4 address ("},
    };
    for (const auto &c : cases) {
        const ClientRun r = shutdown_to(c.host);
        EXPECT_EQ(r.exit_code, 2) << c.host << "\n" << r.err;
        EXPECT_EQ(r.out, "") << c.host;
        const std::string line = "oskavelde-client: HOST \"" + c.host + "\": " + c.why;
        EXPECT_EQ(r.err.substr(0, line.size()), line) << c.host;
        EXPECT_TRUE(named_.receive_all(50).empty()) << c.host;
        EXPECT_TRUE(cut_.receive_all(50).empty()) << c.host;
    }
}

// In a network namespace that has no route, every send fails with
// ENETUNREACH: for each kind of request, the request line, then one line on
// standard error that names the request and the system's reason, and exit
// code 3, the two commands too.
TEST(ClientNotSent, ARequestThatCannotBeSentEndsWithItsReason) {
    const struct {
        const char *request;
        const char *shown; // on the request line
        const char *named; // in the line on standard error
    } cases[] = {
        {"GET_IDENTIF 7", "TYPE=1 (GET_IDENTIF) DEVICE=7", "GET_IDENTIF for device 7"},
        {"GET_STATUS 7", "TYPE=3 (GET_STATUS) DEVICE=7", "GET_STATUS for device 7"},
        {"GET_DEVDATA 7", "TYPE=4 (GET_DEVDATA) DEVICE=7", "GET_DEVDATA for device 7"},
        {"GET_BROWSEDATA all", "TYPE=16 (GET_BROWSEDATA) DEVICE=65535",
         "GET_BROWSEDATA for device 65535"},
        {"SET_UPSSHUTDOWN 7 300", "TYPE=14 (SET_UPSSHUTDOWN) DEVICE=7",
         "SET_UPSSHUTDOWN for device 7"},
        {"SET_UPSCOMMAND 7 6", "TYPE=15 (SET_UPSCOMMAND) DEVICE=7", "SET_UPSCOMMAND for device 7"},
        {"2 7", "TYPE=2 (2) DEVICE=7", "2 for device 7"},
    };
    ScratchDir scratch;
    const std::string err = scratch.file("err");
    for (const auto &c : cases) {
        const osktest::CommandOutput r = osktest::run_command(
            "unshare -n '" + kClient + "' 192.0.2.1 4001 " + c.request + " 2>'" + err + "'");
        EXPECT_EQ(r.exit_code, 3) << c.request;
        EXPECT_EQ(r.out, std::string("request: ") + c.shown + " to 192.0.2.1:4001\n") << c.request;
        EXPECT_EQ(read_file_bytes(err), std::string("oskavelde-client: ") + c.named +
                                            " could not be sent to 192.0.2.1:4001: "
                                            "Network is unreachable\n")
            << c.request;
    }
}

} // namespace
