// The command line of the real binary: the fatal start without kervon.ini
// or with an ALLUSERSPROFILE too long for the data directory,
// -quit, the hand-over to a service control dispatcher that no service
// control manager started, the debug log file of -log, and the debug
// options taken from left to right.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "server/protocol.h"
#include "tests/support/agent_process.h"
#include "tests/support/agent_with_ups.h"
#include "tests/support/protocol_client.h"

namespace {

using namespace std::chrono_literals;
using osktest::AgentProcess;

constexpr const char *kDispatcherError = "Error: Error Calling StartServiceCtrlDispatcher function 1063\n";

TEST(CommandLine, WithoutKervonIniShowsTheMessageAndEndsWithCodeTwo) {
    AgentProcess agent;
    ASSERT_TRUE(agent.start({"-debug"}));
    EXPECT_EQ(agent.wait_exit(10s), 2);
    EXPECT_EQ(agent.err(), "Error: Cannot open initialization file!\nCannot open " +
                               agent.data_file("kervon.ini") + ": No such file or directory\n");
    EXPECT_EQ(agent.out(), ""); // nothing ran beyond the configuration
}

// A kervon.ini at "/Kervon/", where an agent without ALLUSERSPROFILE looks
// for its configuration, for the life of the object. It is made only where
// there is none, or where an earlier run that did not get to remove it left
// its own, and removed again; a directory made for it is removed with all
// that an agent may have written there. Runs in other builds at the same
// time wait for each other.
class RootKervonIni {
  public:
    explicit RootKervonIni(const std::string &text) {
        lock_ = ::open("/tmp/oskavelde-root-kervon.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (lock_ >= 0)
            ::flock(lock_, LOCK_EX);
        made_dir_ = ::mkdir(kDir, 0755) == 0;
        const bool present = std::filesystem::exists(kFile);
        if (!present || read_file_bytes(kFile).rfind(kMark, 0) == 0) {
            write_file_bytes(kFile, kMark + text);
            made_file_ = read_file_bytes(kFile) == kMark + text;
        }
    }
    ~RootKervonIni() {
        if (made_file_)
            ::unlink(kFile);
        std::error_code ec;
        if (made_dir_)
            std::filesystem::remove_all(kDir, ec);
        if (lock_ >= 0)
            ::close(lock_);
    }
    RootKervonIni(const RootKervonIni &) = delete;
    RootKervonIni &operator=(const RootKervonIni &) = delete;

    bool planted() const { return made_file_; }

    static constexpr const char *kDir = "/Kervon";
    static constexpr const char *kFile = "/Kervon/kervon.ini";

  private:
    static constexpr const char *kMark = "; left here by the oskavelde tests\r\n";
    int lock_ = -1;
    bool made_dir_ = false;
    bool made_file_ = false;
};

// The files opened or created in the watched directories, as inotify
// reports them, each as its directory and name.
class OpenedFiles {
  public:
    OpenedFiles() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~OpenedFiles() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    OpenedFiles(const OpenedFiles &) = delete;
    OpenedFiles &operator=(const OpenedFiles &) = delete;

    bool watch(const std::string &dir) {
        const int wd = fd_ < 0 ? -1 : ::inotify_add_watch(fd_, dir.c_str(), IN_OPEN | IN_CREATE);
        if (wd >= 0)
            dirs_[wd] = dir;
        return wd >= 0;
    }

