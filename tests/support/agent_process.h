// The real oskavelde binary as a process of its own for the whole-process
// tests: a data directory of its own (ALLUSERSPROFILE pointing at a fresh
// folder with a Kervon/ subfolder), a service control manager state
// directory of its own (OSKAVELDE_SCM_DIR, the folder's scm/ unless a test
// gives another), standard output and standard error caught in files (or
// all three standard streams closed), signals (to the process, or to its
// whole process group as a terminal's Ctrl+C), and the exit status with a
// time limit.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scratch_dir.h"
#include "tests/support/wait_until.h"

extern char **environ;

namespace osktest {

// The exit code of the child process pid once it has ended, within the
// limit: -1 when it still runs or is no child of this process, 128 + n
// when a signal n ended it. An ended child is reaped. No pid (0 or less)
// is -1 at once: waitpid would take it for any child.
inline int wait_for_exit(pid_t pid, std::chrono::milliseconds limit) {
    if (pid <= 0)
        return -1;
    int status = 0;
    pid_t done = 0;
    const bool ended = wait_until(
        [&] {
            done = ::waitpid(pid, &status, WNOHANG);
            return done != 0;
        },
        limit, std::chrono::milliseconds(10));
    if (!ended || done != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class AgentProcess {
  public:
    using Clock = std::chrono::steady_clock;

    AgentProcess() { std::filesystem::create_directories(dir_.file("Kervon")); }
    ~AgentProcess() {
        if (pid_ > 0) {
            kill_all();
            ::waitpid(pid_, nullptr, 0);
        }
    }
    AgentProcess(const AgentProcess &) = delete;
    AgentProcess &operator=(const AgentProcess &) = delete;

    // The folder that ALLUSERSPROFILE names; the agent's data directory is
    // its Kervon/ subfolder. The process also runs in this folder.
    const ScratchDir &dir() const { return dir_; }
    std::string data_file(const std::string &name) const { return dir_.file("Kervon/" + name); }

    void write_ini(const std::string &text) const { write_file_bytes(data_file("kervon.ini"), text); }

    // The program that the next start runs in place of the agent's binary.
    void set_program(const std::string &path) { program_ = path; }

    // An environment entry for the next start, in place of the inherited
    // one of that name (ALLUSERSPROFILE and OSKAVELDE_SCM_DIR included).
    void set_environment(const std::string &name, const std::string &value) {
        for (auto &entry : extra_env_)
            if (entry.compare(0, name.size() + 1, name + "=") == 0) {
                entry = name + "=" + value;
                return;
            }
        extra_env_.push_back(name + "=" + value);
    }

    // The next start runs the process with standard input, output and error
    // closed, as some supervisors start daemons; out() and err() are empty.
    void close_standard_streams() { closed_streams_ = true; }

    // The next start puts the program in a process group of its own, as a
    // shell starts a foreground job, so that signal_group() reaches every
    // process it starts and has not moved away; a process still running
    // at the end is killed with all of them.
    void own_process_group() { own_group_ = true; }

    // Starts the binary with the arguments; false when it cannot be started.
    bool start(const std::vector<std::string> &args) {
        std::vector<std::string> extra{"ALLUSERSPROFILE=" + dir_.path(), "OSKAVELDE_SCM_DIR=" + dir_.file("scm")};
        for (const auto &entry : extra_env_) {
            const std::string name = entry.substr(0, entry.find('=') + 1);
            bool replaced = false;
            for (auto &given : extra)
                if (given.compare(0, name.size(), name) == 0) {
                    given = entry;
                    replaced = true;
                }
            if (!replaced)
                extra.push_back(entry);
        }
        std::vector<std::string> env_text;
        bool tsan_options = false;
        for (char **e = environ; *e != nullptr; ++e) {
            bool overridden = false;
            for (const auto &given : extra)
                if (std::strncmp(*e, given.c_str(), given.find('=') + 1) == 0)
                    overridden = true;
            if (overridden)
                continue;
            env_text.emplace_back(*e);
            // ThreadSanitizer pauses a second at exit by default; the time
            // that a stop takes is the agent's own without it.
            if (std::strncmp(*e, "TSAN_OPTIONS=", 13) == 0) {
                env_text.back() += ":atexit_sleep_ms=0";
                tsan_options = true;
            }
        }
        if (!tsan_options)
            env_text.emplace_back("TSAN_OPTIONS=atexit_sleep_ms=0");
        env_text.insert(env_text.end(), extra.begin(), extra.end());
        std::vector<char *> env;
        for (auto &e : env_text)
            env.push_back(e.data());
        env.push_back(nullptr);

        std::vector<std::string> argv_text{program_.empty() ? binary() : program_};
        argv_text.insert(argv_text.end(), args.begin(), args.end());
        std::vector<char *> argv;
        for (auto &a : argv_text)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (closed_streams_) {
            for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
                posix_spawn_file_actions_addclose(&actions, fd);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, dir_.file("stdout.txt").c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, dir_.file("stderr.txt").c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        posix_spawn_file_actions_addchdir_np(&actions, dir_.path().c_str());
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        if (own_group_) {
            posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
            posix_spawnattr_setpgroup(&attr, 0);
        }
        started_ = Clock::now();
        const int rc = posix_spawn(&pid_, argv[0], &actions, &attr, argv.data(), env.data());
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0)
            pid_ = -1;
        return rc == 0;
    }

    // The process id while it runs, -1 before the start and once ended.
    pid_t pid() const { return pid_; }

    void signal(int number) const {
        if (pid_ > 0)
            ::kill(pid_, number);
    }

    // The signal to every process of the group that the start gave the
    // program (own_process_group()), as a terminal sends Ctrl+C.
    void signal_group(int number) const {
        if (pid_ > 0 && own_group_)
            ::kill(-pid_, number);
    }

    // The exit code once the process has ended by itself within the limit;
    // -1 when it is still running (it is then killed), 128 + n when a
    // signal n ended it.
    int wait_exit(std::chrono::milliseconds limit) {
        // Without a process there is nothing to wait for, and nothing to
        // kill: a kill of pid -1 would reach every process of the user.
        if (pid_ <= 0)
            return -1;
        const int code = wait_for_exit(pid_, limit);
        if (code >= 0) {
            ended_ = Clock::now();
        } else {
            kill_all();
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
        return code;
    }

    // True once standard output holds the text, within the limit.
    bool wait_for_output(const std::string &text, std::chrono::milliseconds limit) const {
        return wait_until([&] { return out().find(text) != std::string::npos; }, limit);
    }

    // The listing of the set-up comes after the main cycle has started its
    // threads and just before its console handler is in place; with
    // console output the set-up ends with a pause of one second, and the
    // timer thread takes its first tick after that.
    bool wait_until_running(std::chrono::milliseconds limit) const {
        if (!wait_for_output("Detected system: ", limit))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1300));
        return true;
    }

    // Time from the start to the end of the process.
    Clock::duration run_time() const { return ended_ - started_; }

    std::string out() const { return read_file_bytes(dir_.file("stdout.txt")); }
    std::string err() const { return read_file_bytes(dir_.file("stderr.txt")); }
    // The debug log in the data directory.
    std::string log() const { return read_file_bytes(data_file("debugsnmp.log")); }

    static std::string binary() { return OSK_BINARY_DIR "/oskavelde"; }

  private:
    // The process, and with its own group every process left in it.
    void kill_all() const {
        if (own_group_)
            ::kill(-pid_, SIGKILL);
        ::kill(pid_, SIGKILL);
    }

    ScratchDir dir_;
    std::vector<std::string> extra_env_;
    std::string program_;
    bool closed_streams_ = false;
    bool own_group_ = false;
    pid_t pid_ = -1;
    Clock::time_point started_{};
    Clock::time_point ended_{};
};

// A kervon.ini without any device: the agent polls nothing, and its
// client port is one that the system picks.
inline std::string ini_without_devices() { return "[System]\r\nName=test\r\n[Network]\r\nPort=4\r\n"; }

} // namespace osktest
