// Text from outside the agent (from a device, or a path the operator's
// environment names), as the debug log and the communication log show it:
// its control bytes written visibly, so that no device can put a line
// break, a carriage return or a terminal escape into a log and write lines
// that look like the agent's own, and its backslashes escaped too, so that
// a device text that spells an escape cannot pass for one: every escaped
// text reads back one way only.
#pragma once

#include <cstddef>

// Copies text into to (size bytes) with every byte below 0x20, the byte
// 0x7F, every byte from 0x80 to 0x9F (the 8-bit control bytes; 0x9B opens
// a terminal's control sequence) and the backslash written as "\xHH" (two
// upper-case hex digits), and every other byte as it is. The copy stops
// before a byte or escape that would not fit whole and is always
// terminated (empty when size is 1; nothing is written when size is 0).
// Returns to. A null text is taken as empty.
const char *log_visible_text(char *to, std::size_t size, const char *text);
