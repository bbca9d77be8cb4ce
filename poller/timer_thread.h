// The timer thread: its stop event, the device-table set-up and the
// 250 ms tick that runs the poll scheduler.
#pragma once

#include "platform/win_types.h"

// The timer thread's stop event; the exit path signals it and the
// scheduler tests it.
extern platform::HANDLE g_hShutdownEvent;

// Thread entry started by StartThreads; ends the thread with ExitThread.
platform::DWORD TimerProcess(void *unused);

// Builds the 32 device slots from the configuration record and opens the
// agent's UDP port.
void FillShared();