    // Everything reported so far, but for the names passed over.
    std::vector<std::string> take(const std::vector<std::string> &passed_over) {
        std::vector<std::string> opened;
        alignas(inotify_event) char buffer[4096];
        ssize_t n;
        while ((n = ::read(fd_, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                const std::string name = event->len > 0 ? event->name : "";
                if (std::find(passed_over.begin(), passed_over.end(), name) == passed_over.end())
                    opened.push_back(dirs_[event->wd] + "/" + name);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return opened;
    }

  private:
    int fd_;
    std::map<int, std::string> dirs_;
};

std::string join(const std::vector<std::string> &lines) {
    std::string text;
    for (const std::string &line : lines)
        text += line + "\n";
    return text;
}

// An ALLUSERSPROFILE that names a directory whose path with "/Kervon/" does
// not fit the 255 characters of the data directory, by this many
// characters: no room for the suffix, or too long even for the buffer the
// variable is read into.
class OverlongProfile : public ::testing::TestWithParam<std::size_t> {};

TEST_P(OverlongProfile, EndsAsWithoutKervonIniAndOpensNothingAnywhere) {
    // A configuration that, read from anywhere, would make the agent run
    // and write its debug log there.
    const std::string runs = "[System]\r\nDebugLog=1\r\nDebugMode=0\r\n[Network]\r\nPort=4\r\n";
    RootKervonIni root(runs);
    AgentProcess agent;
    ScratchDir scm;
    const std::string named = make_directory_of_length(agent.dir().path(), GetParam());
    std::filesystem::create_directory(named + "/Kervon");
    write_file_bytes(named + "/Kervon/kervon.ini", runs);
    write_file_bytes(agent.dir().file("kervon.ini"), runs); // the current directory
    agent.write_ini(runs);
    agent.set_environment("ALLUSERSPROFILE", named);
    agent.set_environment("OSKAVELDE_SCM_DIR", scm.path());

    OpenedFiles opened;
    ASSERT_TRUE(opened.watch(agent.dir().path()));
    ASSERT_TRUE(opened.watch(agent.dir().file("Kervon")));
    ASSERT_TRUE(opened.watch(named + "/Kervon"));
    if (root.planted()) {
        ASSERT_TRUE(opened.watch(RootKervonIni::kDir));
    }
    ASSERT_TRUE(agent.start({"-log"}));
    EXPECT_EQ(agent.wait_exit(10s), 2);
    EXPECT_EQ(agent.err(), "Error: Cannot open initialization file!\nCannot open kervon.ini: its "
                           "path in the data directory would be longer than 255 characters\n");
    EXPECT_EQ(agent.out(), "");
    // Only the start's own output files, opened for the agent before it runs.
    EXPECT_EQ(join(opened.take({"stdout.txt", "stderr.txt"})), "");
}

INSTANTIATE_TEST_SUITE_P(Lengths, OverlongProfile, ::testing::Values(248u, 255u, 256u, 300u),
                         [](const auto &info) { return "Length" + std::to_string(info.param); });

TEST(CommandLine, QuitRunsTheStopRoutineIntoTheLogOfTheCurrentDirectory) {
    AgentProcess agent;
    agent.write_ini(osktest::ini_without_devices());
    ASSERT_TRUE(agent.start({"-log", "-quit", "-debug"}));
    EXPECT_EQ(agent.wait_exit(10s), 0);
    EXPECT_GT(agent.run_time(), 1900ms);
    EXPECT_LT(agent.run_time(), 3500ms);
    // No main cycle has set the directories: the log lies in the current
    // directory, written in text mode.
    const std::string stop_lines = "\r\n\rStopService-start\r\n\rStopService - CloseComm"
                                   "\r\n\rStopService - StopThreads\r\nStop threads:\r\n\rStopService-end";
    EXPECT_EQ(read_file_bytes(agent.dir().file("debugsnmp.log")), stop_lines);
    EXPECT_EQ(agent.out(), ""); // no console outside the main cycle
    EXPECT_EQ(agent.log(), "");
    EXPECT_EQ(agent.err(), "");
}

TEST(CommandLine, QuitAloneWritesNothing) {
    AgentProcess agent;
    ASSERT_TRUE(agent.start({"-quit"}));
    EXPECT_EQ(agent.wait_exit(10s), 0);
    EXPECT_EQ(agent.out(), "");
    EXPECT_EQ(read_file_bytes(agent.dir().file("debugsnmp.log")), "");
}

class WithoutDebugOption : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(WithoutDebugOption, HandsOverToTheDispatcherWhichCannotConnect) {
    AgentProcess agent;
    agent.write_ini(osktest::ini_without_devices());
    ASSERT_TRUE(agent.start(GetParam()));
    EXPECT_EQ(agent.wait_exit(10s), 0);
    EXPECT_EQ(agent.err(), kDispatcherError);
    EXPECT_EQ(agent.out(), "");
}

INSTANTIATE_TEST_SUITE_P(Arguments, WithoutDebugOption,
                         ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"-Debug"},
                                           std::vector<std::string>{"debug", "--debug", "-debug "},
                                           std::vector<std::string>{"-LOG", "/debug"}),
                         [](const auto &info) { return "Case" + std::to_string(info.index); });

TEST(CommandLine, LogWritesTheRunToTheDataDirectory) {
    AgentProcess agent;
    agent.write_ini(osktest::ini_without_devices());
    ASSERT_TRUE(agent.start({"-log"}));
    ASSERT_TRUE(agent.wait_until_running(10s)) << agent.out() << agent.err();
    agent.signal(SIGINT);
    EXPECT_EQ(agent.wait_exit(10s), 0);
    const std::string log = agent.log();
    EXPECT_EQ(log.rfind("\r\nStart Service\r\n\r\nStart threads:", 0), 0u) << log;
    EXPECT_NE(log.find("\r\n\rStopService-end\r\nWas_term_signal !\r\nStopped main cycle !"), std::string::npos)
        << log;
}

// The debug options set their switches from left to right: a later -debug
// sends the output to the console alone again and keeps the levels of an
// earlier -debugmax. Each run shows all four switches: console output by
// the start banner on standard output, file output by the debug log, the
// verbosity by the '*' with which the network thread marks each of its
// ticks from level 4 on (nothing else writes one in a run without devices
// before a datagram arrives), and the client-protocol trace level by the
// "received ... bytes" line that from level 3 on comes with a datagram.
struct SwitchCase {
    const char *name;
    std::vector<std::string> args;
    bool log_file;
    bool top_monitor;
    bool top_protocol_trace;
};
void PrintTo(const SwitchCase &c, std::ostream *os) { *os << c.name; }

class DebugSwitches : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(DebugSwitches, FollowTheOptionsFromLeftToRight) {
    const SwitchCase &c = GetParam();
    const std::uint16_t port = osktest::free_udp_port();
    ASSERT_NE(port, 0);
    AgentProcess agent;
    agent.write_ini("[System]\r\nName=test\r\n[Network]\r\nPort=" + std::to_string(port + 4) + "\r\n");
    ASSERT_TRUE(agent.start(c.args));
    ASSERT_TRUE(agent.wait_until_running(10s)) << agent.out() << agent.err();
    const std::string before_datagram = agent.out();

