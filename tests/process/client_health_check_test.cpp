// oskavelde-client as a health check of the running agent: exit code 0 for
// every request about a UPS that answers, for the agent's error response to
// a request type it does not serve, and for the two command requests once
// sent; 1, with one line on standard error, when no answer comes, for a
// device number that is not configured and for a UPS that stopped
// answering.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/support/command_output.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/ups_behind_relay.h"

namespace {

using namespace std::chrono_literals;
using osktest::occurrences;

constexpr int kDevice = 3;

struct ClientRun {
    int exit_code;
    std::string out;
    std::string err;
};

class ClientHealthCheck : public osktest::UpsBehindRelay {
  protected:
    void SetUp() override {
        UpsBehindRelay::SetUp();
        if (HasFatalFailure())
            return;
        start_agent(
            ini("", {{0, "UPS hall", "BRAXO1-VEGA3000", 5, relay_address(), "online", kDevice}}),
            1);
    }

    ClientRun client(const std::string &request) const {
        const std::string err = scratch_.file("err");
        const osktest::CommandOutput r = osktest::run_command(
            std::string(OSK_BINARY_DIR) + "/oskavelde-client -w 1500 127.0.0.1 " +
            std::to_string(client_port_) + " " + request + " 2>" + err);
        return {r.exit_code, r.out, read_file_bytes(err)};
    }

    static void expect_no_answer(const ClientRun &r, const std::string &request) {
        EXPECT_EQ(r.exit_code, 1) << request << "\n" << r.out;
        EXPECT_NE(r.out.find("no response\n"), std::string::npos) << request << "\n" << r.out;
        // One line, naming what went unanswered.
        EXPECT_EQ(occurrences(r.err, "\n"), 1u) << request << "\n" << r.err;
        EXPECT_EQ(r.err.rfind("oskavelde-client: no answer from 127.0.0.1:", 0), 0u) << r.err;
        EXPECT_EQ(r.err.back(), '\n');
    }

    ScratchDir scratch_;
};

TEST_F(ClientHealthCheck, EveryRequestAboutACommunicatingUpsIsAnswered) {
    const ClientRun status = client("GET_STATUS " + std::to_string(kDevice));
    EXPECT_EQ(status.exit_code, 0) << status.out << status.err;
    EXPECT_NE(status.out.find("  StatusText: \"On Line\"\n"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("responses: 1\n"), std::string::npos) << status.out;
    EXPECT_EQ(status.err, "");
    for (const char *type : {"GET_IDENTIF", "GET_DEVDATA", "GET_BROWSEDATA"}) {
        const ClientRun r = client(std::string(type) + " " + std::to_string(kDevice));
        EXPECT_EQ(r.exit_code, 0) << type << "\n" << r.out << r.err;
        EXPECT_EQ(r.err, "") << type;
    }
}

// The agent is there and says what it thinks of the request: an answer,
// for the communicating device and for all devices alike.
TEST_F(ClientHealthCheck, ARequestTypeTheAgentDoesNotServeIsAnsweredWithItsError) {
    for (const std::string &request : {"2 " + std::to_string(kDevice), std::string("2 all")}) {
        const ClientRun r = client(request);
        EXPECT_EQ(r.exit_code, 0) << request << "\n" << r.out << r.err;
        EXPECT_NE(r.out.find("header: Ident=250 "), std::string::npos) << request << "\n" << r.out;
        EXPECT_NE(r.out.find("  Ident: 2\n  Code: 99\n"), std::string::npos)
            << request << "\n"
            << r.out;
        EXPECT_NE(r.out.find("responses: 1\n"), std::string::npos) << request << "\n" << r.out;
        EXPECT_EQ(r.err, "") << request;
    }
}

TEST_F(ClientHealthCheck, ADeviceNumberThatIsNotConfiguredGetsNoAnswer) {
    for (const char *request :
         {"GET_STATUS 4", "GET_IDENTIF 4", "GET_DEVDATA 4", "GET_BROWSEDATA 4", "2 4"})
        expect_no_answer(client(request), request);
}

TEST_F(ClientHealthCheck, CommandRequestsSucceedOnceSentThoughNeverAnswered) {
    // Both are queued for the UPS of device 3; the simulator's data is
    // read-only, so nothing is shut down, and device 4 has no slot at all.
    for (const char *request :
         {"SET_UPSCOMMAND 3 6 0", "SET_UPSSHUTDOWN 4 600", "SET_UPSCOMMAND 4 6"}) {
        const ClientRun r = client(request);
        EXPECT_EQ(r.exit_code, 0) << request << "\n" << r.out << r.err;
        EXPECT_NE(r.out.find("no response\n"), std::string::npos) << request << "\n" << r.out;
        EXPECT_EQ(r.err, "") << request;
    }
}

TEST_F(ClientHealthCheck, AUpsThatStoppedAnsweringGetsNoAnswer) {
    ASSERT_EQ(client("GET_STATUS " + std::to_string(kDevice)).exit_code, 0);
    relay_.stop_answering_after(0);
    ASSERT_TRUE(wait_for_count("\nComm lost recognized", 1, 60s)) << agent_.out();
    const std::string request = "GET_STATUS " + std::to_string(kDevice);
    expect_no_answer(client(request), request);
}

} // namespace
