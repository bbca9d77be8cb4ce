// The clocks and the pause of the poll scheduler and the timer thread, with
// a seam through which tests replace them, so that minutes of polling are
// walked through without waiting and the system clock can be stepped.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

// Whole seconds since 1 January 1970 (UTC), from the system clock: the
// times that the records keep and that clients receive.
std::int64_t poll_clock_now();

// Whole seconds of a clock that never goes back (time since boot): the
// scheduler decides with it when a slot is due and when a response is
// missed, so that a step of the system clock (by NTP or by hand) changes
// neither the rhythm of the polls nor the detection of a lost UPS.
std::int64_t poll_ticks_now();

// Sleeps the milliseconds of one slot step.
void poll_pause(platform::DWORD milliseconds);

// Test seam: the clocks and the pause to use instead; null restores the
// system clock, the tick count and the real sleep.
using PollClock = std::int64_t (*)();
using PollPause = void (*)(platform::DWORD milliseconds);
void set_poll_clock(PollClock clock);
void set_poll_ticks(PollClock ticks);
void set_poll_pause(PollPause pause);
