// The run-time library's signal handling: signal and raise with the Linux
// signal numbers (interrupt 2, illegal instruction 4, floating-point error
// 8, segment violation 11, termination 15, abort 6).
//
// Interrupt and termination are never run inside an asynchronous signal
// handler. The interrupt is what the run-time raises for a Ctrl+C or
// Ctrl+Break console event that every console handler declined (see
// console_control.h); its handler then runs on that event's own thread.
// Both may also be raised with raise, which runs the handler on the
// calling thread. Their handlers hold for the whole process.
//
// The fault signals (4, 8, 11 and abort) run their handler where they
// arise, and their handlers hold only for the thread that registered them,
// as the Windows run-time keeps them: a fault on another thread takes the
// default action and ends the process. After a handler returns from a
// fault, the signal takes the default action on that thread, so a fault
// that repeats ends the process rather than looping.
#pragma once

#include <csignal>

namespace platform {

using SignalHandler = void (*)(int signal_number);

// Registers the handler (or SIG_DFL, SIG_IGN) and returns the one before,
// or SIG_ERR for a signal number the run-time does not handle. Registering
// for the interrupt starts taking console events, so that a Ctrl+C reaches
// the interrupt handler.
SignalHandler signal(int signal_number, SignalHandler handler);

// Raises the signal on the calling thread: 0 done, -1 for a signal number
// the run-time does not handle. With SIG_DFL the process ends as the
// signal's default action ends it.
int raise(int signal_number);

} // namespace platform
