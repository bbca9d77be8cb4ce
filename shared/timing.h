// Waiting helpers: waits that keep the calling thread's window messages
// flowing, and a plain sleep.
#pragma once

#include <cstdint>

// Waits the given whole seconds (between n - 1 and n, as the seconds clock
// steps; at once for 0 or less), passing on the calling thread's messages
// all the while. It tests without pause, so it keeps a processor busy.
void sleepp(int seconds);

// Passes on one waiting message of the calling thread, if there is one.
// Returns the result of its dispatch, or 0 when none was waiting.
int s_tick();

// Sleeps the given milliseconds.
void ussleep(std::uint32_t milliseconds);
