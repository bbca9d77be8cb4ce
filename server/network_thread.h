// The network thread: every 250 ms it takes the waiting client datagrams
// from the agent's UDP port and answers them.
#pragma once

#include "platform/win_types.h"

// Thread entry started by StartThreads; ends the thread with ExitThread.
platform::DWORD NetworkTimerProcess(void *unused);
