// StartUp and the argument list.
#include "platform/start_up.h"

#include <signal.h>

namespace platform {

namespace {
int g_argc = 0;
char **g_argv = nullptr;
} // namespace

void SetArguments(int argc, char **argv) {
    g_argc = argv == nullptr || argc < 0 ? 0 : argc;
    g_argv = argv;
}

int StartUp(int argc, char **argv, ProgramEntry entry) {
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
