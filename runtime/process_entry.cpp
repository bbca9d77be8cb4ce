// WinMain: looks up the terminal-services entry points, takes the options
// and runs the main cycle in the foreground, runs a service-management
// option or -quit, or hands the process to the service control
// dispatcher. Arguments that match no option exactly are passed over.
#include "runtime/process_entry.h"

#include <cstdio>
#include <cstring>

#include "platform/crt/start_up.h"
#include "platform/last_error.h"
#include "platform/scm/service_dispatcher.h"
#include "platform/thread.h"
#include "runtime/main_cycle.h"
#include "runtime/message_box.h"
#include "runtime/terminal_services.h"
#include "runtime/worker_threads.h"
#include "service/service_commands.h"
#include "service/service_main.h"
#include "shared/debug_log.h"

std::int32_t start_app = 0;
char ProcessPriority[128] = {};

namespace {

const platform::SERVICE_TABLE_ENTRYA ServiceDispatchTable[] = {
    {const_cast<char *>(kServiceName), ServiceMain},
    {nullptr, nullptr},
};

// -install and -install1: the group from the next argument, then a second
// removal and installation when the first installation did not finish.
void install_option(int n, int demand) {
    const char *group = n + 1 < platform::ArgumentCount() ? platform::Argument(n + 1) : "";
    std::snprintf(ProcessPriority, sizeof ProcessPriority, "%s", group);
    if (CmdInstallService(demand) != 0) {
        CmdRemoveService();
        CmdInstallService(demand);
    }
}

void debug_option(std::uint8_t levels, std::uint8_t to_file) {
    if (levels != 0) {
        k_monitor1 = levels;
        k_monitor = levels;
    }
    bDebug = 1;
    bDebugLog = to_file;
    start_app = 1;
}

// Performs an option after which the process ends; false for any other
// argument.
bool end_option(int n, const char *option) {
    if (std::strcmp(option, "-install") == 0) {
        install_option(n, 0);
    } else if (std::strcmp(option, "-install1") == 0) {
        install_option(n, 1);
    } else if (std::strcmp(option, "-remove") == 0) {
        CmdRemoveService();
    } else if (std::strcmp(option, "-quit") == 0) {
        platform::Sleep(1000);
        StopService();
    } else if (std::strcmp(option, "-stop") == 0) {
        CmdStopService();
        platform::Sleep(1000);
    } else if (std::strcmp(option, "-start") == 0) {
        CmdStartService();
    } else if (std::strcmp(option, "-restart") == 0) {
        CmdStopService();
        platform::Sleep(2000);
        CmdStartService();
    } else {
        return false;
    }
    return true;
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
        } else if (end_option(n, option)) {
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
