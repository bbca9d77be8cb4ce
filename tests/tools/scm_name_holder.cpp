// scm_name_holder: a process of another user that holds names in a
// service's run-name space, as any local user can, for the tests of the
// service control manager.
//
// Usage: scm_name_holder BASE [self | PID START]...
//
// Run as root, it becomes user "nobody" (group "nogroup", no other
// groups) and then binds, and listens on, the service's name space itself
// for the base path (the one name an older agent held), and for each
// claim a name of the run name's own form that names that process: "self"
// for itself, or a process identifier with its start time. Once it holds
// them all it writes "holding" to standard output and waits until it is
// ended. Exit code 1 for a wrong command line, 2 when it cannot become
// nobody, 3 when a name cannot be bound.
#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/scm/run_name.h"
#include "platform/scm/scm_process.h"

namespace {

bool become_nobody() {
    const passwd *user = ::getpwnam("nobody");
    const group *nogroup = ::getgrnam("nogroup");
    if (user == nullptr)
        return false;
    const gid_t gid = nogroup != nullptr ? nogroup->gr_gid : user->pw_gid;
    const uid_t uid = user->pw_uid;
    return ::setgroups(0, nullptr) == 0 && ::setresgid(gid, gid, gid) == 0 && ::setresuid(uid, uid, uid) == 0 &&
           ::geteuid() == uid && uid != 0;
}

// Binds and listens on the abstract name, as the listener that a run name
// once was.
bool listen_on(const std::string &name) {
    sockaddr_un address{};
    if (name.size() + 1 > sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return s >= 0 && ::bind(s, reinterpret_cast<const sockaddr *>(&address), length) == 0 && ::listen(s, 8) == 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2)
        return 1;
    const std::string base = argv[1];
    std::vector<platform::scm::ProcessMark> claims;
    for (int i = 2; i < argc; ++i) {
        platform::scm::ProcessMark mark;
        if (std::strcmp(argv[i], "self") == 0) {
            if (!platform::scm::process_mark_of(static_cast<int>(::getpid()), mark))
                return 1;
        } else if (i + 1 < argc) {
            mark.pid = std::atoi(argv[i]);
            mark.start_time = std::strtoull(argv[++i], nullptr, 10);
        } else {
            return 1;
        }
        claims.push_back(mark);
    }
    if (!become_nobody())
        return 2;
    if (!listen_on(platform::scm::run_name_space(base)))
        return 3;
    for (const platform::scm::ProcessMark &mark : claims) {
        int fd = -1;
        if (platform::scm::hold_run_name(base, mark, fd) != 0)
            return 3;
    }
    std::printf("holding\n");
    std::fflush(stdout);
    for (;;)
        ::pause();
}
