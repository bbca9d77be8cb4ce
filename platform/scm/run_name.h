// The name a service's process holds for as long as it lives: a listening
// socket in the abstract namespace of Unix sockets,
// "oskavelde-scm/<hash of the services folder>/<service>". No file stands
// for it, so nothing deleted or overwritten in the state directory takes
// it from the process, and the kernel lets it go when the process ends.
// A manager finds the process by connecting to the name: the kernel tells
// the connecting side who listens (SO_PEERCRED), without the service's
// own code taking part.
#pragma once

#include <string>

#include "platform/scm/scm_process.h"
#include "platform/win_types.h"

namespace platform::scm {

// Takes the name of the base path for this process. 0 with the listening
// descriptor, which the caller keeps open until it ends and hands to
// answer_run_name whenever it is readable; ERROR_SERVICE_ALREADY_RUNNING
// while another process holds the name.
DWORD hold_run_name(const std::string &base, int &fd);

// Takes and drops the connections that managers left waiting on the name,
// so that its queue never fills.
void answer_run_name(int fd);

enum class NameHolder {
    none,    // no process of root or of this user holds the name
    named,   // a process holds it; holder is its mark
    unnamed, // a process holds it, but could not be told (its queue full)
};

// Who holds the name of the base path.
NameHolder run_name_holder(const std::string &base, ProcessMark &holder);

} // namespace platform::scm
