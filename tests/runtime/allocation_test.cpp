// Blocks of the shared allocator: zero-filled, and null for a size that
// cannot be had.
#include <cstdint>

#include <gtest/gtest.h>

#include "shared/allocation.h"

// An allocation that cannot be had must come back as null here, also when
// the program runs under a sanitizer's allocator.
extern "C" const char *__asan_default_options() { return "allocator_may_return_null=1"; }
extern "C" const char *__tsan_default_options() { return "allocator_may_return_null=1"; }

namespace {

TEST(Allocation, BlocksAreZeroFilled) {
    for (std::uint64_t size : {1ull, 4000ull, 1ull << 20}) {
        auto *block = static_cast<unsigned char *>(SHmalloc(size, 1, 31));
        ASSERT_NE(block, nullptr);
        for (std::uint64_t i = 0; i < size; ++i)
            ASSERT_EQ(block[i], 0) << "byte " << i << " of " << size;
        EXPECT_EQ(SHfree(block), 0);
    }
}

TEST(Allocation, ImpossibleSizeGivesNull) {
    EXPECT_EQ(SHmalloc(~0ull, 1, 0), nullptr);
    EXPECT_EQ(SHmalloc(1ull << 62, 1, 0), nullptr);
    EXPECT_EQ(SHfree(nullptr), 0);
}

} // namespace
