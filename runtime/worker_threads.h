// Start and stop of the two worker threads and the stop routine that every
// way of ending the agent runs.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/win_types.h"

// Stop flags of the worker threads: 0 run, 1 end at the next test.
extern std::atomic<std::int32_t> ExitthreadhNetworkProcess;
extern std::atomic<std::int32_t> ExitthreadhTimerProcess;

void StartThreads();
void StopThreads();
// Callable from any thread, any number of times; concurrent calls run one
// after the other.
void StopService();
