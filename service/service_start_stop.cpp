// CmdStartService and CmdStopService.
#include <cstdio>

#include "platform/last_error.h"
#include "platform/scm/service_control.h"
#include "platform/thread.h"
#include "service/service_commands.h"
#include "shared/debug_log.h"

namespace {

constexpr platform::DWORD kListedHolders = 8;

// The manager passes over names in the service's run-name space that
// other users hold; the log names their holders, as one of them may be
// trying to keep the service from starting.
void report_name_holders(platform::SC_HANDLE service) {
    platform::SERVICE_NAME_HOLDER holders[kListedHolders];
    platform::DWORD found = 0;
    if (!platform::QueryServiceNameHolders(service, holders, kListedHolders, &found))
        return;
    char line[128];
    for (platform::DWORD i = 0; i < found && i < kListedHolders; ++i) {
        const unsigned long uid = holders[i].dwUserId;
        const unsigned long pid = holders[i].dwProcessId;
        if (pid != 0)
            std::snprintf(line, sizeof line, "Run name held by user %lu (process %lu), not by the service: passed over.\n",
                          uid, pid);
        else
            std::snprintf(line, sizeof line, "Run name held by user %lu, not by the service: passed over.\n", uid);
        printfc(line);
    }
    if (found > kListedHolders) {
        std::snprintf(line, sizeof line, "%lu run names held by other users in all.\n",
                      static_cast<unsigned long>(found));
        printfc(line);
    }
}

} // namespace

void CmdStopService() {
    const platform::SC_HANDLE manager = platform::OpenSCManagerA(nullptr, nullptr, platform::SC_MANAGER_ALL_ACCESS);
    // Taken before the next line is written, which may set it again.
    const platform::DWORD open_error = platform::GetLastError();
    printfc("\n\rCmdStopService-start");
    if (manager == nullptr) {
        WriteErrorText(open_error, 1);
        printfc("OpenSCManager failed - ");
    } else {
        printfc("\n\rCmdStopService SERVICE_CONTROL_STOP");
        const platform::SC_HANDLE service =
            OpenAgentService(manager, platform::SERVICE_STOP | platform::SERVICE_QUERY_STATUS, 0);
        if (service != nullptr) {
            StopAndWait(service);
            platform::CloseServiceHandle(service);
            platform::CloseServiceHandle(manager);
        }
    }
    platform::Sleep(1000);
    printfc("\n\rCmdStopService-end");
}

void CmdStartService() {
    const platform::SC_HANDLE manager = platform::OpenSCManagerA(nullptr, nullptr, platform::SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) {
        WriteLastError(1);
        printfc("OpenSCManager failed - ");
        platform::Sleep(1000);
        return;
    }
    printfc("\nStart service (CmdStartService)\n");
    const platform::SC_HANDLE service = OpenAgentService(manager, platform::SERVICE_START, 1);
    if (service == nullptr) {
        platform::Sleep(1000);
        return;
    }
    report_name_holders(service);
    if (!platform::StartServiceA(service, 0, nullptr)) {
        const platform::DWORD start_error = platform::GetLastError();
        CmdStopService();
        WriteErrorText(start_error, 1);
        char line[128];
        std::snprintf(line, sizeof line, "%s failed to start.\n", kServiceDisplayName);
        printfc(line);
    }
    platform::CloseServiceHandle(service);
    platform::CloseServiceHandle(manager);
    platform::Sleep(1000);
}
