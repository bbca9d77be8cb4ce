// The timer thread: its stop event, the device-table set-up and the
// 250 ms tick that runs the poll scheduler.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

// The timer thread's stop event; the exit path signals it and the
// scheduler tests it.
extern platform::HANDLE g_hShutdownEvent;

// The timer thread's current time in seconds since 1970: taken at the
// thread's start and at every SNMP slot the scheduler examines.
extern std::int64_t real_time;

// Thread entry started by StartThreads; ends the thread with ExitThread.
platform::DWORD TimerProcess(void *unused);

// Builds the 32 device slots from the configuration record and opens the
// agent's UDP port.
void FillShared();

// For the stop routine, on any thread: signals the stop event if the timer
// thread has created it and not yet closed it, so that a scheduler run
// that is still walking the slots ends within one slot step.
void SignalTimerShutdown();
