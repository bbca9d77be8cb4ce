// Nice values of single threads, for the tests of the process priority:
// the value of a thread by its id, and whether this process may lower a
// value at all (root or CAP_SYS_NICE), without which the normal class
// cannot be reached from a raised value.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <cerrno>
#include <thread>

namespace osktest {

// The thread's nice value, or -100 when it cannot be read (the thread
// has ended).
inline int nice_of(pid_t tid) {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    return errno == 0 ? nice : -100;
}

// Tried on a thread of its own, so that no other thread is touched.
inline bool may_lower_nice() {
    bool lowered = false;
    std::thread([&] {
        lowered = ::setpriority(PRIO_PROCESS, 0, 1) == 0 && ::setpriority(PRIO_PROCESS, 0, 0) == 0;
    }).join();
    return lowered;
}

} // namespace osktest
