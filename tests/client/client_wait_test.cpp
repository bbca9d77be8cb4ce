// oskavelde-client's wait for the answer. A peer plays the agent on
// 127.0.0.1 and answers a status request, or does not, or floods the
// client with datagrams that answer nothing; meanwhile strangers flood the
// client with forged responses that would count as the answer if they
// came from the agent: from another port of the agent's address, from the
// agent's port on another address, and from another port of another
// address. Only the agent's answer counts, nothing of the strangers is
// shown, and the client ends within its wait whatever comes.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/thread.h"
#include "platform/winsock.h"
#include "server/protocol.h"
#include "tests/server/agent_fixture.h"
#include "tests/support/command_output.h"
#include "tests/support/protocol_client.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kWaitMs = 1000;
// What may pass, beyond the wait, between starting the client and its
// end: the start of the process and the last poll of its socket.
constexpr auto kMargin = 1000ms;
// The strangers give up after this, so a client that never ends fails
// the test instead of hanging it.
constexpr auto kFloodLimit = 6s;

// A GET_STATUS response for device 7 with its status text.
std::string status_response(const char *text) {
    std::string payload(81, '\0');
    payload.replace(2, std::strlen(text), text);
    return response_header(GET_STATUS, 7, 81) + payload;
}

void send_to(platform::SOCKET s, const std::string &datagram, const platform::sockaddr_in &to) {
    platform::sendto(s, datagram.data(), static_cast<int>(datagram.size()), 0,
                     reinterpret_cast<const platform::sockaddr *>(&to), sizeof to);
}

struct WaitCase {
    const char *name;
    int answer_after_ms; // -1: the agent never answers
    bool agent_floods;   // with its echo of the request, every millisecond
    int exit_code;
    const char *last_line; // how the output's last line begins
};

void PrintTo(const WaitCase &c, std::ostream *os) { *os << c.name; }

class ClientWait : public ::testing::TestWithParam<WaitCase> {};

TEST_P(ClientWait, OnlyTheAgentsAnswerCountsAndTheWaitHolds) {
    const WaitCase &c = GetParam();
    ProtocolClient agent;
    ProtocolClient strangers[3];
    const std::uint16_t port = bind_free_port(agent.socket(), "127.0.0.1");
    ASSERT_NE(port, 0);
    ASSERT_NE(bind_free_port(strangers[0].socket(), "127.0.0.1"), 0);
    ASSERT_TRUE(bind_port(strangers[1].socket(), "127.0.0.2", port));
    ASSERT_NE(bind_free_port(strangers[2].socket(), "127.0.0.2"), 0);

    // The agent takes the request and tells the strangers where the client
    // is; they flood it from then on, and the agent answers when its time
    // has come.
    std::atomic<bool> client_known{false};
    std::atomic<bool> ended{false};
    std::atomic<int> forged{0};
    platform::sockaddr_in client{};
    std::thread agent_side([&] {
        char buffer[2500];
        const Clock::time_point limit = Clock::now() + kFloodLimit;
        while (!ended.load() && Clock::now() < limit) {
            int length = sizeof client;
            if (platform::recvfrom(agent.socket(), buffer, sizeof buffer, 0,
                                   reinterpret_cast<platform::sockaddr *>(&client), &length) >= 16)
                break;
            platform::Sleep(1);
        }
        client_known = true;
        const std::string echo(buffer, 16);
        while (c.agent_floods && !ended.load() && Clock::now() < limit) {
            send_to(agent.socket(), echo, client);
            platform::Sleep(1);
        }
        if (c.answer_after_ms < 0)
            return;
        platform::Sleep(static_cast<platform::DWORD>(c.answer_after_ms));
        send_to(agent.socket(), status_response("real"), client);
    });
    std::thread flood([&] {
        const std::string fake = status_response("forged");
        const Clock::time_point limit = Clock::now() + kFloodLimit;
        while (!client_known.load() && Clock::now() < limit)
            platform::Sleep(1);
        while (!ended.load() && Clock::now() < limit) {
            for (ProtocolClient &stranger : strangers)
                send_to(stranger.socket(), fake, client);
            forged += 3;
            platform::Sleep(1);
        }
    });

    const Clock::time_point start = Clock::now();
    const osktest::CommandOutput r = osktest::run_command(
        std::string(OSK_BINARY_DIR) + "/oskavelde-client -w " + std::to_string(kWaitMs) +
        " 127.0.0.1 " + std::to_string(port) + " GET_STATUS 7 2>/dev/null");
    const auto took = Clock::now() - start;
    ended = true;
    agent_side.join();
    flood.join();

    EXPECT_GT(forged.load(), 100) << "the strangers hardly spoke";
    EXPECT_EQ(r.exit_code, c.exit_code) << r.out;
    EXPECT_LT(took, std::chrono::milliseconds(kWaitMs) + kMargin)
        << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    EXPECT_EQ(r.out.find("forged"), std::string::npos) << r.out;
    const std::size_t last = r.out.rfind('\n', r.out.size() >= 2 ? r.out.size() - 2 : 0);
    EXPECT_EQ(r.out.substr(last + 1).rfind(c.last_line, 0), 0u) << r.out.substr(last + 1);
    if (c.answer_after_ms >= 0) {
        EXPECT_NE(r.out.find("response 1: 97 bytes from 127.0.0.1:" + std::to_string(port) + "\n"),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("  StatusText: \"real\"\n"), std::string::npos) << r.out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClientWait,
    ::testing::Values(WaitCase{"TheAgentAnswersAmongStrangers", 300, false, 0, "responses: 1\n"},
                      WaitCase{"OnlyStrangersSpeak", -1, false, 1, "no response\n"},
                      WaitCase{"TheAgentFloodsWithoutAnswering", -1, true, 1, "responses: "}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
