// The process entry: the command line decides between a foreground run
// with debug output, -quit, and the hand-over to the service control
// dispatcher.
#pragma once

#include <cstdint>

// 1 after a debug option: the main cycle runs in the foreground.
extern std::int32_t start_app;

// Reads the options of the run-time library's argument list from left to
// right; its result, always 0, is the process exit code.
int WinMain();
