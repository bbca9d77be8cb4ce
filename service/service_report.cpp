// The steps the management commands share: the last-error report, the
// opening of the service and the wait for a service to stop.
#include <cstdio>

#include "platform/format_message.h"
#include "platform/last_error.h"
#include "platform/thread.h"
#include "runtime/message_box.h"
#include "service/service_commands.h"
#include "service/service_main.h"
#include "shared/debug_log.h"

void WriteErrorText(platform::DWORD code, int box) {
    char *text = nullptr;
    const platform::DWORD length = platform::FormatMessageA(
        platform::FORMAT_MESSAGE_FROM_SYSTEM | platform::FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
        platform::MAKELANGID(platform::LANG_NEUTRAL, platform::SUBLANG_DEFAULT), reinterpret_cast<char *>(&text),
        0, nullptr);
    // A code without a text of its own is reported by its number.
    char unknown[32];
    const char *shown = text;
    if (length == 0 || text == nullptr) {
        std::snprintf(unknown, sizeof unknown, "Error %lu", static_cast<unsigned long>(code));
        shown = unknown;
    }
    char line[512];
    std::snprintf(line, sizeof line, "%s\n", shown);
    printfc(line);
    if (box != 0)
        MessageBoxWin(shown, "Error", 0);
    platform::LocalFree(text);
}

void WriteLastError(int box) { WriteErrorText(platform::GetLastError(), box); }

platform::SC_HANDLE OpenAgentService(platform::SC_HANDLE manager, platform::DWORD access, int box) {
    const platform::SC_HANDLE service = platform::OpenServiceA(manager, kServiceName, access);
    if (service == nullptr) {
        WriteLastError(box);
        printfc("OpenService failed - ");
        platform::CloseServiceHandle(manager);
    }
    return service;
}

namespace {

// The report of a stop that left the service running, with the error
// that tells why.
void report_failed_stop(platform::DWORD code) {
    WriteErrorText(code, 0);
    char line[128];
    std::snprintf(line, sizeof line, "%s failed to stop.\n", kServiceDisplayName);
    printfc(line);
}

} // namespace

void StopAndWait(platform::SC_HANDLE service) {
    if (platform::ControlService(service, platform::SERVICE_CONTROL_STOP, &ssStatus)) {
        WaitServiceStop(service);
        return;
    }
    // A service that is not running refuses the stop, which needs no word.
    // A refusal that leaves it running is a failed stop and is reported.
    const platform::DWORD refusal = platform::GetLastError();
    if (platform::QueryServiceStatus(service, &ssStatus) && ssStatus.dwCurrentState == platform::SERVICE_STOPPED)
        return;
    report_failed_stop(refusal);
}

void WaitServiceStop(platform::SC_HANDLE service) {
    char line[128];
    std::snprintf(line, sizeof line, "Stopping %s\n", kServiceDisplayName);
    printfc(line);
    platform::Sleep(1000);
    platform::BOOL queried = platform::QueryServiceStatus(service, &ssStatus);
    while (queried && ssStatus.dwCurrentState == platform::SERVICE_STOP_PENDING) {
        printfc(".");
        platform::Sleep(1000);
        queried = platform::QueryServiceStatus(service, &ssStatus);
    }
    if (ssStatus.dwCurrentState != platform::SERVICE_STOPPED) {
        report_failed_stop(platform::GetLastError());
        return;
    }
    std::snprintf(line, sizeof line, "%s stopped.\n", kServiceDisplayName);
    printfc(line);
}
