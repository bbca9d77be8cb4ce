// How the protocol server's trace lines are written: every formatted line
// is composed in the 100-byte line buffer out_txt_net and then goes either
// to the communication log (time-stamped) or straight to the debug log;
// datagrams are dumped byte by byte into the communication log.
#pragma once

#include <cstdint>

// The line buffer; a line longer than 99 characters is cut there.
constexpr int out_txt_net_size = 100;
extern char out_txt_net[out_txt_net_size];

// Formats into out_txt_net and writes the line with zapis_stat_com.
[[gnu::format(printf, 1, 2)]] void net_log(const char *format, ...);

// Formats into out_txt_net and writes it unchanged with printfc.
[[gnu::format(printf, 1, 2)]] void net_print(const char *format, ...);

// Dumps a datagram after its heading line (direction 0 received, 1 sent).
// At k_monitor1 3 only its first 30 bytes go, and a longer datagram's dump
// is closed as cut; from 4 on all of it goes.
void dump_datagram(const std::uint8_t *data, int length, std::uint8_t direction);
