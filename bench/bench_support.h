// What the benchmark programs share: the clock and the statistics of a
// series of times, the table line that scripts/bench collects, the CPU
// time and peak memory of a process read from /proc, a simulated UPS on a
// loopback address of its own, and the kervon.ini of an agent whose UPSes
// all point at one simulator.
//
// Every program prints its results on standard output as lines of
//   figure|value|baseline|ratio|target|met
// and everything else (what it measured, and how) on standard error.
#pragma once

#include <sys/types.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "tests/support/agent_process.h"
#include "tests/support/agent_with_ups.h"
#include "tests/support/debug_lines.h"
#include "tests/support/snmpsim_fixture.h"
#include "tests/support/wait_until.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double ms_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

inline double ms_since(Clock::time_point start) { return ms_between(start, Clock::now()); }

// The value below which the fraction p (0 to 1) of the series lies, by
// nearest rank; 0 for an empty series.
inline double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(v.size())));
    return v[std::min(v.size() - 1, rank == 0 ? 0 : rank - 1)];
}

inline double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline std::string number(double value, int decimals, const char *unit) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f%s%s", decimals, value, *unit != '\0' ? " " : "", unit);
    return text;
}

// One line of the table. The ratio is value / baseline, left out ("-")
// when the baseline is zero.
inline void row(const std::string &figure, double value, double baseline, const char *unit, int decimals,
                const std::string &target, bool met) {
    char ratio[32] = "-";
    if (baseline > 0)
        std::snprintf(ratio, sizeof ratio, "%.2f", value / baseline);
    std::printf("%s|%s|%s|%s|%s|%s\n", figure.c_str(), number(value, decimals, unit).c_str(),
                number(baseline, decimals, unit).c_str(), ratio, target.c_str(), met ? "yes" : "NO");
    std::fflush(stdout);
}

// CPU time (user and system, every thread) and peak resident memory of a
// running process.
struct ProcessUsage {
    double cpu_seconds = 0;
    double peak_rss_mb = 0;
};

inline bool read_usage(pid_t pid, ProcessUsage &usage) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return false;
    // The fields after the command name, which is in parentheses and may
    // itself hold spaces: state is field 3, utime 14 and stime 15.
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return false;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    unsigned long long utime = 0;
    unsigned long long stime = 0;
    for (int n = 3; n <= 15 && fields >> field; ++n) {
        if (n == 14)
            utime = std::stoull(field);
        if (n == 15)
            stime = std::stoull(field);
    }
    usage.cpu_seconds = static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));

    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            usage.peak_rss_mb = std::stod(line.substr(6)) / 1024.0;
            return true;
        }
    }
    return false;
}

// snmpsimd on a leased loopback address, port 161, serving the data files
// of the tests; every community is a data file's name ("online", ...).
class SimulatedUps {
  public:
    // False, with the reason on standard error after the program's name,
    // when no simulator comes up.
    bool start(const char *program) {
        std::string error;
        if (lease_.acquire(161, error) && simulator_.start(lease_.address(), osktest::snmpsim_data_dir(), error))
            return true;
        std::fprintf(stderr, "%s: no simulator: %s\n", program, error.c_str());
        return false;
    }
    const char *address() const { return lease_.address(); }

  private:
    osktest::LoopbackLease lease_;
    osktest::SnmpSimulator simulator_;
};

// Device number of slot n in the agents of the benchmarks.
inline int device_number(int slot) { return 101 + slot; }

// kervon.ini of an agent that polls count UPSes (slots 0 to count - 1),
// every one at the same SNMP agent and community, and serves clients on
// client_port.
inline std::string agent_ini(std::uint16_t client_port, int count, const std::string &address,
                             const std::string &community) {
    std::string text = "[System]\r\nName=bench\r\n[Network]\r\nPort=" + std::to_string(client_port + 4) + "\r\n";
    for (int slot = 0; slot < count; ++slot)
        text += osktest::ups_section({slot, "UPS " + std::to_string(slot + 1), "BRAXO1-VEGA3000", 5, address,
                                      community, device_number(slot)});
    return text;
}

// Waits until the agent's console shows count answered polls.
inline bool wait_for_polls(const osktest::AgentProcess &agent, std::size_t count, std::chrono::milliseconds limit) {
    return osktest::wait_until([&] { return osktest::occurrences(agent.out(), "RESP Dev:") >= count; }, limit,
                               std::chrono::milliseconds(50));
}

} // namespace bench
