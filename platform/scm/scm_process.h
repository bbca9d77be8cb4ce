// The processes of the service control manager: the recorded command line
// taken apart, a service process started detached from the manager's
// caller, the test whether a recorded process still runs, and its end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace platform::scm {

// The identity of a process: its identifier and its start time (in clock
// ticks since boot), so that an identifier taken over by a later process
// does not pass for the service's.
struct ProcessMark {
    int pid = 0;
    std::uint64_t start_time = 0;
};

// The mark of a running process; false when there is none of that
// identifier or it has ended and waits to be reaped.
bool process_mark_of(int pid, ProcessMark &mark);

// True while the marked process runs (same identifier, same start time,
// not ended).
bool process_alive(const ProcessMark &mark);

// True when both marks are of one process.
bool same_process(const ProcessMark &a, const ProcessMark &b);

// The program and its arguments of a recorded command line: a path in
// double quotes runs to the closing quote, an unquoted one to the first
// blank; the rest is split at blanks. False for an empty path or a quote
// that is not closed.
bool split_command_line(const std::string &command_line, std::vector<std::string> &argv);

// Runs the program detached: in a session of its own, in the root folder,
// standard streams on /dev/null, signals at their defaults, no descriptor
// of the caller's, with the environment given (each "NAME=value"). The
// caller never becomes its parent. Returns 0 with the new process's mark,
// or the Win32 code of the failure (the program's own for one that cannot
// be run, ERROR_SERVICE_REQUEST_TIMEOUT when it does not get as far as
// running within 10 seconds).
DWORD start_detached(const std::vector<std::string> &argv, const std::vector<std::string> &environment,
                     ProcessMark &started);

// Sends the signal to the marked process if it still runs, never to a
// later process that took over its identifier: 0, ESRCH when the marked
// process no longer runs, or the errno of the refusal.
int signal_marked(const ProcessMark &mark, int signal);

// Ends the marked process with SIGKILL if it still runs.
void end_process(const ProcessMark &mark);

// Asks the marked process to end with SIGTERM if it still runs: 0, or the
// Win32 code of the refusal (ERROR_ACCESS_DENIED for another user's).
DWORD ask_process_to_end(const ProcessMark &mark);

// True once the marked process has ended, within limit_ms.
bool wait_process_end(const ProcessMark &mark, int limit_ms);

} // namespace platform::scm
