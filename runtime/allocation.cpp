// SHmalloc and SHfree over the C heap.
#include "shared/allocation.h"

#include <cstdlib>

void *SHmalloc(std::uint64_t size, std::uint8_t /*tag*/, std::uint16_t /*index*/) {
    if (size > SIZE_MAX)
        return nullptr;
    return std::calloc(1, static_cast<std::size_t>(size));
}

int SHfree(void *block) {
    std::free(block);
    return 0;
}
