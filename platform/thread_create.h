// Thread objects: CreateThread, ExitThread, TerminateThread and
// GetExitCodeThread. A thread handle becomes signalled when the thread has
// ended, so WaitForSingleObject on it waits for the end.
#pragma once

#include "platform/security.h"
#include "platform/win_types.h"

namespace platform {

using LPTHREAD_START_ROUTINE = DWORD (*)(void *parameter);
constexpr DWORD STILL_ACTIVE = 259;

// Starts the routine at once on a thread of its own. Security attributes
// and stack size are accepted and ignored. The thread's identifier is
// stored through thread_id when that is not null. Null on failure.
HANDLE CreateThread(SECURITY_ATTRIBUTES *attributes, std::size_t stack_size,
                    LPTHREAD_START_ROUTINE start, void *parameter, DWORD creation_flags,
                    DWORD *thread_id);

// Ends the calling thread (which must have been started by CreateThread)
// with the exit code; objects on its stack are destroyed as it unwinds.
[[noreturn]] void ExitThread(DWORD exit_code);

// Ends the thread wherever it is, with the exit code. Only for the old
// systems' stop path; a thread ended this way leaves whatever it held.
BOOL TerminateThread(HANDLE thread, DWORD exit_code);

// STILL_ACTIVE while the thread runs, then its exit code.
BOOL GetExitCodeThread(HANDLE thread, DWORD *exit_code);

} // namespace platform
