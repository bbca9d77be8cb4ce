// The run lock: the run name and an flock on "<name>.run", whose file
// names the holder.
#include "platform/scm/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/last_error.h"
#include "platform/scm/run_name.h"
#include "platform/scm/scm_process.h"
#include "platform/scm/scm_records.h"
#include "platform/scm/state_file.h"

namespace platform::scm {

namespace {

// A manager that tests the lock holds it shared for a moment; a process
// taking it tries again for this long before it counts as refused.
constexpr int kTakeLimitMs = 2000;
constexpr std::size_t kMaxRunFile = 256;

std::string run_path(const std::string &base) { return base + ".run"; }

// Opens the run file as a regular file only: a link, FIFO or device in
// its place is refused and never blocks the open.
int open_run_file(const std::string &base, int flags, DWORD &error) {
    const int fd = ::open(run_path(base).c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) {
        error = error_from_errno(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = ERROR_FILE_CORRUPT;
        return -1;
    }
    error = ERROR_SUCCESS;
    return fd;
}

int try_flock(int fd, int operation) {
    int rc;
    while ((rc = ::flock(fd, operation | LOCK_NB)) != 0 && errno == EINTR) {
    }
    return rc == 0 ? 0 : errno;
}

// The mark the file names, read through the open descriptor; empty when
// the text is damaged.
ProcessMark named_mark(int fd) {
    char bytes[kMaxRunFile + 1];
    ssize_t n;
    while ((n = ::pread(fd, bytes, sizeof bytes, 0)) < 0 && errno == EINTR) {
    }
    ProcessMark mark;
    if (n <= 0 || static_cast<std::size_t>(n) > kMaxRunFile ||
        !mark_from_record(std::string(bytes, static_cast<std::size_t>(n)), mark))
        return ProcessMark{};
    return mark;
}

// Takes the flock of the run file and writes the mark into it; the
// descriptor, or -1 with the Win32 code in error.
int take_run_file(const std::string &base, const ProcessMark &self, DWORD &error) {
    error = make_folders(base.substr(0, base.find_last_of('/')));
    if (error != ERROR_SUCCESS)
        return -1;
    const int fd = open_run_file(base, O_RDWR | O_CREAT, error);
    if (fd < 0)
        return -1;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTakeLimitMs);
    int err;
    while ((err = try_flock(fd, LOCK_EX)) == EWOULDBLOCK && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (err != 0) {
        ::close(fd);
        error = err == EWOULDBLOCK ? ERROR_SERVICE_ALREADY_RUNNING : error_from_errno(err);
        return -1;
    }
    // Written in place: a file renamed over this one would not be the
    // locked one. A holder that the file does not name could not be
    // reached when its control channel is gone, so it does not start.
    const std::string text = mark_record(self);
    ssize_t written = -1;
    if (::ftruncate(fd, 0) == 0)
        while ((written = ::pwrite(fd, text.data(), text.size(), 0)) < 0 && errno == EINTR) {
        }
    if (written != static_cast<ssize_t>(text.size())) {
        error = written < 0 ? error_from_errno(errno) : ERROR_GEN_FAILURE;
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

DWORD hold_run_lock(const std::string &base, const ProcessMark &self, RunLock &lock) {
    lock = RunLock{};
    // The name comes first: it is the mark that no deletion of files can
    // take, so a process holding it runs the service and a second cannot.
    DWORD error = hold_run_name(base, lock.name);
    if (error == ERROR_SUCCESS)
        lock.file = take_run_file(base, self, error);
    if (error != ERROR_SUCCESS)
        release_run_lock(lock);
    return error;
}

void release_run_lock(RunLock &lock) {
    if (lock.file >= 0)
        ::close(lock.file);
    if (lock.name >= 0)
        ::close(lock.name);
    lock = RunLock{};
}

bool run_lock_held(const std::string &base, ProcessMark &holder) {
    const NameHolder by_name = run_name_holder(base, holder);
    if (by_name == NameHolder::named)
        return true;
    holder = ProcessMark{};
    DWORD error = ERROR_SUCCESS;
    const int fd = open_run_file(base, O_RDONLY, error);
    if (fd < 0)
        return by_name == NameHolder::unnamed;
    // A shared lock is had only while no process holds the lock.
    bool held = try_flock(fd, LOCK_SH) == EWOULDBLOCK;
    if (held || by_name == NameHolder::unnamed) {
        const ProcessMark named = named_mark(fd);
        if (process_alive(named))
            holder = named;
        else if (named.pid != 0)
            // The holder has ended: the last of its threads lets the lock
            // go a moment after the process reads as ended.
            held = false;
    }
    ::close(fd);
    return held || by_name == NameHolder::unnamed;
}

} // namespace platform::scm
