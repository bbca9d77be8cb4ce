// Service processes: start detached through a double fork, the liveness
// test over /proc/<pid>/stat, and the end of a process asked for through a
// descriptor of the process.
#include "platform/scm/scm_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/last_error.h"

namespace platform::scm {

namespace {

constexpr int kStartLimitMs = 10000;

// What the helper processes tell the caller through the pipe.
enum Kind : int { kPid = 1, kErrno = 2 };
struct Note {
    int kind;
    int value;
};

void tell(int fd, Kind kind, int value) {
    const Note note{kind, value};
    // A pipe takes a write this small whole or not at all.
    [[maybe_unused]] const ssize_t n = ::write(fd, &note, sizeof note);
}

// Reads one note within the time left; false at the end of the pipe or
// when the time has run out (timed_out set).
bool read_note(int fd, Note &note, std::chrono::steady_clock::time_point until, bool &timed_out) {
    timed_out = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              until - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            timed_out = true;
            return false;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            timed_out = ready == 0;
            return false;
        }
        const ssize_t n = ::read(fd, &note, sizeof note);
        if (n < 0 && errno == EINTR)
            continue;
        return n == static_cast<ssize_t>(sizeof note);
    }
}

// The service process itself: only calls that are safe after fork.
[[noreturn]] void run_program(char *const *argv, char *const *envp, int report_fd) {
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    for (int s = 1; s < NSIG; ++s)
        ::sigaction(s, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd < 0 || ::dup2(null_fd, 0) < 0 || ::dup2(null_fd, 1) < 0 || ::dup2(null_fd, 2) < 0) {
        tell(report_fd, kErrno, errno);
        ::_exit(127);
    }
    // Nothing of the caller's reaches the service; the report pipe closes
    // at the exec and so tells the caller that the program runs.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    if (::chdir("/") != 0) {
        tell(report_fd, kErrno, errno);
        ::_exit(127);
    }
    ::execve(argv[0], argv, envp);
    tell(report_fd, kErrno, errno);
    ::_exit(127);
}

} // namespace

// The signal goes through a descriptor of the process itself, taken before
// the mark is checked: a process that ended after the check and whose
// identifier another process took is no longer the descriptor's, and the
// kernel refuses the signal instead of delivering it to the newcomer. The
// C library's own declarations of these calls cannot be taken from C++
// here, so they are made as system calls.
int signal_marked(const ProcessMark &mark, int signal) {
    if (mark.pid <= 0)
        return ESRCH;
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, mark.pid, 0));
    if (pidfd < 0)
        return errno;
    int err = 0;
    if (!process_alive(mark))
        err = ESRCH;
    else if (::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0) != 0)
        err = errno;
    ::close(pidfd);
    return err;
}

bool process_mark_of(int pid, ProcessMark &mark) {
    if (pid <= 0)
        return false;
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
    // /proc files give no size to read ahead: a stream read it is.
    FILE *f = std::fopen(path, "re");
    if (f == nullptr)
        return false;
    char buffer[1024];
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    const std::string stat(buffer, n);
    // "pid (name) state ppid ...": the name may hold blanks and
    // parentheses, so the fields are counted from the last ')'.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size())
        return false;
    const char state = stat[close + 2];
    if (state == 'Z' || state == 'X' || state == 'x')
        return false;
    const char *p = stat.c_str() + close + 2;
    // The start time is field 22; the state is field 3.
    for (int field = 3; field < 22; ++field) {
        p = std::strchr(p, ' ');
        if (p == nullptr)
            return false;
        ++p;
    }
    char *end = nullptr;
    errno = 0;
    const unsigned long long start = std::strtoull(p, &end, 10);
    if (end == p || errno != 0)
        return false;
    mark.pid = pid;
    mark.start_time = start;
    return true;
}

bool process_alive(const ProcessMark &mark) {
    ProcessMark now;
    return process_mark_of(mark.pid, now) && now.start_time == mark.start_time;
}

