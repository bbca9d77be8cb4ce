// WaitForSingleObject: looks the handle up and waits on its object.
#include "platform/wait.h"

#include "platform/last_error.h"

namespace platform {

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    auto object = std::dynamic_pointer_cast<Waitable>(object_from_handle(handle));
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return object->wait_signalled(milliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

} // namespace platform
