// Benchmark: how fast the running agent answers a monitoring client. The
// real oskavelde binary polls 8 UPSes (all at one snmpsimd, the on-line
// data file); a client sends GET_STATUS at 20 a second for 30 seconds, the
// devices in turn, and times each answer. The baseline, sent the same
// requests at the same moments, is the design's own floor: a plain UDP
// socket on a thread of this process that sleeps 250 ms and then sends back
// every datagram waiting, as a network thread that costs nothing would.
// Reported: median, 99th percentile and maximum latency, the requests that
// got no answer, and the answers per second.
// Usage: client_latency [seconds]
#include <poll.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "platform/winsock.h"
#include "server/protocol.h"
#include "tests/support/protocol_client.h"

namespace {

using bench::Clock;
using namespace std::chrono_literals;

constexpr int kDevices = 8;
constexpr int kRate = 20;
constexpr int kDefaultSeconds = 30;
constexpr auto kTick = 250ms;
// An answer later than this after the last request counts as none.
constexpr auto kGrace = 1500ms;

// The 250 ms tick with nothing behind it.
class TickEcho {
  public:
    TickEcho() {
        socket_ = platform::socket(platform::AF_INET, platform::SOCK_DGRAM, platform::IPPROTO_UDP);
        platform::u_long non_blocking = 1;
        platform::ioctlsocket(socket_, platform::FIONBIO, &non_blocking);
        port_ = bind_free_port(socket_);
        thread_ = std::thread([this] { run(); });
    }
    ~TickEcho() {
        stop_ = true;
        thread_.join();
        platform::closesocket(socket_);
    }
    std::uint16_t port() const { return port_; }

  private:
    void run() {
        static char buffer[max_datagram];
        while (!stop_) {
            std::this_thread::sleep_for(kTick);
            for (;;) {
                platform::sockaddr_in from{};
                int from_length = sizeof from;
                const int length = platform::recvfrom(socket_, buffer, sizeof buffer, 0,
                                                      reinterpret_cast<platform::sockaddr *>(&from), &from_length);
                if (length <= 0)
                    break;
                platform::sendto(socket_, buffer, length, 0, reinterpret_cast<const platform::sockaddr *>(&from),
                                 from_length);
            }
        }
    }

    platform::SOCKET socket_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The requests to one peer, by device: the send time of every one not yet
// answered, oldest first, and the latencies of those that were.
struct Peer {
    ProtocolClient client;
    std::uint16_t port = 0;
    std::map<unsigned, std::deque<Clock::time_point>> waiting;
    std::vector<double> latencies;
    int sent = 0;

    void send(const std::string &request, unsigned device, Clock::time_point now) {
        client.send(port, request);
        waiting[device].push_back(now);
        ++sent;
    }

    // Takes every datagram that has arrived and matches it with the oldest
    // request for its device (the answer's Dev is the request's).
    void take(Clock::time_point now) {
        static char buffer[4096];
        for (;;) {
            const int length = platform::recvfrom(client.socket(), buffer, sizeof buffer, 0, nullptr, nullptr);
            if (length < 4)
                return;
            const unsigned ident = static_cast<unsigned char>(buffer[0]) | static_cast<unsigned char>(buffer[1]) << 8;
            const unsigned device = static_cast<unsigned char>(buffer[2]) | static_cast<unsigned char>(buffer[3]) << 8;
            auto &queue = waiting[device];
            if (ident != GET_STATUS || queue.empty())
                continue;
            latencies.push_back(bench::ms_between(queue.front(), now));
            queue.pop_front();
        }
    }

