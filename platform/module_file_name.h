// GetModuleFileNameA: the full path of the running program.
#pragma once

#include "platform/module.h"
#include "platform/win_types.h"

namespace platform {

// For a null module, the path of the running executable into the size
// bytes of buffer, NUL-terminated; returns its length. A path that does not
// fit is cut to size - 1 characters and the result is size, with
// ERROR_INSUFFICIENT_BUFFER. 0 when the path cannot be had, and with
// ERROR_INVALID_PARAMETER for any other module.
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);

} // namespace platform
