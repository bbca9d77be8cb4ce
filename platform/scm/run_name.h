// The run name: the mark a service's process holds for as long as it
// lives, a socket bound in the abstract namespace of Unix sockets as
// "oskavelde-scm/<hash of the services folder>/<service>/<pid>-<start
// time>-<random>". No file stands for it, so nothing deleted or
// overwritten in the state directory takes it from the process, and the
// kernel lets it go when the process ends, however it ends.
//
// The manager finds every socket bound in the service's name space
// ("oskavelde-scm/<hash>/<service>" and the names below it) through the
// kernel's socket diagnostics, which also tell the user each socket
// belongs to. A name in the abstract namespace has no permissions: any
// local user can bind one of the same shape, one that names the service's
// process included. So only a name that belongs to root, to the user the
// manager runs as or to the owner of the services folder (the users that
// may start the service and write its records anyway) stands for the
// service; a name of any other user is told apart and passed over. The
// random part keeps another user from binding the name that a service
// process is about to take; the process and its start time in it tell the
// manager which process holds the name without asking the holder.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/scm/scm_process.h"
#include "platform/win_types.h"

namespace platform::scm {

// Names of other users kept for a report; the rest are only counted.
constexpr std::size_t kKeptStrangers = 8;

// A name in the service's name space held by another user.
struct StrangerName {
    unsigned uid = 0;
    unsigned long inode = 0; // of its socket, to find the holder by
};

struct RunNames {
    // The processes of the service's own users that hold a run name: their
    // marks, pid 0 for one whose name does not tell its process (the single
    // name an older agent held, say). A name whose process reads as ended
    // is on its way out and is left out.
    std::vector<ProcessMark> ours;
    // Names held by other users: the first kKeptStrangers, and how many in
    // all.
    std::vector<StrangerName> strangers;
    std::size_t stranger_count = 0;
};

// The service's name space for the base path: every run name of the
// service begins with it (and an older agent held it as its one name).
std::string run_name_space(const std::string &base);

// Binds a run name of the base path that names the process marked self.
// 0 with the descriptor, which the caller keeps open until it ends, or
// the Win32 code of the failure.
DWORD hold_run_name(const std::string &base, const ProcessMark &self, int &fd);

// Who holds names in the base path's name space. When the kernel's socket
// diagnostics cannot be had, no name is known.
RunNames run_names(const std::string &base);

} // namespace platform::scm
