// Decimal text as configuration values and SNMP printable values are read:
// the run-time's atol rules in 32 bits.
#pragma once

#include <cstdint>

// Leading white space skipped, one optional sign, digits up to the first
// other character, accumulated in 32 bits that wrap (so a number of any
// length is taken modulo 2^32); 0 for text without digits and for null.
std::uint32_t decimal_text_value(const char *text);
