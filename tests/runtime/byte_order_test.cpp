// Byte order: the two swaps, the host order, and the device block that
// the agent leaves as it is.
#include <bit>
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "shared/byte_order.h"

namespace {

struct WordCase {
    std::uint16_t in, out;
};
class SwapWordTest : public ::testing::TestWithParam<WordCase> {};
TEST_P(SwapWordTest, ExchangesTheBytes) {
    EXPECT_EQ(swap_word(GetParam().in), GetParam().out);
    EXPECT_EQ(swap_word(GetParam().out), GetParam().in);
}
INSTANTIATE_TEST_SUITE_P(Table, SwapWordTest,
                         ::testing::Values(WordCase{0x1234, 0x3412}, WordCase{255, 65280}, WordCase{0, 0},
                                           WordCase{0xFFFF, 0xFFFF}, WordCase{0x8001, 0x0180}));

struct LongCase {
    std::uint32_t in, out;
};
class SwapLongTest : public ::testing::TestWithParam<LongCase> {};
TEST_P(SwapLongTest, ReversesTheBytes) {
    EXPECT_EQ(swap_long(GetParam().in), GetParam().out);
    EXPECT_EQ(swap_long(GetParam().out), GetParam().in);
}
INSTANTIATE_TEST_SUITE_P(Table, SwapLongTest,
                         ::testing::Values(LongCase{255, 255u << 24}, LongCase{0x12345678, 0x78563412},
                                           LongCase{0x00FF0000, 0x0000FF00}, LongCase{0xFFFFFFFF, 0xFFFFFFFF},
                                           LongCase{0x80000001, 0x01000080}));

TEST(ByteOrder, HostOrderAndDeviceBlockLeftAsItIs) {
    EXPECT_EQ(test_big_endian() != 0, std::endian::native == std::endian::big);
    unsigned char block[676];
    for (std::size_t i = 0; i < sizeof block; ++i)
        block[i] = static_cast<unsigned char>(i * 7);
    unsigned char copy[sizeof block];
    std::memcpy(copy, block, sizeof block);
    interchange_data(21, block);
    EXPECT_EQ(std::memcmp(block, copy, sizeof block), 0);
}

} // namespace
