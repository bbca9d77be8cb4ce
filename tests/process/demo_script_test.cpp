// scripts/demo as a new user runs it: from a checkout of its own below a
// directory that only its owner may enter, as /root is. The demo builds
// there, the agent polls the simulated UPS, the client command the demo
// prints gets the UPS's status, and Ctrl+C ends the demo with exit code 0,
// leaving neither a simulator nor its temporary directory behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/agent_process.h"
#include "tests/support/command_output.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The checkout: the source tree as a clone of it holds it, uncommitted
// work included, without the repository and without any build directory
// (a clone has none; the demo makes its own).
void copy_source_tree(const fs::path &to) {
    const fs::path source = fs::canonical(OSK_SOURCE_DIR);
    const fs::path binary = fs::weakly_canonical(OSK_BINARY_DIR);
    fs::create_directory(to);
    for (const auto &entry : fs::directory_iterator(source)) {
        const std::string name = entry.path().filename().string();
        std::error_code ec;
        if (name == ".git" || name.rfind("build", 0) == 0 || fs::equivalent(entry.path(), binary, ec))
            continue;
        fs::copy(entry.path(), to / name,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    }
}

// Whether the child process has ended, leaving it to be reaped.
bool has_ended(pid_t pid) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid;
}

// The line of the text after the first occurrence of after that holds
// what, without its leading blanks; empty when there is none.
std::string line_after(const std::string &text, const std::string &after, const std::string &what) {
    const std::size_t from = text.find(after);
    if (from == std::string::npos)
        return {};
    const std::size_t at = text.find(what, from + after.size());
    if (at == std::string::npos)
        return {};
    const std::size_t begin = text.find_first_not_of(' ', text.rfind('\n', at) + 1);
    return text.substr(begin, text.find('\n', at) - begin);
}

// The word that follows the first occurrence of after in the text; empty
// when there is none.
std::string word_after(const std::string &text, const std::string &after) {
    const std::size_t from = text.find(after);
    if (from == std::string::npos)
        return {};
    const std::size_t begin = from + after.size();
    return text.substr(begin, text.find_first_of(" \n", begin) - begin);
}

// The processes whose command line names the text, other than this one.
std::vector<pid_t> processes_naming(const std::string &text) {
    std::vector<pid_t> found;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string command = read_file_bytes(entry.path().string() + "/cmdline");
        for (char &c : command)
            if (c == '\0')
                c = ' ';
        const pid_t pid = static_cast<pid_t>(std::stol(name));
        if (pid != ::getpid() && command.find(text) != std::string::npos)
            found.push_back(pid);
    }
    return found;
}

TEST(DemoScript, RunsFromACheckoutOutOfOtherUsersReachAndLeavesNothingAtCtrlC) {
#ifdef OSK_SANITIZED_BUILD
    GTEST_SKIP() << "the demo makes a plain build of its own; under " OSK_SANITIZED_BUILD
                    " it would only repeat the plain build's run";
#endif
    ASSERT_EQ(::geteuid(), 0u) << "the demo's simulator listens on port 161: run the tests as root";

    osktest::AgentProcess demo;
    const std::string home = demo.dir().path();
    ASSERT_EQ(::chmod(home.c_str(), 0700), 0);
    const fs::path checkout = fs::path(home) / "oskavelde";
    copy_source_tree(checkout);

    // The build of the checkout shares the machine with the other tests.
    demo.set_environment("CMAKE_BUILD_PARALLEL_LEVEL", "2");
    demo.set_program((checkout / "scripts/demo").string());
    demo.own_process_group();
    ASSERT_TRUE(demo.start({}));

    // The build takes minutes; a demo that ends before the first poll has
    // failed, and its output says why.
    const bool polled = osktest::wait_until(
        [&] {
            return demo.out().find("Comm established recognized") != std::string::npos ||
                   has_ended(demo.pid());
        },
        25min, 1s);
    const std::string started = demo.out();
    ASSERT_TRUE(polled && started.find("Comm established recognized") != std::string::npos)
        << started << demo.err();

    const std::string sim_path = word_after(started, "demo: its data, index and log are in ");
    ASSERT_EQ(sim_path.rfind("/tmp/oskavelde-demo.", 0), 0u) << started;
    EXPECT_TRUE(fs::is_directory(sim_path)) << sim_path;

    const std::string client = line_after(started, "ask the agent for the UPS's status with:", "GET_STATUS 1");
    ASSERT_FALSE(client.empty()) << started;
    const osktest::CommandOutput answer = osktest::run_command(client + " 2>&1");
    EXPECT_EQ(answer.exit_code, 0) << client << "\n" << answer.out;
    EXPECT_NE(answer.out.find("On Line"), std::string::npos) << client << "\n" << answer.out;

    demo.signal_group(SIGINT);
    EXPECT_EQ(demo.wait_exit(60s), 0) << demo.out() << demo.err();

    // The simulator runs as another user, with its directory in its
    // arguments; one that is left over is reported and ended here.
    const std::vector<pid_t> left = processes_naming(sim_path + "/data");
    EXPECT_TRUE(left.empty()) << left.size() << " process(es) of the simulator left:\n" << demo.out();
    for (pid_t pid : left)
        ::kill(pid, SIGKILL);
    EXPECT_FALSE(fs::exists(sim_path)) << sim_path;
    std::error_code ec;
    fs::remove_all(sim_path, ec);
}

} // namespace
