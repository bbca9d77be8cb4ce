// Whether a service runs, and which process runs it: the one place where
// the manager weighs what it knows of a service. Two marks speak: the
// run names of the service's own users, which its process holds for as
// long as it lives whatever becomes of its files (names of other users
// count for nothing), and the status record its process last wrote,
// which names that process by its identifier and start time.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/scm/run_name.h"
#include "platform/scm/scm_process.h"
#include "platform/scm/scm_records.h"
#include "platform/win_types.h"

namespace platform::scm {

struct ServiceView {
    // The status as the manager reports it: a service that never ran, or
    // whose process has ended, is SERVICE_STOPPED, with
    // ERROR_PROCESS_ABORTED as its exit code when the process ended
    // without reporting itself stopped. current.process is the running
    // process (pid 0 when none runs or none can be named).
    StatusRecord current;
    // A process of the service runs and has not reported itself stopped:
    // it holds a run name, or the sound status record names it while it
    // lives (before its dispatcher has taken its name).
    bool running = false;
    // It holds a run name, but the status record is missing, damaged or
    // names another process: current holds no report of its own.
    bool damaged = false;
    // A process that has reported itself stopped and still holds its run
    // name on its way out.
    ProcessMark ending;
    // Names in the service's name space that other users hold, passed
    // over: the first kKeptStrangers, and how many in all.
    std::vector<StrangerName> strangers;
    std::size_t stranger_count = 0;
};

// The view of the service at the base path. type is the recorded service
// type, used where no report gives it.
ServiceView view_service(const std::string &base, DWORD type);

} // namespace platform::scm
