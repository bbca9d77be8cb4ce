// The console control handler and the run-time signal handler that the
// main cycle installs; both end the agent through the stop routine.
#pragma once

#include "platform/win_types.h"

// Console events 0 (Ctrl+C), 1 (Ctrl+Break), 2 (console closed) and 6
// (shutdown): runs the stop routine, waits one second and posts the quit
// message to the main cycle; TRUE. Any other event: logged, FALSE, so that
// it passes on to the handlers added before.
platform::BOOL ControlHandler(platform::DWORD event);

// Acts on the first signal only: logs it, runs the stop routine and ends
// the process with exit code 1. Returns only when it ignores the signal.
void Catcher(int signal_number);
