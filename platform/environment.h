// Environment variables looked up as on Windows, where names match without
// regard to case: "allusersprofile" finds ALLUSERSPROFILE.
#pragma once

#include "platform/win_types.h"

namespace platform {

// Copies the variable's value with its NUL into the buffer and returns the
// value's length when it fits in size bytes. When it does not fit, returns
// the size it needs, NUL included, and leaves the buffer as it was. A
// missing variable returns 0 with ERROR_ENVVAR_NOT_FOUND and leaves the
// buffer as it was. When names differ only in case, the one spelt exactly
// as asked wins, else the first in the environment.
DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size);

} // namespace platform
