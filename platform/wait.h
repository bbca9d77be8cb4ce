// WaitForSingleObject over the layer's waitable objects (threads and
// events): every waitable kernel object derives from Waitable.
#pragma once

#include "platform/handle.h"
#include "platform/win_types.h"

namespace platform {

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

struct Waitable : KernelObject {
    // Blocks until the object is signalled (true) or the time has run out
    // (false). INFINITE never runs out.
    virtual bool wait_signalled(DWORD milliseconds) = 0;
};

// WAIT_OBJECT_0 once the object is signalled, WAIT_TIMEOUT when the time
// ran out first, WAIT_FAILED (ERROR_INVALID_HANDLE) for a handle that is not
// an open waitable object.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

} // namespace platform
