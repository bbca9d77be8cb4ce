// Benchmark: what the running agent costs the machine when nothing asks it
// for anything. Two agents run side by side: one polls 32 configured UPSes
// that all answer (every slot at one snmpsimd, the on-line data file), the
// other has no SNMP slot. Once both are running (their start-up done), a
// window of 60 s begins; the CPU time (user and system, from
// /proc/<pid>/stat) that each agent spends in it is set beside that of a
// `sleep`, the floor, started with the agents and read at the same moments.
// Also reported: the CPU
// share from the agent's start, which takes in the start-up (with console
// output it ends in a pause of a second that polls its message queue), and
// the peak resident memory (VmHWM of /proc/<pid>/status) against the
// sleep's.
// Usage: idle_cost [seconds]
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "bench/bench_support.h"

extern char **environ;

namespace {

using bench::Clock;
using namespace std::chrono_literals;

constexpr int kDefaultSeconds = 60;
constexpr int kSlots = 32;

// `sleep` as a process measured like the agents: started with them, read
// at the same moments, and killed at the end.
class Sleeper {
  public:
    ~Sleeper() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool start(int seconds) {
        std::string program = "sleep";
        std::string argument = std::to_string(seconds);
        char *argv[] = {program.data(), argument.data(), nullptr};
        return posix_spawnp(&pid_, "sleep", nullptr, nullptr, argv, environ) == 0;
    }
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
};

struct Measured {
    const char *name;
    double target_percent;
    osktest::AgentProcess agent;
    Clock::time_point started;
    bench::ProcessUsage at_window_start;
    bench::ProcessUsage at_window_end;
    std::size_t polls_before = 0;
    std::size_t polls_after = 0;
};

double percent(double cpu_seconds, double wall_seconds) { return 100.0 * cpu_seconds / wall_seconds; }

} // namespace

int main(int argc, char **argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultSeconds;
    bench::SimulatedUps ups;
    if (!ups.start("idle_cost"))
        return 1;

    Measured polling{"32 UPSes", 2.0, {}, {}, {}, {}, 0, 0};
    Sleeper floor;
    bench::ProcessUsage floor_start;
    bench::ProcessUsage floor_end;
    Measured empty{"no SNMP slot", 0.2, {}, {}, {}, {}, 0, 0};
    polling.agent.write_ini(bench::agent_ini(osktest::free_udp_port(), kSlots, ups.address(), "online"));
    empty.agent.write_ini(osktest::ini_without_devices());
    const auto spawned = Clock::now();
    // Long enough to outlast the start-ups and the window.
    if (!floor.start(seconds + 120)) {
        std::fprintf(stderr, "idle_cost: sleep did not start\n");
        return 1;
    }
    for (Measured *m : {&polling, &empty}) {
        m->started = Clock::now();
        if (!m->agent.start({"-debug"})) {
            std::fprintf(stderr, "idle_cost: the agent did not start\n");
            return 1;
        }
    }
    for (Measured *m : {&polling, &empty}) {
        if (!m->agent.wait_until_running(30s)) {
            std::fprintf(stderr, "idle_cost: the agent (%s) did not come up\n%s%s\n", m->name,
                         m->agent.out().c_str(), m->agent.err().c_str());
            return 1;
        }
    }

    const auto window_start = Clock::now();
    bench::read_usage(floor.pid(), floor_start);
    for (Measured *m : {&polling, &empty}) {
        bench::read_usage(m->agent.pid(), m->at_window_start);
        m->polls_before = osktest::occurrences(m->agent.out(), "RESP Dev:");
    }
    std::this_thread::sleep_until(window_start + std::chrono::seconds(seconds));
    const auto window_end = Clock::now();
    if (!bench::read_usage(floor.pid(), floor_end)) {
        std::fprintf(stderr, "idle_cost: sleep ended early\n");
        return 1;
    }
    const double window = bench::ms_between(window_start, window_end) / 1000.0;
    for (Measured *m : {&polling, &empty}) {
        if (!bench::read_usage(m->agent.pid(), m->at_window_end)) {
            std::fprintf(stderr, "idle_cost: the agent (%s) ended early\n%s%s\n", m->name, m->agent.out().c_str(),
                         m->agent.err().c_str());
            return 1;
        }
        m->polls_after = osktest::occurrences(m->agent.out(), "RESP Dev:");
    }
    const std::size_t timeouts = osktest::occurrences(polling.agent.out(), "Comm lost recognized");

    const double floor_percent = percent(floor_end.cpu_seconds - floor_start.cpu_seconds, window);
    const double floor_start_percent = percent(floor_end.cpu_seconds, bench::ms_between(spawned, window_end) / 1000.0);
    std::fprintf(stderr, "idle_cost: window %.1f s; sleep: %.2f s CPU in it, %.2f s from its start, %.1f MB peak\n",
                 window, floor_end.cpu_seconds - floor_start.cpu_seconds, floor_end.cpu_seconds,
                 floor_end.peak_rss_mb);
    for (Measured *m : {&polling, &empty}) {
        const double in_window = m->at_window_end.cpu_seconds - m->at_window_start.cpu_seconds;
        const double since_start = bench::ms_between(m->started, window_end) / 1000.0;
        std::fprintf(stderr,
                     "  agent, %s: %.2f s CPU in the window (%zu polls answered in it), %.2f s CPU in %.1f s "
                     "from its start, %.2f s of it before the window; peak RSS %.1f MB\n",
                     m->name, in_window, m->polls_after - m->polls_before, m->at_window_end.cpu_seconds,
                     since_start, m->at_window_start.cpu_seconds, m->at_window_end.peak_rss_mb);
        const double window_percent = percent(in_window, window);
        const std::string figure = std::string("agent CPU, ") + m->name;
        bench::row(figure + ", " + std::to_string(seconds) + " s running", window_percent, floor_percent,
                   "% core", 3, "<= " + bench::number(m->target_percent, 1, "% core"),
                   window_percent <= m->target_percent);
        const double start_percent = percent(m->at_window_end.cpu_seconds, since_start);
        bench::row(figure + ", from start", start_percent, floor_start_percent, "% core", 3, "(start-up included)",
                   true);
        bench::row(std::string("agent peak RSS, ") + m->name, m->at_window_end.peak_rss_mb, floor_end.peak_rss_mb, "MB",
                   1, "<= 16 MB", m->at_window_end.peak_rss_mb <= 16.0);
    }
    if (timeouts != 0)
        std::fprintf(stderr, "idle_cost: %zu polls among the 32 UPSes found no answer\n", timeouts);

    for (Measured *m : {&polling, &empty})
        m->agent.signal(SIGINT);
    for (Measured *m : {&polling, &empty})
        m->agent.wait_exit(30s);
    return 0;
}
