// scm_test_service: a small service for the tests of the service control
// manager, run by the manager like the agent's own service.
//
// Usage: scm_test_service NAME [DELAY_MS [pending|resume|starting|deaf]]
//
// Its service NAME reports itself running (accepting the stop control) and
// then waits; with "starting" it reports start pending (accepting no
// control) for DELAY_MS first. With "deaf" it ignores SIGTERM, so that a
// stop which reaches it only as that signal does not end it. DELAY_MS is
// the stop delay below in every other case. Its handler:
//   stop (1)      waits the stop delay (0 when not given), then reports
//                 stopped; the dispatcher then returns and the program
//                 ends with exit code 0. With "pending" it reports stop
//                 pending and returns at once, and the service reports
//                 itself stopped the stop delay later; with "resume" it
//                 does the same, but the later report is running again
//   200           ends the process at once with exit code 3, inside the
//                 handler and without a report
//   201           takes half a second and reports the status again
//   any other     reports the status again
// Every report carries in dwServiceSpecificExitCode what the handler has
// seen so far: 1 when it was entered while it was still running for an
// earlier control, 2 when it ran on another thread than the dispatcher's
// (the program's main thread).
// Without the manager (no OSKAVELDE_SCM_CONNECT) it ends with exit code 1.
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/event.h"
#include "platform/scm/service_dispatcher.h"
#include "platform/thread.h"
#include "platform/wait.h"

namespace {

platform::SERVICE_STATUS_HANDLE g_handle = nullptr;
platform::SERVICE_STATUS g_status{};
platform::DWORD g_stop_delay = 0;
// How long the service reports start pending before running.
platform::DWORD g_start_delay = 0;
// The state that the service reports the stop delay after a stop control
// that it answered with stop pending; 0 when the handler waits instead.
platform::DWORD g_after_pending = 0;
std::atomic<bool> g_in_handler{false};
std::atomic<platform::DWORD> g_seen{0};
platform::HANDLE g_stop_asked = nullptr;
platform::HANDLE g_never = nullptr;
char g_name[300] = {};
// The handler (on the dispatcher's thread) and the service's own thread
// both change and report the status; a stop left pending is finished by
// the service thread while the handler may still be reporting.
std::mutex g_status_lock;

void report() {
    std::lock_guard<std::mutex> lock(g_status_lock);
    g_status.dwServiceSpecificExitCode = g_seen;
    platform::SetServiceStatus(g_handle, &g_status);
}

void set_state(platform::DWORD state) {
    std::lock_guard<std::mutex> lock(g_status_lock);
    g_status.dwCurrentState = state;
}

platform::DWORD handler(platform::DWORD control, platform::DWORD, platform::LPVOID,
                        platform::LPVOID) {
    if (g_in_handler.exchange(true))
        g_seen |= 1;
    if (::syscall(SYS_gettid) != ::getpid())
        g_seen |= 2;
    switch (control) {
    case platform::SERVICE_CONTROL_STOP:
        if (g_after_pending != 0) {
            set_state(platform::SERVICE_STOP_PENDING);
            platform::SetEvent(g_stop_asked);
            break;
        }
        platform::Sleep(g_stop_delay);
        set_state(platform::SERVICE_STOPPED);
        break;
    case 200:
        ::_exit(3);
    case 201:
        platform::Sleep(500);
        break;
    default:
        break;
    }
    report();
    g_in_handler = false;
    return platform::NO_ERROR;
}

void service_main(platform::DWORD, platform::LPSTR *) {
    g_handle = platform::RegisterServiceCtrlHandlerExA(g_name, handler, nullptr);
    if (g_handle == nullptr)
        return;
    if (g_start_delay != 0) {
        {
            std::lock_guard<std::mutex> lock(g_status_lock);
            g_status = platform::SERVICE_STATUS{platform::SERVICE_WIN32_OWN_PROCESS,
                                                platform::SERVICE_START_PENDING,
                                                0,
                                                0,
                                                0,
                                                1,
                                                g_start_delay};
        }
        report();
        platform::Sleep(g_start_delay);
    }
    {
        std::lock_guard<std::mutex> lock(g_status_lock);
        g_status = platform::SERVICE_STATUS{platform::SERVICE_WIN32_OWN_PROCESS,
                                            platform::SERVICE_RUNNING,
                                            platform::SERVICE_ACCEPT_STOP,
                                            0,
                                            0,
                                            0,
                                            0};
    }
    report();
    // The service's work: nothing until the process ends, or the end of a
    // stop that it left pending.
    platform::WaitForSingleObject(g_stop_asked, platform::INFINITE);
    platform::Sleep(g_stop_delay);
    set_state(g_after_pending);
    report();
    platform::WaitForSingleObject(g_never, platform::INFINITE);
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2 || argc > 4)
        return 2;
    for (int i = 0; argv[1][i] != '\0' && i + 1 < static_cast<int>(sizeof g_name); ++i)
        g_name[i] = argv[1][i];
    const platform::DWORD delay =
        argc >= 3 ? static_cast<platform::DWORD>(std::strtoul(argv[2], nullptr, 10)) : 0;
    const char *mode = argc == 4 ? argv[3] : "";
    g_stop_delay = delay;
    if (std::strcmp(mode, "pending") == 0) {
        g_after_pending = platform::SERVICE_STOPPED;
    } else if (std::strcmp(mode, "resume") == 0) {
        g_after_pending = platform::SERVICE_RUNNING;
    } else if (std::strcmp(mode, "starting") == 0) {
        g_start_delay = delay;
        g_stop_delay = 0;
    } else if (std::strcmp(mode, "deaf") == 0) {
        ::signal(SIGTERM, SIG_IGN);
    } else if (argc == 4) {
        return 2;
    }
    g_stop_asked = platform::CreateEventA(nullptr, platform::TRUE, platform::FALSE, nullptr);
    g_never = platform::CreateEventA(nullptr, platform::TRUE, platform::FALSE, nullptr);
    const platform::SERVICE_TABLE_ENTRYA table[] = {{g_name, service_main}, {nullptr, nullptr}};
    return platform::StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
