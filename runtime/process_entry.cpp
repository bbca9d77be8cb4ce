// WinMain: looks up the terminal-services entry points, takes the options
// and runs the main cycle in the foreground, runs -quit, or hands the
// process to the service control dispatcher. Arguments that match no
// option exactly are passed over.
#include "runtime/process_entry.h"

#include <cstdio>
#include <cstring>

#include "platform/last_error.h"
#include "platform/service_dispatcher.h"
#include "platform/start_up.h"
#include "platform/thread.h"
#include "runtime/main_cycle.h"
#include "runtime/message_box.h"
#include "runtime/terminal_services.h"
#include "runtime/worker_threads.h"
#include "shared/debug_log.h"

std::int32_t start_app = 0;

namespace {

char kServiceName[] = "Oskavelde";

// The service entry is not part of this build yet; the dispatcher, which
// no service control manager has started, never calls it.
const platform::SERVICE_TABLE_ENTRYA ServiceDispatchTable[] = {
    {kServiceName, nullptr},
    {nullptr, nullptr},
};

void debug_option(std::uint8_t levels, std::uint8_t to_file) {
    if (levels != 0) {
        k_monitor1 = levels;
        k_monitor = levels;
    }
    bDebug = 1;
    bDebugLog = to_file;
    start_app = 1;
}

} // namespace

int WinMain() {
    LoadTerminalServices();
    for (int n = 1; n < platform::ArgumentCount(); ++n) {
        const char *option = platform::Argument(n);
        if (std::strcmp(option, "-debug") == 0) {
            debug_option(0, 0);
        } else if (std::strcmp(option, "-debugmax") == 0) {
            debug_option(10, 0);
        } else if (std::strcmp(option, "-log") == 0) {
            debug_option(0, 1);
        } else if (std::strcmp(option, "-logmax") == 0) {
            debug_option(10, 1);
        } else if (std::strcmp(option, "-quit") == 0) {
            platform::Sleep(1000);
            StopService();
            FreeLibraryWts();
            return 0;
        }
    }
    if (start_app != 0) {
        StartServiceA();
        return 0;
    }
    if (platform::StartServiceCtrlDispatcherA(ServiceDispatchTable))
        return 0;
    char text[80];
    std::snprintf(text, sizeof text, "Error Calling StartServiceCtrlDispatcher function %ld",
                  static_cast<long>(platform::GetLastError()));
    MessageBoxWin(text, "Error", 48);
    return 0;
}