    ProtocolClient client;
    client.send(port, request_datagram(GET_STATUS, 1));
    // Every debug option brings the trace to level 2 at least, whose line
    // for a request comes after the level-3 line of the same datagram.
    EXPECT_TRUE(agent.wait_for_output("Receive REQUEST from [127.0.0.1]", 5s)) << agent.out();
    const bool traced = agent.out().find("received 16 bytes from 127.0.0.1") != std::string::npos;
    agent.signal(SIGINT);
    EXPECT_EQ(agent.wait_exit(10s), 0);

    const std::string out = agent.out();
    EXPECT_EQ(out.rfind("\nStart Service\n", 0), 0u) << out;
    EXPECT_EQ(before_datagram.find('*') != std::string::npos, c.top_monitor) << before_datagram;
    EXPECT_EQ(traced, c.top_protocol_trace) << out;
    const std::string log = agent.log();
    if (c.log_file)
        EXPECT_EQ(log.rfind("\r\nStart Service\r\n", 0), 0u) << log;
    else
        EXPECT_EQ(log, "");
    EXPECT_EQ(agent.err(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Options, DebugSwitches,
    ::testing::Values(SwitchCase{"Debug", {"-debug"}, false, false, false},
                      SwitchCase{"DebugMax", {"-debugmax"}, false, true, true},
                      SwitchCase{"Log", {"-log"}, true, false, false},
                      SwitchCase{"LogMax", {"-logmax"}, true, true, true},
                      SwitchCase{"DebugMaxThenDebug", {"-debugmax", "-debug"}, false, true, true},
                      SwitchCase{"LogThenDebug", {"-log", "-debug"}, false, false, false}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
