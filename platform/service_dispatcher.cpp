// The service dispatcher. No service control manager runs on this machine,
// so no process has been started by one: the dispatcher cannot connect and
// no control handler can be registered.
#include "platform/service_dispatcher.h"

#include "platform/last_error.h"

namespace platform {

BOOL StartServiceCtrlDispatcherA(const SERVICE_TABLE_ENTRYA *) {
    SetLastError(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    return FALSE;
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerA(LPCSTR, LPHANDLER_FUNCTION) {
    SetLastError(ERROR_SERVICE_NOT_IN_EXE);
    return nullptr;
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerExA(LPCSTR, LPHANDLER_FUNCTION_EX, LPVOID) {
    SetLastError(ERROR_SERVICE_NOT_IN_EXE);
    return nullptr;
}

} // namespace platform
