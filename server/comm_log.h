// The communication log: time-stamped lines about the agent's traffic and
// hex dumps of its datagrams, written through the debug log. Both worker
// threads write it; one lock keeps an entry of one thread from landing in
// the middle of the other thread's dump line.
#pragma once

#include <cstdint>

// Directions of detail_monitor.
constexpr std::uint8_t DUMP_RECEIVED = 0;
constexpr std::uint8_t DUMP_SENT = 1;
constexpr std::uint8_t DUMP_FLUSH = 2;
constexpr std::uint8_t DUMP_FLUSH_CUT = 3;

// Writes " MM\DD HH:MM:SS  text  \n" (local time) when k_monitor is not 0,
// after closing any pending dump line. Texts beyond 1000 characters are
// cut at 1000.
void zapis_stat_com(const char *text);

// Adds one byte of a datagram to the dump (direction 0 received, 1 sent);
// every 17th byte writes the line. Direction 2 or more writes the pending
// bytes, however few, and 3 marks the line as cut with " ...". Lines are
// written when k_monitor is 3 or more; the pending bytes are dropped
// either way.
void detail_monitor(std::uint8_t byte, std::uint8_t direction);
