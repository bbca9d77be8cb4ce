// Process priority over the nice value.
#include "platform/process.h"

#include <sys/resource.h>

#include <cerrno>

#include "platform/last_error.h"

namespace platform {

HANDLE GetCurrentProcess() { return INVALID_HANDLE_VALUE; }

BOOL SetPriorityClass(HANDLE process, DWORD priority_class) {
    if (process != GetCurrentProcess()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (priority_class != NORMAL_PRIORITY_CLASS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (::setpriority(PRIO_PROCESS, 0, 0) != 0) {
        SetLastError(error_from_errno(errno));
        return FALSE;
    }
    return TRUE;
}

} // namespace platform
