// Zero-filled heap blocks for the shared records (the device records).
#pragma once

#include <cstdint>

// A block of size bytes, every byte 0, or null when it cannot be had. The
// tag and index name the block's use and do not change the result.
void *SHmalloc(std::uint64_t size, std::uint8_t tag, std::uint16_t index);

// Releases a block of SHmalloc (null is allowed). Always 0.
int SHfree(void *block);
