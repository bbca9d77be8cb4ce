// ServiceMain, Handler and HandlerEx.
#include "service/service_main.h"

#include "platform/scm/service_control.h"
#include "runtime/main_cycle.h"
#include "runtime/terminal_services.h"
#include "runtime/worker_threads.h"
#include "service/service_commands.h"
#include "shared/debug_log.h"
#include "shared/version_code.h"

platform::SERVICE_STATUS_HANDLE hServiceStatus = nullptr;
platform::SERVICE_STATUS ssStatus{};
platform::HMODULE hlibAdvapi = nullptr;
RegisterServiceCtrlHandlerFn lpfnRegisterServiceCtrlHandler = nullptr;
RegisterServiceCtrlHandlerExFn lpfnRegisterServiceCtrlHandlerEx = nullptr;

namespace {

constexpr platform::DWORD kOwnInteractiveProcess =
    platform::SERVICE_WIN32_OWN_PROCESS | platform::SERVICE_INTERACTIVE_PROCESS;
constexpr platform::DWORD kStopPendingWaitHint = 5000;

// The version code of NT 4, the only one with the older handler form.
constexpr int kWindowsNt4 = 2;

// A registration function that cannot be found by name counts as a
// registration that failed: without a handler nothing could stop the
// service.
platform::SERVICE_STATUS_HANDLE register_handler(int version) {
    if (hlibAdvapi == nullptr)
        return nullptr;
    if (version == kWindowsNt4) {
        lpfnRegisterServiceCtrlHandler = reinterpret_cast<RegisterServiceCtrlHandlerFn>(
            platform::GetProcAddress(hlibAdvapi, "RegisterServiceCtrlHandlerA"));
        return lpfnRegisterServiceCtrlHandler != nullptr ? lpfnRegisterServiceCtrlHandler(kServiceName, Handler)
                                                         : nullptr;
    }
    lpfnRegisterServiceCtrlHandlerEx = reinterpret_cast<RegisterServiceCtrlHandlerExFn>(
        platform::GetProcAddress(hlibAdvapi, "RegisterServiceCtrlHandlerExA"));
    return lpfnRegisterServiceCtrlHandlerEx != nullptr
               ? lpfnRegisterServiceCtrlHandlerEx(kServiceName, HandlerEx, nullptr)
               : nullptr;
}

void stop_sequence() {
    printfc("\n\rHandler - SERVICE_CONTROL_STOP");
    printfc("\n\rGet STOP signal..");
    ssStatus.dwWin32ExitCode = 0;
    ssStatus.dwCurrentState = platform::SERVICE_STOP_PENDING;
    ssStatus.dwCheckPoint = 0;
    ssStatus.dwWaitHint = kStopPendingWaitHint;
    printfc("\n\rHandler - StopService()");
    StopService();
    platform::SetServiceStatus(hServiceStatus, &ssStatus);
    ssStatus.dwCurrentState = platform::SERVICE_STOPPED;
    ssStatus.dwWaitHint = 0;
    platform::SetServiceStatus(hServiceStatus, &ssStatus);
}

} // namespace

void ServiceMain(platform::DWORD, platform::LPSTR *) {
    const int version = GetVersionWin();
    if (hlibAdvapi == nullptr)
        hlibAdvapi = platform::GetModuleHandleA("ADVAPI32.DLL");
    // KERNEL32 and the terminal services, as the process entry takes them.
    LoadTerminalServices();
    hServiceStatus = register_handler(version);
    if (hServiceStatus == nullptr) {
        FreeLibraryWts();
        return;
    }
    ssStatus.dwServiceType = kOwnInteractiveProcess;
    ssStatus.dwCurrentState = platform::SERVICE_RUNNING;
    ssStatus.dwControlsAccepted = version > 3
                                      ? platform::SERVICE_ACCEPT_STOP | platform::SERVICE_ACCEPT_SESSIONCHANGE
                                      : platform::SERVICE_ACCEPT_STOP;
    ssStatus.dwWin32ExitCode = 0;
    ssStatus.dwServiceSpecificExitCode = 0;
    ssStatus.dwCheckPoint = 0;
    ssStatus.dwWaitHint = 0;
    platform::SetServiceStatus(hServiceStatus, &ssStatus);
    StartServiceA();
}

void Handler(platform::DWORD control) {
    switch (control) {
    case platform::SERVICE_CONTROL_STOP:
        stop_sequence();
        return;
    case platform::SERVICE_CONTROL_INTERROGATE:
        printfc("\n\rHandler - SERVICE_CONTROL_INTERROGATE");
        break;
    default:
        printfc("\n\rHandler - other control");
        break;
    }
    platform::SetServiceStatus(hServiceStatus, &ssStatus);
}

platform::DWORD HandlerEx(platform::DWORD control, platform::DWORD, platform::LPVOID, platform::LPVOID) {
    Handler(control);
    return platform::NO_ERROR;
}
