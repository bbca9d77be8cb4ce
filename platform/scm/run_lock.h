// The marks a service's process holds for as long as it lives: its run
// name, which no change to the state directory can take from it, and the
// lock on "<name>.run" in the services folder. Its dispatcher takes both
// before the process reports anything, and the kernel lets them go when
// the process ends, however it ends; so the manager tells a running
// service from a stopped one by them, whatever has become of the
// service's files. The name gives the manager the process itself; the
// file also names its holder (identifier and start time).
#pragma once

#include <string>

#include "platform/scm/scm_process.h"
#include "platform/win_types.h"

namespace platform::scm {

// What a service's process holds; both descriptors stay open until it
// ends.
struct RunLock {
    int name = -1; // readable when managers wait on it: see answer_run_name
    int file = -1;
};

// Takes the run name and the lock of the base path for this process and
// writes its mark into the file. 0, or the Win32 code with nothing held
// (ERROR_SERVICE_ALREADY_RUNNING while another process holds either; a
// lock that the file cannot be made to name this process is let go).
DWORD hold_run_lock(const std::string &base, const ProcessMark &self, RunLock &lock);

// Lets both go, for a process that does not become the service after all.
void release_run_lock(RunLock &lock);

// True while a process holds the run name or the lock of the base path;
// holder is its mark: the name's holder, or else the process that the
// file names, empty (pid 0) when neither can be told. A holder that the
// file names and that has ended no longer counts: its lock goes with its
// last thread.
bool run_lock_held(const std::string &base, ProcessMark &holder);

} // namespace platform::scm
