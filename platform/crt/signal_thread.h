// For the layer: the thread that takes the four console signals. Their
// handlers only note the signal; the thread turns each into a console
// event and runs it on a thread of its own, so that no handler code runs
// inside an asynchronous signal handler.
#pragma once

#include "platform/win_types.h"

namespace platform {

// Installs the signal handlers and starts the thread, once per process.
void start_signal_thread();

// Offers the event to the console handlers, newest first, and applies the
// default when all decline; native_signal is the signal it came from.
// Runs on the event's own thread (defined with the handler chain).
void console_event(DWORD event, int native_signal);

// Ends the process as the signal's default action does.
[[noreturn]] void end_by_signal(int native_signal);

} // namespace platform
