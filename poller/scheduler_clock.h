// The clock and the pause of the poll scheduler and the timer thread, with
// a seam through which tests replace both, so that minutes of polling are
// walked through without waiting.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

// Whole seconds since 1 January 1970 (UTC), from the system clock.
std::int64_t poll_clock_now();

// Sleeps the milliseconds of one slot step.
void poll_pause(platform::DWORD milliseconds);

// Test seam: the clock and the pause to use instead; null restores the
// system clock and the real sleep.
using PollClock = std::int64_t (*)();
using PollPause = void (*)(platform::DWORD milliseconds);
void set_poll_clock(PollClock clock);
void set_poll_pause(PollPause pause);
