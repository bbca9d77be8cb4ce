// The current process and its scheduling priority class.
#pragma once

#include "platform/win_types.h"

namespace platform {

constexpr DWORD NORMAL_PRIORITY_CLASS = 0x00000020;

// The pseudo handle that stands for the calling process; it needs no
// CloseHandle.
HANDLE GetCurrentProcess();

// The normal class sets the nice value of every thread of the process to
// 0, those started before the call included. FALSE with
// ERROR_INVALID_HANDLE for any handle but GetCurrentProcess(), with
// ERROR_INVALID_PARAMETER for the other classes, which the agent never
// asks for, and with ERROR_ACCESS_DENIED when the process may not lower
// its nice value.
BOOL SetPriorityClass(HANDLE process, DWORD priority_class);

} // namespace platform
