// Process priority over the nice value. On Linux the nice value belongs to
// each thread, so the normal class is given to every thread of the
// process; threads started afterwards take it from the thread that starts
// them.
#include "platform/process.h"

#include <dirent.h>
#include <sys/resource.h>

#include <cerrno>
#include <cstdlib>

#include "platform/last_error.h"

namespace platform {

namespace {

// A thread that starts a thread while its own value is still the old one
// passes that value on; such a thread is in the list by the next reading,
// so the list is read again until a reading finds nothing to change. The
// bound keeps a process that keeps starting threads from holding the
// caller for ever.
constexpr int kMaxReadings = 16;

// Gives every listed thread the nice value; true when some thread needed
// it. error is the errno value of a thread that could not be given it,
// else 0.
bool set_listed_threads(DIR *tasks, int nice, int &error) {
    bool changed = false;
    error = 0;
    while (const dirent *entry = ::readdir(tasks)) {
        char *end = nullptr;
        const long tid = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || tid <= 0)
            continue; // "." and ".."
        const id_t id = static_cast<id_t>(tid);
        errno = 0;
        const int now = ::getpriority(PRIO_PROCESS, id);
        if (errno != 0 || now == nice)
            continue; // ended since the listing, or already there
        if (::setpriority(PRIO_PROCESS, id, nice) == 0)
            changed = true;
        else if (errno != ESRCH)
            error = errno;
    }
    return changed;
}

// 0 done, else an errno value.
int set_process_nice(int nice) {
    for (int reading = 0; reading < kMaxReadings; ++reading) {
        DIR *tasks = ::opendir("/proc/self/task");
        if (tasks == nullptr) // without /proc, at least the calling thread
            return ::setpriority(PRIO_PROCESS, 0, nice) == 0 ? 0 : errno;
        int error = 0;
        const bool changed = set_listed_threads(tasks, nice, error);
        ::closedir(tasks);
        if (error != 0 || !changed)
            return error;
    }
    return 0;
}

} // namespace

HANDLE GetCurrentProcess() { return INVALID_HANDLE_VALUE; }

BOOL SetPriorityClass(HANDLE process, DWORD priority_class) {
    if (process != GetCurrentProcess()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (priority_class != NORMAL_PRIORITY_CLASS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const int error = set_process_nice(0);
    if (error != 0) {
        SetLastError(error_from_errno(error));
        return FALSE;
    }
    return TRUE;
}

} // namespace platform
