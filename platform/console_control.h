// Console control events and the handlers that take them. On Linux the
// events come from signals: SIGINT is Ctrl+C (0), SIGQUIT Ctrl+Break (1),
// SIGHUP the closed console (2) and SIGTERM the system shutdown (6). Each
// event runs on a thread of its own, as Windows runs it, and is offered to
// the handlers, the one added last first, until one returns TRUE. An event
// that every handler declines gets the default: for Ctrl+C and Ctrl+Break
// the run-time library raises the interrupt signal (see runtime_signal.h),
// for the others the process ends as the signal would have ended it.
#pragma once

#include "platform/win_types.h"

namespace platform {

constexpr DWORD CTRL_C_EVENT = 0;
constexpr DWORD CTRL_BREAK_EVENT = 1;
constexpr DWORD CTRL_CLOSE_EVENT = 2;
constexpr DWORD CTRL_LOGOFF_EVENT = 5;
constexpr DWORD CTRL_SHUTDOWN_EVENT = 6;

using PHANDLER_ROUTINE = BOOL (*)(DWORD event);

// Adds the handler to the chain (add TRUE) or removes its latest entry
// (add FALSE). The first addition starts taking the four signals as
// console events. FALSE with ERROR_INVALID_PARAMETER for a null handler
// and for the removal of one that is not in the chain.
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add);

} // namespace platform
