// The service side of the service control manager: the dispatcher that a
// service process hands its main thread to, and the registration of a
// service's control handler. A process that no service control manager
// started cannot connect to one: the dispatcher then fails at once.
#pragma once

#include "platform/win_types.h"

namespace platform {

constexpr DWORD ERROR_FAILED_SERVICE_CONTROLLER_CONNECT = 1063;
constexpr DWORD ERROR_SERVICE_NOT_IN_EXE = 1083;

using LPSERVICE_MAIN_FUNCTIONA = void (*)(DWORD argc, LPSTR *argv);

struct SERVICE_TABLE_ENTRYA {
    LPSTR lpServiceName;
    LPSERVICE_MAIN_FUNCTIONA lpServiceProc;
};

struct ServiceStatusRecord;
using SERVICE_STATUS_HANDLE = ServiceStatusRecord *;
using LPHANDLER_FUNCTION = void (*)(DWORD control);
using LPHANDLER_FUNCTION_EX = DWORD (*)(DWORD control, DWORD event_type, LPVOID event_data, LPVOID context);

// Runs the services of the table (ended by a null entry) on behalf of the
// service control manager that started this process, and returns non-zero
// once they have stopped. 0 at once with
// ERROR_FAILED_SERVICE_CONTROLLER_CONNECT when the process was not started
// by a service control manager, which on this machine is always the case.
BOOL StartServiceCtrlDispatcherA(const SERVICE_TABLE_ENTRYA *table);

// Register a service's control handler with the running dispatcher. Without
// a dispatcher that runs the named service: null with
// ERROR_SERVICE_NOT_IN_EXE.
SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerA(LPCSTR service_name, LPHANDLER_FUNCTION handler);
SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerExA(LPCSTR service_name, LPHANDLER_FUNCTION_EX handler,
                                                    LPVOID context);

} // namespace platform
