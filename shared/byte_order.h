// Byte-order routines of the client protocol: every multi-byte field goes
// over the wire little-endian, so a big-endian host swaps each field.
#pragma once

#include <cstdint>

// The two bytes exchanged: 0x1234 gives 0x3412.
std::uint16_t swap_word(std::uint16_t value);

// The four bytes in reverse order: 0x12345678 gives 0x78563412.
std::uint32_t swap_long(std::uint32_t value);

// Non-zero when the host stores the most significant byte first.
int test_big_endian();

// Brings a device data block of the given device type code into wire
// order. The block is sent as it lies in memory, so nothing is converted.
void interchange_data(std::uint8_t type, void *data);
