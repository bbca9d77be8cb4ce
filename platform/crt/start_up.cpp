// StartUp and the argument list.
#include "platform/crt/start_up.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {
int g_argc = 0;
char **g_argv = nullptr;

// A process started with standard input, output or error closed would
// hand those numbers to the first descriptors it opens: the signal
// thread's pipe, a socket or the debug log would then take the console's
// writes. Each closed one is opened on /dev/null, lowest first, so that
// the open lands on the number that is missing.
void fill_closed_standard_descriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = ::open("/dev/null", O_RDWR);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}
} // namespace

void SetArguments(int argc, char **argv) {
    g_argc = argv == nullptr || argc < 0 ? 0 : argc;
    g_argv = argv;
}

int StartUp(int argc, char **argv, ProgramEntry entry) {
    fill_closed_standard_descriptors();
    SetArguments(argc, argv);
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGPIPE, &action, nullptr);
    return entry();
}

int ArgumentCount() { return g_argc; }

const char *Argument(int n) { return n >= 0 && n < g_argc ? g_argv[n] : nullptr; }

} // namespace platform
