// Thread identity and sleeping.
#pragma once

#include "platform/win_types.h"

namespace platform {

// The calling thread's identifier: never 0, and never given to another
// thread of the process, not even after this one has ended.
DWORD GetCurrentThreadId();

// For the layer's thread creation: an identifier taken ahead for a thread
// that has not started yet, and its adoption by that thread.
DWORD reserve_thread_id();
void adopt_thread_id(DWORD id);

// For the layer: true when id has been handed out to some thread.
bool is_thread_id(DWORD id);

// Suspends the calling thread for at least the given milliseconds.
void Sleep(DWORD milliseconds);

} // namespace platform
