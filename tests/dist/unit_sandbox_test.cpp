// The agent in the sandbox of the shipped systemd unit. systemd cannot run
// here as the init, so the test builds what the unit asks for around the
// real binary by hand, driven by the unit's own settings: a mount namespace
// whose root is read-only (ProtectSystem=strict), with empty private /tmp
// and /var/tmp (PrivateTmp=), the home directories hidden (ProtectHome=), a
// /dev of pseudo devices and /dev/log (PrivateDevices=), /proc showing only
// the agent's own process (ProcSubset=pid, ProtectProc=invisible), the
// state directory from StateDirectory= with its mode and owner, the binary
// where an install puts it (so that the build's own folder, which may lie
// under a hidden /tmp or /root, need not be reached), and the
// agent run with the unit's environment and arguments as an unprivileged
// user (user nobody stands in for the unit's user, which this machine
// lacks) with no capabilities and no new privileges. It polls a UPS of
// snmpsimd, answers a client over UDP and writes its debug log; a client
// port below 1024 needs CAP_NET_BIND_SERVICE, which the README's drop-in
// gives; and without kervon.ini its message reaches the system log
// through /dev/log. The plain build's agent runs under strace, and every
// system call it makes must lie in the unit's SystemCallFilter=, every
// socket in its RestrictAddressFamilies=, every file it writes in its
// state directory and everything it reads of /proc in its own process.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "server/protocol.h"
#include "tests/support/agent_with_ups.h"
#include "tests/support/command_output.h"
#include "tests/support/debug_lines.h"
#include "tests/support/system_log.h"
#include "tests/support/unit_file.h"
#include "tests/support/wait_until.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The user and group that stand in for the unit's.
constexpr unsigned kNobody = 65534;
// Where the sandbox shows the agent's binary: the ExecStart of an install
// to the default prefix.
constexpr const char *kInstalledBinary = "/usr/local/bin/oskavelde";
constexpr std::uint16_t kDevice = 3;

// The body of the quoted text that starts at or after from, and the
// position after it; npos when there is none. strace writes a quote in a
// text as \".
std::string quoted_text(const std::string &line, std::size_t &from) {
    const std::size_t open = line.find('"', from);
    if (open == std::string::npos) {
        from = std::string::npos;
        return "";
    }
    std::size_t close = open + 1;
    while (close < line.size() && line[close] != '"')
        close += line[close] == '\\' ? 2 : 1;
    from = close + 1;
    return line.substr(open + 1, close - open - 1);
}

// What the agent did, from strace's lines after the execve of its binary.
struct Trace {
    std::set<std::string> calls;
    std::set<std::string> families;
    std::set<std::string> proc_paths;
    std::set<std::string> written_paths;
};

bool is_write_open(const std::string &line) {
    for (const char *flag : {"O_WRONLY", "O_RDWR", "O_CREAT", "O_TRUNC"})
        if (line.find(flag) != std::string::npos)
            return true;
    return false;
}