    int lost() const { return sent - static_cast<int>(latencies.size()); }
};

} // namespace

int main(int argc, char **argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultSeconds;
    bench::SimulatedUps ups;
    if (!ups.start("client_latency"))
        return 1;

    Peer agent_peer;
    agent_peer.port = osktest::free_udp_port();
    osktest::AgentProcess agent;
    agent.write_ini(bench::agent_ini(agent_peer.port, kDevices, ups.address(), "online"));
    if (!agent.start({"-debug"}) || !agent.wait_until_running(30s) ||
        !bench::wait_for_polls(agent, kDevices, 60s)) {
        std::fprintf(stderr, "client_latency: the agent did not poll its UPSes\n%s%s\n", agent.out().c_str(),
                     agent.err().c_str());
        return 1;
    }
    TickEcho echo;
    Peer echo_peer;
    echo_peer.port = echo.port();

    const int requests = seconds * kRate;
    const auto interval = std::chrono::microseconds(1000000 / kRate);
    const auto start = Clock::now();
    for (int n = 0; n < requests; ++n) {
        const auto at = start + n * interval;
        while (Clock::now() < at) {
            pollfd fds[2] = {{static_cast<int>(agent_peer.client.socket()), POLLIN, 0},
                             {static_cast<int>(echo_peer.client.socket()), POLLIN, 0}};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(at - Clock::now()).count();
            ::poll(fds, 2, static_cast<int>(std::max<long long>(0, left)));
            const auto now = Clock::now();
            agent_peer.take(now);
            echo_peer.take(now);
        }
        const auto device = static_cast<unsigned>(bench::device_number(n % kDevices));
        const std::string request = request_datagram(GET_STATUS, static_cast<std::uint16_t>(device));
        const auto now = Clock::now();
        agent_peer.send(request, device, now);
        echo_peer.send(request, device, now);
    }
    const auto until = Clock::now() + kGrace;
    while (Clock::now() < until) {
        pollfd fds[2] = {{static_cast<int>(agent_peer.client.socket()), POLLIN, 0},
                         {static_cast<int>(echo_peer.client.socket()), POLLIN, 0}};
        ::poll(fds, 2, 10);
        const auto now = Clock::now();
        agent_peer.take(now);
        echo_peer.take(now);
    }
    const double run_seconds = bench::ms_since(start) / 1000.0 - std::chrono::duration<double>(kGrace).count();

    agent.signal(SIGINT);
    const int exit_code = agent.wait_exit(30s);
    const std::size_t polls = osktest::occurrences(agent.out(), "RESP Dev:");

    const auto &a = agent_peer.latencies;
    const auto &e = echo_peer.latencies;
    std::fprintf(stderr,
                 "client_latency: %d GET_STATUS in %d s to an agent polling %d UPSes at snmpsimd %s "
                 "(%zu polls answered, exit code %d)\n"
                 "  agent:     answered %zu, median %.1f ms, p99 %.1f ms, max %.1f ms\n"
                 "  tick echo: answered %zu, median %.1f ms, p99 %.1f ms, max %.1f ms\n",
                 requests, seconds, kDevices, ups.address(), polls, exit_code, a.size(), bench::median(a),
                 bench::percentile(a, 0.99), bench::percentile(a, 1.0), e.size(), bench::median(e),
                 bench::percentile(e, 0.99), bench::percentile(e, 1.0));

    const double median = bench::median(a);
    const double p99 = bench::percentile(a, 0.99);
    bench::row("client latency, GET_STATUS 20/s, 8 UPSes (median)", median, bench::median(e), "ms", 1,
               "<= 140 ms", median <= 140);
    bench::row("client latency (p99)", p99, bench::percentile(e, 0.99), "ms", 1, "<= 270 ms", p99 <= 270);
    bench::row("client latency (max)", bench::percentile(a, 1.0), bench::percentile(e, 1.0), "ms", 1, "-", true);
    bench::row("client requests without answer", agent_peer.lost(), echo_peer.lost(), "", 0, "0",
               agent_peer.lost() == 0);
    bench::row("client answers per second", static_cast<double>(a.size()) / run_seconds,
               static_cast<double>(e.size()) / run_seconds, "/s", 2, "20 /s",
               agent_peer.lost() == 0);
    return 0;
}
