// Benchmark: the agent's own time per client datagram, from its receive to
// the send of the answer. In this process the agent's port is open on
// loopback and eight slots hold communicating records; a client socket
// sends one request at a time, and the time of one udp_receive on the
// agent's socket (the waiting-bytes query, the receive, the gate, the
// parse, the answer composed and sent) is taken as the network thread
// would spend it. Beside it, round by round, a plain socket takes the
// same request with recvfrom and sends back, with sendto, the very bytes
// that the agent answered. GET_STATUS and GET_DEVDATA (the longest
// answer). Usage: datagram_cost [rounds]
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "server/agent_port.h"
#include "server/network_receive.h"
#include "server/protocol.h"
#include "shared/debug_log.h"
#include "shared/device_table.h"
#include "shared/ini_record.h"
#include "shared/pending_commands.h"
#include "tests/support/protocol_client.h"

namespace {

using bench::Clock;

constexpr int kDefaultRounds = 5000;
constexpr int kWarmUp = 200;
constexpr int kDevices = 8;
constexpr double kTargetMs = 0.2;

TDevice records[device_slots];

void fill_table() {
    bDebug = 0;
    bDebugLog = 0;
    k_monitor = 0;
    k_monitor1 = 0;
    k_errorlog = 0;
    for (int slot = 0; slot < device_slots; ++slot) {
        std::memset(&records[slot], 0, sizeof(TDevice));
        SM_DEV[slot] = &records[slot];
        set_ready_status(static_cast<std::uint16_t>(slot), 0);
    }
    for (int slot = 0; slot < kDevices; ++slot) {
        TDevice &r = records[slot];
        std::snprintf(r.Name, sizeof r.Name, "UPS %d", slot + 1);
        std::snprintf(r.Port, sizeof r.Port, "127.0.0.%d", slot + 2);
        r.Device = static_cast<std::uint16_t>(bench::device_number(slot));
        r.Connection = AGSNMP;
        r.DeviceType = 5;
        set_ready_status(static_cast<std::uint16_t>(slot), 1);
    }
    pending_commands_clear();
}

// Takes the one datagram that the request brings back to the client;
// false when none comes within a second.
bool take_answer(platform::SOCKET client, std::string *answer) {
    static char buffer[4096];
    pollfd p{static_cast<int>(client), POLLIN, 0};
    if (::poll(&p, 1, 1000) != 1)
        return false;
    const int length = platform::recvfrom(client, buffer, sizeof buffer, 0, nullptr, nullptr);
    if (length <= 0)
        return false;
    if (answer != nullptr)
        answer->assign(buffer, static_cast<std::size_t>(length));
    return true;
}

// A plain UDP socket on loopback; its port in *port.
platform::SOCKET echo_socket(std::uint16_t *port) {
    const platform::SOCKET s = platform::socket(platform::AF_INET, platform::SOCK_DGRAM, platform::IPPROTO_UDP);
    *port = s == platform::INVALID_SOCKET ? 0 : bind_free_port(s);
    return s;
}

struct Kind {
    const char *name;
    std::uint16_t type;
};

} // namespace

int main(int argc, char **argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRounds;
    const std::uint16_t agent_port = open_agent_port_for_test();
    if (agent_port == 0) {
        std::fprintf(stderr, "datagram_cost: the agent's port did not open\n");
        return 1;
    }
    fill_table();
    const int agent = pasive_udp_socket.load();
    std::uint16_t echo_port = 0;
    const platform::SOCKET echo = echo_socket(&echo_port);
    if (echo < 0 || echo_port == 0) {
        std::fprintf(stderr, "datagram_cost: no echo socket\n");
        return 1;
    }
    ProtocolClient client;

    for (const Kind kind : {Kind{"GET_STATUS", GET_STATUS}, Kind{"GET_DEVDATA", GET_DEVDATA}}) {
        std::vector<double> agent_ms;
        std::vector<double> echo_ms;
        std::string answer;
        for (int round = -kWarmUp; round < rounds; ++round) {
            const std::string request =
                request_datagram(kind.type, static_cast<std::uint16_t>(bench::device_number(round & (kDevices - 1))));

            // Loopback has queued the datagram at the agent's port by the
            // time the send returns.
            client.send(agent_port, request);
            auto start = Clock::now();
            const int result = udp_receive(agent, nullptr);
            const double agent_time = bench::ms_since(start);
            if (result != 0 || !take_answer(client.socket(), &answer)) {
                std::fprintf(stderr, "datagram_cost: %s went unanswered (%d)\n", kind.name, result);
                return 1;
            }

            client.send(echo_port, request);
            start = Clock::now();
            static char buffer[max_datagram];
            platform::sockaddr_in from{};
            int from_length = sizeof from;
            const int got = platform::recvfrom(echo, buffer, sizeof buffer, 0,
                                               reinterpret_cast<platform::sockaddr *>(&from), &from_length);
            const int sent = platform::sendto(echo, answer.data(), static_cast<int>(answer.size()), 0,
                                              reinterpret_cast<const platform::sockaddr *>(&from), from_length);
            const double echo_time = bench::ms_since(start);
            if (got <= 0 || sent != static_cast<int>(answer.size()) || !take_answer(client.socket(), nullptr)) {
                std::fprintf(stderr, "datagram_cost: the plain echo failed\n");
                return 1;
            }
            if (round >= 0) {
                agent_ms.push_back(agent_time);
                echo_ms.push_back(echo_time);
            }
        }
        const double agent_median = bench::median(agent_ms);
        const double agent_p99 = bench::percentile(agent_ms, 0.99);
        std::fprintf(stderr,
                     "datagram_cost: %s, %d rounds, answer %zu bytes: agent median %.4f ms p99 %.4f ms max %.4f ms; "
                     "plain echo median %.4f ms p99 %.4f ms\n",
                     kind.name, rounds, answer.size(), agent_median, agent_p99, bench::percentile(agent_ms, 1.0),
                     bench::median(echo_ms), bench::percentile(echo_ms, 0.99));
        const std::string figure = std::string("agent time per datagram, ") + kind.name;
        bench::row(figure + " (median)", agent_median, bench::median(echo_ms), "ms", 4, "<= 0.2 ms",
                   agent_median <= kTargetMs);
        bench::row(figure + " (p99)", agent_p99, bench::percentile(echo_ms, 0.99), "ms", 4, "<= 0.2 ms",
                   agent_p99 <= kTargetMs);
    }
    for (TDevice *&record : SM_DEV)
        record = nullptr;
    platform::closesocket(echo);
    return 0;
}