Trace read_trace(const std::string &text, const std::string &binary, bool &found_exec) {
    static const std::set<std::string> path_changes = {
        "mkdir",   "mkdirat",   "unlink",  "unlinkat", "rmdir",  "rename",   "renameat",
        "renameat2", "link",    "linkat",  "symlink",  "symlinkat", "chmod", "fchmodat",
        "chown",   "fchownat",  "lchown",  "truncate", "mknod",  "mknodat",  "creat"};
    Trace trace;
    found_exec = false;
    for (const std::string &line : osktest::debug_lines(text)) {
        // "pid  name(arguments) = result"
        const std::size_t name_at = line.find_first_not_of("0123456789 ");
        if (name_at == std::string::npos)
            continue;
        const std::size_t paren = line.find('(', name_at);
        if (paren == std::string::npos)
            continue;
        const std::string name = line.substr(name_at, paren - name_at);
        if (name.empty() || name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") != std::string::npos)
            continue; // "<... resumed>", "--- SIGINT", "+++ exited"
        if (!found_exec) {
            if (name == "execve" && line.compare(paren + 1, binary.size() + 2, "\"" + binary + "\"") == 0)
                found_exec = true;
            else
                continue;
        }
        trace.calls.insert(name);
        if (name == "socket") {
            const std::size_t end = line.find_first_of(",)", paren);
            trace.families.insert(line.substr(paren + 1, end - paren - 1));
        }
        const bool writes = ((name == "open" || name == "openat") && is_write_open(line)) ||
                            path_changes.count(name) != 0;
        for (std::size_t at = paren; at != std::string::npos;) {
            const std::string path = quoted_text(line, at);
            if (at == std::string::npos)
                break;
            if (path.rfind("/proc/", 0) == 0 || path == "/proc")
                trace.proc_paths.insert(path);
            if (writes && !path.empty() && path[0] == '/')
                trace.written_paths.insert(path);
            if (name == "execve")
                break; // its arguments and environment are no paths
        }
    }
    return trace;
}

// systemd's system call groups as systemd-analyze lists them: "@group",
// then its members (calls and groups) indented.
std::map<std::string, std::vector<std::string>> syscall_groups() {
    std::map<std::string, std::vector<std::string>> groups;
    std::string current;
    for (const std::string &line :
         osktest::debug_lines(osktest::run_command("systemd-analyze syscall-filter 2>/dev/null").out)) {
        if (line.rfind("@", 0) == 0) {
            current = osktest::unit_trimmed(line);
            continue;
        }
        const std::string member = osktest::unit_trimmed(line);
        if (!current.empty() && !member.empty() && member[0] != '#')
            groups[current].push_back(member);
    }
    return groups;
}

void expand(const std::string &item, const std::map<std::string, std::vector<std::string>> &groups,
            std::set<std::string> &calls, int depth = 0) {
    if (item.empty() || item[0] != '@') {
        calls.insert(item);
        return;
    }
    const auto group = groups.find(item);
    if (group == groups.end() || depth > 8)
        return;
    for (const std::string &member : group->second)
        expand(member, groups, calls, depth + 1);
}

// The calls the unit's SystemCallFilter= lines allow: the first line's
// allow list, then each further line adds to it or, with "~", takes away.
std::set<std::string> allowed_calls(const std::vector<std::string> &filters) {
    const auto groups = syscall_groups();
    std::set<std::string> allowed;
    for (const std::string &filter : filters) {
        const bool deny = !filter.empty() && filter[0] == '~';
        std::istringstream items(deny ? filter.substr(1) : filter);
        std::set<std::string> calls;
        for (std::string item; items >> item;)
            expand(item, groups, calls);
        for (const std::string &call : calls) {
            if (deny)
                allowed.erase(call);
            else
                allowed.insert(call);
        }
    }
    return allowed;
}

struct UnitSandboxCase {
    const char *name;
    bool configured;        // kervon.ini in the data directory
    std::uint16_t low_port; // a client port below 1024, one per case, or 0
    bool bind_capability;   // CAP_NET_BIND_SERVICE, as the README's drop-in gives it
    bool answers;           // a client's GET_STATUS gets its answer
    int exit_code;
};

void PrintTo(const UnitSandboxCase &c, std::ostream *out) { *out << c.name; }

class UnitSandbox : public osktest::AgentWithUps, public ::testing::WithParamInterface<UnitSandboxCase> {
  protected:
    void SetUp() override {
        osktest::AgentWithUps::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_EQ(::geteuid(), 0u) << "the sandbox is built with mounts: run the tests as root";
        const std::string unit = read_file_bytes(std::string(OSK_SOURCE_DIR) + "/dist/oskavelde.service");
        ASSERT_TRUE(osktest::read_unit_section(unit, "[Service]", settings_));
    }

    std::string setting(const std::string &key) const { return osktest::unit_value(settings_, key); }

    // The shell that builds the sandbox in a mount namespace of its own and
    // then runs the agent in it: work is a folder of the test for the
    // mounts' sources, data the folder that becomes the state directory.
    std::string sandbox_script(const std::string &work, const std::string &data,
                               const std::string &system_log, const std::string &state_dir,
                               const std::string &binary, const std::string &caps,
                               const std::vector<std::string> &command) const {
        std::string s = "set -e\nmount --make-rprivate /\n";
        // The build's binary in an installed agent's place, in a folder of
        // the namespace's own, before the build's folder may be hidden.
        s += "mount -t tmpfs -o mode=0755 tmpfs '" + fs::path(kInstalledBinary).parent_path().string() +
             "'\ntouch '" + kInstalledBinary + "'\nmount --bind '" + binary + "' '" + kInstalledBinary + "'\n";
        // A /dev of pseudo devices with the test's system log at /dev/log,
        // as PrivateDevices= makes it (without that setting the agent would
        // see the machine's /dev, where /dev/log is the journal's socket).
        s += "mkdir '" + work + "/dev'\nmount --rbind /dev '" + work + "/dev'\n"
             "mount -t tmpfs -o mode=0755,nosuid tmpfs /dev\n"
             "for d in null zero full random urandom tty; do touch /dev/$d; mount --bind '" +
             work + "/dev/'$d /dev/$d; done\n"
             "mkdir /dev/shm\nmount -t tmpfs -o mode=1777,nosuid,nodev tmpfs /dev/shm\n"
             "touch /dev/log\nmount --bind '" + system_log + "' /dev/log\n"
             "umount -l '" + work + "/dev'\n";
        // The state directory under a /var/lib of its own, whose other
        // folders stay root's.
        s += "mount -t tmpfs -o mode=0755 tmpfs /var/lib\n"
             "mkdir -p '" + state_dir + "'\nmount --bind '" + data + "' '" + state_dir + "'\n"
             "mount -o remount,ro /var/lib\n";
        if (setting("ProtectHome") == "yes")
            s += "for h in /home /root /run/user; do if [ -d $h ]; then "
                 "mount -t tmpfs -o ro,mode=0000 tmpfs $h; fi; done\n";
        if (setting("PrivateTmp") == "yes")
            s += "mount -t tmpfs -o mode=1777 tmpfs /tmp\nmount -t tmpfs -o mode=1777 tmpfs /var/tmp\n";
        std::string proc_options;
        if (setting("ProcSubset") == "pid")
            proc_options += ",subset=pid";
        if (setting("ProtectProc") == "invisible")
            proc_options += ",hidepid=invisible";
        if (!proc_options.empty())
            s += "mount -t proc -o " + proc_options.substr(1) + " proc /proc\n";
        if (setting("ProtectSystem") == "strict")
            s += "mount -o remount,bind,ro /\n";
        s += "exec setpriv --reuid=" + std::to_string(kNobody) + " --regid=" + std::to_string(kNobody) +
             " --clear-groups --no-new-privs " + caps + " --";
        for (const std::string &word : command)
            s += " '" + word + "'";
        s += "\n";
        return s;
    }

    std::vector<osktest::UnitSetting> settings_;
    std::error_code error_;
};

TEST_P(UnitSandbox, AgentRunsAsTheUnitRunsIt) {
    const UnitSandboxCase &c = GetParam();
#ifdef OSK_SANITIZED_BUILD
    // The sanitizers' own run-time makes calls of its own, and its leak
    // check at the end cannot work under strace.
    const bool traced = false;
#else
    const bool traced = true;
#endif
    // The unit's identity: an unprivileged user without capabilities.
    const std::string user = setting("User");
    ASSERT_FALSE(user.empty()) << "the unit runs the agent as root";
    ASSERT_NE(user, "root");
    ASSERT_EQ(setting("CapabilityBoundingSet"), "");
    ASSERT_EQ(setting("NoNewPrivileges"), "yes");
    // Its data directory: ALLUSERSPROFILE's Kervon/, the state directory.
    const std::string environment = setting("Environment");
    ASSERT_EQ(environment.rfind("ALLUSERSPROFILE=", 0), 0u) << environment;
    const std::string profile = environment.substr(std::string("ALLUSERSPROFILE=").size());
    const std::string state_dir = "/var/lib/" + setting("StateDirectory");
    ASSERT_EQ(state_dir, profile + "/Kervon");
    const unsigned mode = static_cast<unsigned>(std::stoul(setting("StateDirectoryMode"), nullptr, 8));
    EXPECT_EQ(mode & 07, 0u) << "the debug log is writable for everyone: others must not reach it";
    std::vector<std::string> exec_start;
    std::istringstream words(setting("ExecStart"));
    for (std::string word; words >> word;)
        exec_start.push_back(word);
    ASSERT_EQ(exec_start.at(0), "@CMAKE_INSTALL_FULL_BINDIR@/oskavelde");
    const std::string binary = osktest::AgentProcess::binary();

    // The data directory as systemd leaves it, with the operator's
    // kervon.ini readable for the agent's group only.
    const std::string data = agent_.dir().file("Kervon");
    ASSERT_EQ(::chown(data.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chmod(data.c_str(), mode), 0);
    if (c.low_port != 0)
        client_port_ = c.low_port;
    if (c.configured) {
        agent_.write_ini(ini("", {{0, "UPS hall", "BRAXO1-VEGA3000", 5, ups_address(), "online", kDevice}}));
        const std::string ini_file = agent_.data_file("kervon.ini");
        ASSERT_EQ(::chown(ini_file.c_str(), 0, kNobody), 0);
        ASSERT_EQ(::chmod(ini_file.c_str(), 0640), 0);
    }
    const std::string work = agent_.dir().file("sandbox");
    fs::create_directory(work);
    SystemLogSocket system_log(work + "/log");
    ASSERT_TRUE(system_log.bound());
    const std::string trace_file = agent_.dir().file("trace.txt");

    std::vector<std::string> command{kInstalledBinary};
    command.insert(command.end(), exec_start.begin() + 1, exec_start.end());
    const std::string caps = c.bind_capability ? "--inh-caps=-all,+net_bind_service "
                                                 "--ambient-caps=-all,+net_bind_service "
                                                 "--bounding-set=-all,+net_bind_service"
                                               : "--inh-caps=-all --bounding-set=-all";
    const std::string script =
        sandbox_script(work, data, work + "/log", state_dir, binary, caps, command);
    std::vector<std::string> args{"-m", "sh", "-c", script};
    if (traced) {
        args.insert(args.begin(), {"-f", "-qq", "-s", "4096", "-o", trace_file, "unshare"});
        agent_.set_program("/usr/bin/strace");
    } else {
        agent_.set_program("/usr/bin/unshare");
    }
    agent_.set_environment("ALLUSERSPROFILE", profile);
    agent_.set_environment("OSKAVELDE_SCM_DIR", ""); // the built-in manager's default
    ASSERT_TRUE(agent_.start(args));

    // The agent's process: under strace the child that unshare, the shell
    // and setpriv each became in turn and that now runs the agent's binary
    // (strace may have another child for a moment).
    pid_t pid = agent_.pid();
    if (traced) {
        pid = 0;
        const std::string children = "/proc/" + std::to_string(agent_.pid()) + "/task/" +
                                     std::to_string(agent_.pid()) + "/children";
        ASSERT_TRUE(osktest::wait_until(
            [&] {
                std::istringstream listed(read_file_bytes(children));
                for (long child; listed >> child;)
                    if (fs::equivalent("/proc/" + std::to_string(child) + "/exe", binary, error_)) {
                        pid = static_cast<pid_t>(child);
                        return true;
                    }
                return false;
            },
            30s))
            << agent_.err();
    }
    if (c.configured) {
        ASSERT_TRUE(wait_for_count("RESP Dev:", 1, 60s)) << agent_.out() << agent_.err();
        const std::size_t answers = request(GET_STATUS, kDevice).size();
        EXPECT_EQ(answers, c.answers ? 1u : 0u) << agent_.out();
        if (!c.answers) {
            EXPECT_NE(agent_.out().find("TCP/IP error"), std::string::npos) << agent_.out();
        }
        ::kill(pid, SIGINT);
    }
    ASSERT_EQ(agent_.wait_exit(60s), c.exit_code) << agent_.out() << agent_.err();

    // The debug log in the state directory, created writable for everyone
    // and owned by the agent's user.
    struct stat st {};
    ASSERT_EQ(::stat(agent_.data_file("debugsnmp.log").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kNobody);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
    if (c.configured) {
        EXPECT_NE(agent_.log().find("RESP Dev:"), std::string::npos) << agent_.log();
    } else {
        EXPECT_NE(agent_.err().find("Cannot open initialization file!"), std::string::npos);
        const std::string logged = system_log.messages();
        EXPECT_NE(logged.find("Oskavelde["), std::string::npos) << logged;
        EXPECT_NE(logged.find("Error: Cannot open initialization file!"), std::string::npos) << logged;
    }

    if (!traced)
        return;
    bool found_exec = false;
    const Trace trace = read_trace(read_file_bytes(trace_file), kInstalledBinary, found_exec);
    ASSERT_TRUE(found_exec) << "no execve of " << kInstalledBinary << " in the trace";
    const std::set<std::string> allowed = allowed_calls(osktest::unit_values(settings_, "SystemCallFilter"));
    ASSERT_FALSE(allowed.empty()) << "no SystemCallFilter= in the unit, or no systemd-analyze";
    for (const std::string &call : trace.calls)
        EXPECT_TRUE(allowed.count(call)) << call << " is outside the unit's SystemCallFilter=";
    std::set<std::string> families;
    std::istringstream listed(setting("RestrictAddressFamilies"));
    for (std::string family; listed >> family;)
        families.insert(family);
    for (const std::string &family : trace.families)
        EXPECT_TRUE(families.count(family)) << family << " is outside RestrictAddressFamilies=";
    for (const std::string &path : trace.written_paths)
        EXPECT_TRUE(path.rfind(state_dir + "/", 0) == 0 || path == "/dev/null")
            << "written outside the state directory: " << path;
    // glibc's malloc asks for the overcommit mode when a thread's heap
    // shrinks; ProcSubset=pid hides it, and malloc then gives the memory
    // back with madvise, as it does under the default mode.
    const std::string own = "/proc/" + std::to_string(pid);
    for (const std::string &path : trace.proc_paths)
        EXPECT_TRUE(path.rfind("/proc/self/", 0) == 0 || path.rfind("/proc/thread-self/", 0) == 0 ||
                    path.rfind(own + "/", 0) == 0 || path == "/proc/sys/vm/overcommit_memory")
            << "read of /proc beyond the agent's own process: " << path;
}

// The cases may run side by side in one network namespace, so each low
// port is a case's own.
INSTANTIATE_TEST_SUITE_P(
    Runs, UnitSandbox,
    ::testing::Values(UnitSandboxCase{"PollsAndAnswersItsClients", true, 0, false, true, 0},
                      UnitSandboxCase{"LowClientPortNeedsTheCapability", true, 1001, false, false, 0},
                      UnitSandboxCase{"LowClientPortWithTheDropInsCapability", true, 1002, true, true, 0},
                      UnitSandboxCase{"MissingConfigurationReachesTheSystemLog", false, 0, false, false, 2}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
