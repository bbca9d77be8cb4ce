// The agent started under nice: once it runs, every one of its threads
// (the main cycle, the signal thread and both worker threads, started
// before the priority is set) reads nice 0, and the run ends with 0.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/agent_process.h"
#include "tests/support/nice_value.h"
#include "tests/support/wait_until.h"

namespace {

using namespace std::chrono_literals;
using osktest::AgentProcess;

struct ThreadNice {
    pid_t tid;
    int nice;
};

std::vector<ThreadNice> thread_nice_values(pid_t pid) {
    std::vector<ThreadNice> threads;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        const pid_t tid = static_cast<pid_t>(std::stol(entry.path().filename().string()));
        threads.push_back({tid, osktest::nice_of(tid)});
    }
    return threads;
}

bool all_at_zero(const std::vector<ThreadNice> &threads) {
    for (const ThreadNice &t : threads)
        if (t.nice != 0)
            return false;
    return !threads.empty();
}

std::string listing(const std::vector<ThreadNice> &threads) {
    std::string text;
    for (const ThreadNice &t : threads)
        text += "thread " + std::to_string(t.tid) + ": nice " + std::to_string(t.nice) + "\n";
    return text;
}

TEST(AgentPriority, EveryThreadRunsAtNiceZeroUnderNice) {
    if (!osktest::may_lower_nice())
        GTEST_SKIP() << "this process may not lower a nice value, nor may the agent";
    AgentProcess agent;
    agent.write_ini(osktest::ini_without_devices());
    agent.set_program("/usr/bin/nice");
    ASSERT_TRUE(agent.start({"-n", "7", AgentProcess::binary(), "-debug"}));
    ASSERT_TRUE(agent.wait_until_running(10s)) << agent.out() << agent.err();

    // The priority is set just after the worker threads start; a few
    // readings allow for that moment.
    std::vector<ThreadNice> threads;
    osktest::wait_until(
        [&] {
            threads = thread_nice_values(agent.pid());
            return all_at_zero(threads);
        },
        3s, 100ms);
    EXPECT_GE(threads.size(), 4u) << listing(threads);
    EXPECT_TRUE(all_at_zero(threads)) << listing(threads);

    agent.signal(SIGINT);
    EXPECT_EQ(agent.wait_exit(10s), 0) << agent.out() << agent.err();
    EXPECT_EQ(agent.err(), "");
}

} // namespace
