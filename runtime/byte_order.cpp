// Byte swapping and the host byte-order test.
#include "shared/byte_order.h"

#include <cstring>

std::uint16_t swap_word(std::uint16_t value) {
    return static_cast<std::uint16_t>((value >> 8) | (value << 8));
}

std::uint32_t swap_long(std::uint32_t value) {
    return (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) | (value << 24);
}

int test_big_endian() {
    const std::uint16_t probe = 1;
    unsigned char first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 0 ? 1 : 0;
}

void interchange_data(std::uint8_t /*type*/, void * /*data*/) {}
