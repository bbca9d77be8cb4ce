// Benchmark: how long the running agent takes from SIGINT to its exit.
// Idle: three agents without any device, each stopped once it is running.
// During a poll: an agent whose one UPS sits behind a fault-injecting relay
// in front of snmpsimd, stopped just after the relay has taken a request of
// the poll in progress; once with the UPS gone silent (the poll waits out
// its time-out), once with a UPS that answers every request 500 ms late
// (the poll of 43 requests takes some 20 s, and the stop waits for its end).
// The baseline is the design's own pauses on the way out: a second after
// the stop routine and a second before the main cycle is told to end.
// The cases run side by side. Usage: stop_latency
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "tests/support/udp_relay.h"

namespace {

using bench::Clock;
using namespace std::chrono_literals;

constexpr double kDesignPausesSeconds = 2.0;
constexpr double kIdleTargetSeconds = 2.5;
constexpr int kIdleAgents = 3;
constexpr auto kSlowAnswer = 500ms;

// Seconds from the signal to the exit; negative when the agent did not
// come up, or did not end with code 0 within a minute.
struct Stop {
    double seconds = -1;
    std::string failure;
};

Stop stop_now(osktest::AgentProcess &agent) {
    Stop result;
    const auto sent = Clock::now();
    agent.signal(SIGINT);
    const int code = agent.wait_exit(60s);
    if (code != 0) {
        result.failure = "exit code " + std::to_string(code) + "\n" + agent.out() + agent.err();
        return result;
    }
    result.seconds = bench::ms_since(sent) / 1000.0;
    return result;
}

Stop idle_stop() {
    osktest::AgentProcess agent;
    agent.write_ini(osktest::ini_without_devices());
    if (!agent.start({"-debug"}) || !agent.wait_until_running(30s))
        return {-1, "the idle agent did not come up\n" + agent.out() + agent.err()};
    return stop_now(agent);
}

// An agent polling one UPS through a relay of its own; the fault is put on
// the relay once the agent has answered a poll.
template <typename Fault>
Stop stop_during_poll(const char *ups_address, Fault fault) {
    osktest::LoopbackLease relay_address;
    osktest::UdpRelay relay;
    std::string error;
    if (!relay_address.acquire(161, error) ||
        !relay.start(relay_address.address(), 161, ups_address, 161, error, std::chrono::seconds(300)))
        return {-1, "no relay: " + error};
    osktest::AgentProcess agent;
    agent.write_ini(bench::agent_ini(osktest::free_udp_port(), 1, relay_address.address(), "online"));
    if (!agent.start({"-debug"}) || !agent.wait_until_running(30s) || !bench::wait_for_polls(agent, 1, 30s))
        return {-1, "the agent did not poll its UPS\n" + agent.out() + agent.err()};
    fault(relay);
    // A request that the relay has just taken is one of a poll in progress.
    const int seen = relay.requests();
    if (!osktest::wait_until([&] { return relay.requests() != seen; }, 30s, 1ms))
        return {-1, "no poll came\n" + agent.out()};
    std::this_thread::sleep_for(kSlowAnswer / 5);
    return stop_now(agent);
}

} // namespace

int main() {
    bench::SimulatedUps ups;
    if (!ups.start("stop_latency"))
        return 1;

    std::vector<Stop> idle(kIdleAgents);
    Stop silent;
    Stop slow;
    std::vector<std::thread> cases;
    for (Stop &s : idle)
        cases.emplace_back([&s] { s = idle_stop(); });
    cases.emplace_back([&] {
        silent = stop_during_poll(ups.address(), [](osktest::UdpRelay &relay) { relay.stop_answering_after(0); });
    });
    cases.emplace_back([&] {
        slow = stop_during_poll(ups.address(), [](osktest::UdpRelay &relay) { relay.delay_answers(kSlowAnswer); });
    });
    for (std::thread &t : cases)
        t.join();

    std::vector<double> idle_seconds;
    for (const Stop &s : idle) {
        if (s.seconds < 0) {
            std::fprintf(stderr, "stop_latency: %s\n", s.failure.c_str());
            return 1;
        }
        idle_seconds.push_back(s.seconds);
    }
    for (const Stop *s : {&silent, &slow}) {
        if (s->seconds < 0) {
            std::fprintf(stderr, "stop_latency: %s\n", s->failure.c_str());
            return 1;
        }
    }
    std::fprintf(stderr, "stop_latency: idle");
    for (double s : idle_seconds)
        std::fprintf(stderr, " %.3f s", s);
    std::fprintf(stderr, "; during a poll of a silent UPS %.3f s, of a UPS answering %lld ms late %.3f s\n",
                 silent.seconds, static_cast<long long>(kSlowAnswer.count()), slow.seconds);

    const double idle_max = bench::percentile(idle_seconds, 1.0);
    bench::row("stop, SIGINT to exit, idle (worst of 3)", idle_max, kDesignPausesSeconds, "s", 2, "<= 2.5 s",
               idle_max <= kIdleTargetSeconds);
    bench::row("stop during a poll, UPS silent", silent.seconds, kDesignPausesSeconds, "s", 2,
               "- (poll's time-out + pauses)", true);
    bench::row("stop during a poll, UPS answering 500 ms late", slow.seconds, kDesignPausesSeconds, "s", 2,
               "- (rest of the poll + pauses)", true);
    return 0;
}
