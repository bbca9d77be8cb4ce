// Event objects: CreateEventA, SetEvent, ResetEvent; waited on with
// WaitForSingleObject.
#pragma once

#include "platform/security.h"
#include "platform/win_types.h"

namespace platform {

// Events are process-local here; the name and the security attributes are
// accepted and do not change the event.
HANDLE CreateEventA(SECURITY_ATTRIBUTES *attributes, BOOL manual_reset, BOOL initial_state,
                    LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

} // namespace platform
