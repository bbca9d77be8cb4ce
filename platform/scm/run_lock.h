// The lock a service's process holds on "<name>.run" in the services
// folder for as long as it lives. Its dispatcher takes it before the
// process reports anything, and the kernel lets it go when the process
// ends, however it ends; so the manager tells a running service from a
// stopped one by the lock, whatever has become of the service's other
// files. The file also names its holder (identifier and start time), so
// that the manager can reach the process when its control channel is
// gone.
#pragma once

#include <string>

#include "platform/scm/scm_records.h"
#include "platform/win_types.h"

namespace platform::scm {

// Takes the lock of the base path for this process and writes its mark
// into the file. Returns the lock's descriptor, which the caller keeps
// open until it ends, or -1 with the Win32 code in error
// (ERROR_SERVICE_ALREADY_RUNNING while another process holds it; a lock
// that the file cannot be made to name this process is let go).
int hold_run_lock(const std::string &base, const ProcessMark &self, DWORD &error);

// True while a process holds the lock of the base path; holder is its
// mark as the file names it, empty (pid 0) when the file's text is
// damaged. A holder that the file names and that has ended no longer
// counts: its lock goes with its last thread.
bool run_lock_held(const std::string &base, ProcessMark &holder);

} // namespace platform::scm
