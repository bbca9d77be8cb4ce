// Starting, watching and stopping snmpsimd for the tests, and the leases of
// loopback addresses.
#include "tests/support/snmpsim_fixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

#include "snmp/snmp_pp.h"
#include "tests/support/wait_until.h"

extern char **environ;

namespace osktest {

namespace {

namespace fs = std::filesystem;

constexpr const char *k_lock_dir = "/tmp/oskavelde-loopback";
constexpr int k_first_host = 2;
constexpr int k_last_host = 254;

// Whether a UDP socket can be bound to address:port; errno_out gets the
// failure.
bool can_bind(const char *address, unsigned short port, int &errno_out) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        errno_out = errno;
        return false;
    }
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(port);
    inet_pton(AF_INET, address, &sin.sin_addr);
    const bool ok = bind(fd, reinterpret_cast<sockaddr *>(&sin), sizeof sin) == 0;
    errno_out = ok ? 0 : errno;
    close(fd);
    return ok;
}

std::string current_test_name() {
    const auto *unit = ::testing::UnitTest::GetInstance();
    if (const auto *info = unit->current_test_info())
        return std::string(info->test_suite_name()) + "." + info->name();
    if (const auto *suite = unit->current_test_suite())
        return suite->name();
    return "";
}

// A file's text, or its beginning and its end when it is long, for error
// reports: snmpsimd states a failure first and then prints its usage.
std::string excerpt_of(const std::string &path, std::size_t max_bytes) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    std::string text = all.str();
    if (text.size() > max_bytes)
        text = text.substr(0, max_bytes / 2) + "\n...\n" + text.substr(text.size() - max_bytes / 4);
    return text;
}

// The shell that runs snmpsimd and ends it as soon as its standard input,
// a pipe whose only writer is the test process, reaches its end: when the
// test stops it, and equally when the test process dies without stopping
// it, so that no simulator outlives its test. It then also removes the
// work directory (its first argument); a simulator that ended by itself
// leaves it, with its output, to the test.
constexpr const char *k_guardian_script =
    "work=$1; shift\n"
    "exec 3<&0\n"
    "\"$@\" </dev/null &\n"
    "sim=$!\n"
    "( read _ <&3; : >\"$work/stopped\"; kill -TERM $sim 2>/dev/null ) &\n"
    "watch=$!\n"
    "wait $sim\n"
    "status=$?\n"
    "kill $watch 2>/dev/null\n"
    "[ -e \"$work/stopped\" ] && rm -rf \"$work\"\n"
    "exit $status\n";

} // namespace

bool LoopbackLease::acquire(unsigned short port, std::string &error) {
    release();
    mkdir(k_lock_dir, 01777);
    chmod(k_lock_dir, 01777);
    const std::size_t hash =
        std::hash<std::string>{}(current_test_name() + "/" + std::to_string(getpid()));
    const int span = k_last_host - k_first_host + 1;
    int bind_errno = 0;
    for (int i = 0; i < span; ++i) {
        const int host = k_first_host + static_cast<int>((hash + static_cast<std::size_t>(i)) %
                                                         static_cast<std::size_t>(span));
        char address[16];
        std::snprintf(address, sizeof address, "127.0.0.%d", host);
        const std::string lock_path = std::string(k_lock_dir) + "/" + address;
        const int fd = open(lock_path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            continue;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            close(fd);
            continue;
        }
        if (!can_bind(address, port, bind_errno)) {
            close(fd);
            if (bind_errno == EACCES) {
                error = "binding UDP port " + std::to_string(port) +
                        " needs root (or CAP_NET_BIND_SERVICE)";
                return false;
            }
            continue;
        }
        lock_fd_ = fd;
        std::memcpy(address_, address, sizeof address_);
        return true;
    }
    error = "no free loopback address in 127.0.0.2-254 for UDP port " + std::to_string(port);
    return false;
}

