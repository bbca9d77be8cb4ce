// The service side of the service control manager: the dispatcher that a
// service process hands its main thread to, the registration of the
// service's control handler, and the status reports.
//
// A process that the manager started (StartServiceA) finds the entry
// OSKAVELDE_SCM_CONNECT in its environment: its dispatcher connects back
// there, learns which service of its table to run, opens the service's
// control socket and runs the service's main function on a thread of its
// own. The dispatcher's thread then hands each control to the registered
// handler, one at a time. A process that no manager started has no such
// entry, and its dispatcher fails at once.
#pragma once

#include "platform/scm/service_control.h"
#include "platform/win_types.h"

namespace platform {

using LPSERVICE_MAIN_FUNCTIONA = void (*)(DWORD argc, LPSTR *argv);

struct SERVICE_TABLE_ENTRYA {
    LPSTR lpServiceName;
    LPSERVICE_MAIN_FUNCTIONA lpServiceProc;
};

struct ServiceStatusRecord;
using SERVICE_STATUS_HANDLE = ServiceStatusRecord *;
using LPHANDLER_FUNCTION = void (*)(DWORD control);
using LPHANDLER_FUNCTION_EX = DWORD (*)(DWORD control, DWORD event_type, LPVOID event_data, LPVOID context);

// Runs the service of the table (ended by a null entry) that the manager
// started this process for, and returns non-zero once it has reported
// itself stopped, or once its main function has returned. When the stop
// was asked for from within this process (a service that stops itself
// through the manager), it also waits until the main function's thread
// has returned or ended the process. 0 with:
// ERROR_FAILED_SERVICE_CONTROLLER_CONNECT when the manager did not start
// this process or cannot be reached; ERROR_SERVICE_NOT_IN_EXE when the
// table lacks the service; ERROR_SERVICE_ALREADY_RUNNING when a dispatcher
// already runs in this process.
BOOL StartServiceCtrlDispatcherA(const SERVICE_TABLE_ENTRYA *table);

// Registers the running service's control handler; its handle is what the
// status reports pass. Null with ERROR_SERVICE_NOT_IN_EXE when no
// dispatcher of this process runs the named service.
SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerA(LPCSTR service_name, LPHANDLER_FUNCTION handler);
SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerExA(LPCSTR service_name, LPHANDLER_FUNCTION_EX handler,
                                                    LPVOID context);

// Records the status for the manager's queries. ERROR_INVALID_HANDLE for a
// handle that is not the running service's, ERROR_INVALID_DATA for a
// state outside 1 to 7. A report of SERVICE_STOPPED lets the dispatcher
// return.
BOOL SetServiceStatus(SERVICE_STATUS_HANDLE handle, const SERVICE_STATUS *status);

} // namespace platform
