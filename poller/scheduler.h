// The poll scheduler: each run walks the device slots round robin, one
// slot per 250 ms, from the slot after the one polled last, counts missed
// responses, and polls the first SNMP slot whose last request lies a
// second or more back. A run polls at most one device.
#pragma once

#include <cstdint>

// The slot polled last; 0 at start, so the first run examines slot 1
// first and slot 0 last.
extern std::uint16_t tcpip_dev_index;
// 1 while a run is in progress.
extern std::uint8_t poll_busy;

// One run, on the timer thread. 1 when it polled a slot (or another run
// was in progress), 0 when it ended on the stop event g_hShutdownEvent,
// which it tests before the first step and after every examined slot that
// it does not poll. Slots without a record are passed over.
std::uint8_t TimerProcessing();