void LoopbackLease::release() {
    if (lock_fd_ >= 0)
        close(lock_fd_);
    lock_fd_ = -1;
    address_[0] = '\0';
}

std::string snmpsim_data_dir() { return std::string(OSK_SOURCE_DIR) + "/tests/data/snmpsim"; }

bool SnmpSimulator::start(const std::string &address, const std::string &data_dir,
                          std::string &error, unsigned short port) {
    stop();
    char work_template[] = "/tmp/oskavelde-snmpsim-XXXXXX";
    if (mkdtemp(work_template) == nullptr) {
        error = std::string("cannot create a work directory: ") + std::strerror(errno);
        return false;
    }
    work_dir_ = work_template;
    // snmpsimd drops to an unprivileged user: it must reach its data files
    // and write its index cache.
    chmod(work_dir_.c_str(), 0755);
    const std::string data = work_dir_ + "/data";
    const std::string cache = work_dir_ + "/cache";
    const std::string log = work_dir_ + "/snmpsimd.log";
    mkdir(data.c_str(), 0755);
    mkdir(cache.c_str(), 0777);
    chmod(cache.c_str(), 0777);

    // Copies with a time stamp in the past: snmpsimd rebuilds the index of a
    // data file that is not older than its index, at the first request.
    std::error_code ec;
    std::string first_community;
    for (const auto &entry : fs::directory_iterator(data_dir, ec)) {
        if (entry.path().extension() != ".snmprec")
            continue;
        const fs::path copy = fs::path(data) / entry.path().filename();
        if (!fs::copy_file(entry.path(), copy, fs::copy_options::overwrite_existing, ec)) {
            error = "cannot copy " + entry.path().string() + ": " + ec.message();
            stop();
            return false;
        }
        chmod(copy.c_str(), 0644);
        timeval past[2];
        gettimeofday(&past[0], nullptr);
        past[0].tv_sec -= 3600;
        past[1] = past[0];
        utimes(copy.c_str(), past);
        if (first_community.empty() || entry.path().stem().string() < first_community)
            first_community = entry.path().stem().string();
    }
    if (first_community.empty()) {
        error = "no .snmprec data file in " + data_dir;
        stop();
        return false;
    }

    std::vector<std::string> args = {"/bin/sh",
                                     "-c",
                                     k_guardian_script,
                                     "snmpsim-guardian",
                                     work_dir_,
                                     "snmpsimd",
                                     "--data-dir=" + data,
                                     "--cache-dir=" + cache,
                                     "--agent-udpv4-endpoint=" + address + ":" +
                                         std::to_string(port),
                                     "--logging-method=stderr"};
    if (geteuid() == 0) {
        const char *group = getgrnam("nogroup") != nullptr ? "nogroup" : "nobody";
        args.push_back("--process-user=nobody");
        args.push_back(std::string("--process-group=") + group);
    }
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // The simulator's home is its work directory, so that it serves no
    // data files or variation modules of the user's own.
    std::vector<std::string> env_text;
    for (char **e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, "HOME=", 5) != 0)
            env_text.emplace_back(*e);
    env_text.push_back("HOME=" + work_dir_);
    std::vector<char *> envp;
    for (std::string &e : env_text)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int keepalive[2];
    if (pipe2(keepalive, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        stop();
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, keepalive[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, "/bin/sh", &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(keepalive[0]);
    if (rc != 0) {
        close(keepalive[1]);
        error = std::string("cannot start snmpsimd: ") + std::strerror(rc);
        stop();
        return false;
    }
    guardian_ = pid;
    keepalive_fd_ = keepalive[1];
    if (!wait_until_answering(address, port, first_community, error)) {
        error += "\n--- snmpsimd output ---\n" + excerpt_of(log, 4000);
        stop();
        return false;
    }
    return true;
}

bool SnmpSimulator::wait_until_answering(const std::string &address, unsigned short port,
                                         const std::string &community, std::string &error) {
    UdpAddress agent(address.c_str());
    agent.set_port(port);
    CTarget target(agent);
    target.set_readcommunity(OctetStr(community.c_str()));
    target.set_retry(0);
    target.set_timeout(25);
    bool answering = false;
    const bool settled = wait_until(
        [&] {
            int status = 0;
            if (waitpid(guardian_, &status, WNOHANG) == guardian_) {
                guardian_ = -1;
                error = "snmpsimd ended before it answered (exit status " +
                        std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
                return true;
            }
            int created = 0;
            Snmp session(created);
            Pdu pdu;
            pdu += Vb(Oid("1.3.6.1.2.1.33.1.1.1.0"));
            const int answer = session.get(pdu, target);
            // Any answer, an error status included, means it is serving.
            answering = answer >= 0;
            // A time-out has waited already; a failure that came at once
            // waits a little before the next try.
            if (!answering && answer != SNMP_CLASS_TIMEOUT)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return answering;
        },
        std::chrono::seconds(60), std::chrono::milliseconds(0));
    if (!settled)
        error = "snmpsimd on " + address + ":" + std::to_string(port) + " did not answer within 60 s";
    return answering;
}

void SnmpSimulator::stop() {
    if (keepalive_fd_ >= 0)
        close(keepalive_fd_);
    keepalive_fd_ = -1;
    if (guardian_ > 0) {
        const bool ended = wait_until([&] { return waitpid(guardian_, nullptr, WNOHANG) == guardian_; },
                                      std::chrono::seconds(10));
        if (!ended) {
            kill(-guardian_, SIGKILL);
            waitpid(guardian_, nullptr, 0);
        }
        guardian_ = -1;
    }
    if (!work_dir_.empty()) {
        std::error_code ec;
        fs::remove_all(work_dir_, ec);
        work_dir_.clear();
    }
}

std::string SnmpSimulator::output() const {
    return work_dir_.empty() ? std::string() : excerpt_of(work_dir_ + "/snmpsimd.log", 1 << 20);
}

LoopbackLease *SnmpsimTest::lease_ = nullptr;
SnmpSimulator *SnmpsimTest::simulator_ = nullptr;
std::string *SnmpsimTest::error_ = nullptr;

void SnmpsimTest::SetUpTestSuite() {
    lease_ = new LoopbackLease;
    simulator_ = new SnmpSimulator;
    error_ = new std::string;
    if (lease_->acquire(161, *error_))
        simulator_->start(lease_->address(), snmpsim_data_dir(), *error_);
}

void SnmpsimTest::TearDownTestSuite() {
    delete simulator_;
    delete lease_;
    delete error_;
    simulator_ = nullptr;
    lease_ = nullptr;
    error_ = nullptr;
}

void SnmpsimTest::SetUp() {
    ASSERT_TRUE(simulator_ != nullptr && simulator_->running()) << *error_;
}

const char *SnmpsimTest::agent_address() { return lease_->address(); }

SnmpSimulator &SnmpsimTest::simulator() { return *simulator_; }

std::string read_simulator_value(const char *agent, const char *community, const char *oid) {
    int created = 0;
    Snmp session(created);
    UdpAddress address(agent);
    CTarget target(address);
    target.set_readcommunity(OctetStr(community));
    Pdu pdu;
    pdu += Vb(Oid(oid));
    if (session.get(pdu, target) != SNMP_CLASS_SUCCESS)
        return "(no answer)";
    Vb vb;
    pdu.get_vb(vb, 0);
    return vb.get_printable_value();
}

bool write_simulator_value(const char *agent, const char *community, const char *oid, long value) {
    int created = 0;
    Snmp session(created);
    UdpAddress address(agent);
    CTarget target(address);
    target.set_readcommunity(OctetStr(community));
    target.set_writecommunity(OctetStr(community));
    Vb vb{Oid(oid)};
    vb.set_value(SnmpInt32(value));
    Pdu pdu;
    pdu += vb;
    return session.set(pdu, target) == SNMP_CLASS_SUCCESS;
}

} // namespace osktest