bool same_process(const ProcessMark &a, const ProcessMark &b) {
    return a.pid == b.pid && a.start_time == b.start_time;
}

bool split_command_line(const std::string &command_line, std::vector<std::string> &argv) {
    argv.clear();
    std::size_t at = 0;
    const std::size_t size = command_line.size();
    while (at < size && command_line[at] == ' ')
        ++at;
    if (at < size && command_line[at] == '"') {
        const std::size_t close = command_line.find('"', at + 1);
        if (close == std::string::npos)
            return false;
        argv.push_back(command_line.substr(at + 1, close - at - 1));
        at = close + 1;
    } else {
        const std::size_t blank = command_line.find(' ', at);
        const std::size_t end = blank == std::string::npos ? size : blank;
        argv.push_back(command_line.substr(at, end - at));
        at = end;
    }
    if (argv[0].empty())
        return false;
    while (at < size) {
        while (at < size && command_line[at] == ' ')
            ++at;
        if (at >= size)
            break;
        const std::size_t blank = command_line.find(' ', at);
        const std::size_t end = blank == std::string::npos ? size : blank;
        argv.push_back(command_line.substr(at, end - at));
        at = end;
    }
    return true;
}

DWORD start_detached(const std::vector<std::string> &argv, const std::vector<std::string> &environment,
                     ProcessMark &started) {
    if (argv.empty())
        return ERROR_INVALID_PARAMETER;
    // Everything the new processes use is made before the fork.
    std::vector<std::string> argv_text(argv);
    std::vector<std::string> env_text(environment);
    std::vector<char *> argv_list;
    for (std::string &a : argv_text)
        argv_list.push_back(a.data());
    argv_list.push_back(nullptr);
    std::vector<char *> env_list;
    for (std::string &e : env_text)
        env_list.push_back(e.data());
    env_list.push_back(nullptr);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return error_from_errno(errno);
    const pid_t helper = ::fork();
    if (helper < 0) {
        const int err = errno;
        ::close(report[0]);
        ::close(report[1]);
        return error_from_errno(err);
    }
    if (helper == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t service = ::fork();
        if (service < 0) {
            tell(report[1], kErrno, errno);
            ::_exit(127);
        }
        if (service == 0)
            run_program(argv_list.data(), env_list.data(), report[1]);
        tell(report[1], kPid, static_cast<int>(service));
        ::_exit(0);
    }
    ::close(report[1]);
    while (::waitpid(helper, nullptr, 0) < 0 && errno == EINTR) {
    }

    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartLimitMs);
    Note note{};
    bool timed_out = false;
    DWORD result = ERROR_SUCCESS;
    int pid = 0;
    if (!read_note(report[0], note, until, timed_out) || note.kind != kPid) {
        result = note.kind == kErrno ? error_from_errno(note.value) : ERROR_GEN_FAILURE;
    } else {
        pid = note.value;
        // Read the mark while the process still stands, before its exec.
        if (!process_mark_of(pid, started))
            started = ProcessMark{pid, 0};
        if (read_note(report[0], note, until, timed_out))
            result = note.kind == kErrno ? error_from_errno(note.value) : ERROR_GEN_FAILURE;
        else if (timed_out)
            result = ERROR_SERVICE_REQUEST_TIMEOUT;
    }
    ::close(report[0]);
    if (result != ERROR_SUCCESS && pid > 0 && started.start_time != 0)
        end_process(started);
    return result;
}

void end_process(const ProcessMark &mark) { signal_marked(mark, SIGKILL); }

DWORD ask_process_to_end(const ProcessMark &mark) {
    const int err = signal_marked(mark, SIGTERM);
    return err == 0 || err == ESRCH ? ERROR_SUCCESS : error_from_errno(err);
}

bool wait_process_end(const ProcessMark &mark, int limit_ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    while (process_alive(mark)) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace platform::scm
