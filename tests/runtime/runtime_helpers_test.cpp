// The small shared routines: byte order, zero-filled blocks, the waits
// that pass on window messages, and the path and file-length helpers.
#include <bit>
#include <chrono>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/message_queue.h"
#include "platform/thread.h"
#include "shared/allocation.h"
#include "shared/byte_order.h"
#include "shared/debug_log.h"
#include "shared/file_helpers.h"
#include "shared/timing.h"
#include "tests/support/console_capture.h"
#include "tests/support/scratch_dir.h"

// An allocation that cannot be had must come back as null here, also when
// the program runs under a sanitizer's allocator.
extern "C" const char *__asan_default_options() { return "allocator_may_return_null=1"; }
extern "C" const char *__tsan_default_options() { return "allocator_may_return_null=1"; }

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

double seconds_of(void (*wait)(int), int arg) {
    const auto start = std::chrono::steady_clock::now();
    wait(arg);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(Timing, SleeppWaitsBetweenOneSecondLessAndTheWholeSeconds) {
    EXPECT_LT(seconds_of(sleepp, 0), 0.05);
    EXPECT_LT(seconds_of(sleepp, -5), 0.05);
    const double one = seconds_of(sleepp, 1);
    EXPECT_GT(one, 0.0);
    EXPECT_LT(one, 1.2);
    // The whole-second clock may step right after the start, so only a
    // count of 2 or more has a wait that must be seen: more than 1 second.
    const double two = seconds_of(sleepp, 2);
    EXPECT_GE(two, 1.0);
    EXPECT_LT(two, 2.2);
}

TEST(Timing, SleeppAndSTickPassOnWaitingMessages) {
    platform::MSG m;
    EXPECT_EQ(s_tick(), 0); // nothing waiting
    platform::PostThreadMessageA(platform::GetCurrentThreadId(), platform::WM_USER, 0, 0);
    EXPECT_EQ(s_tick(), 0);
    EXPECT_FALSE(platform::PeekMessageA(&m, nullptr, 0, 0, platform::PM_NOREMOVE));

    for (int i = 0; i < 3; ++i)
        platform::PostThreadMessageA(platform::GetCurrentThreadId(), platform::WM_USER + i, 0, 0);
    sleepp(1);
    EXPECT_FALSE(platform::PeekMessageA(&m, nullptr, 0, 0, platform::PM_NOREMOVE));
}

TEST(Timing, UssleepSleepsTheMilliseconds) {
    const auto start = std::chrono::steady_clock::now();
    ussleep(25);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
}

struct DirCase {
    const char *path;
    const char *dir;
    bool result;
};
class GetPrgDirTest : public ::testing::TestWithParam<DirCase> {};
TEST_P(GetPrgDirTest, TakesTheDirectoryPart) {
    char dir[256];
    std::memset(dir, 'x', sizeof dir);
    char *r = getprgdir(GetParam().path, dir);
    EXPECT_STREQ(dir, GetParam().dir);
    EXPECT_EQ(r, GetParam().result ? dir : nullptr);
}
INSTANTIATE_TEST_SUITE_P(Table, GetPrgDirTest,
                         ::testing::Values(DirCase{"/opt/kervon/oskavelde", "/opt/kervon/", true},
                                           DirCase{"bin/oskavelde", "bin/", true}, DirCase{"/oskavelde", "/", true},
                                           DirCase{"/opt/kervon/", "/opt/kervon/", true},
                                           DirCase{"oskavelde", "./", false}, DirCase{"", "./", false},
                                           DirCase{"C:\\Kervon\\snmp.exe", "./", false}));

TEST(GetPrgDir, DirectoryThatDoesNotFitIsRefusedNotCut) {
    char small[8];
    EXPECT_EQ(getprgdir("/abcdef/x", small), nullptr); // "/abcdef/" needs 9 bytes
    EXPECT_STREQ(small, "");
    EXPECT_EQ(getprgdir("/abcde/x", small), small); // exactly fits
    EXPECT_STREQ(small, "/abcde/");
}

class FileExistTest : public ::testing::Test {
  protected:
    void SetUp() override { bDebug = 1; }
    void TearDown() override {
        bDebug = 0;
        k_monitor = 0;
    }
    ScratchDir dir_;
    ConsoleCapture console_;
};

TEST_F(FileExistTest, GivesTheLengthOrZero) {
    write_file_bytes(dir_.file("empty"), "");
    write_file_bytes(dir_.file("data"), std::string(1234, 'z'));
    EXPECT_EQ(file_exist(dir_.file("missing").c_str()), 0u);
    EXPECT_EQ(file_exist(dir_.file("empty").c_str()), 0u);
    EXPECT_EQ(file_exist(dir_.file("data").c_str()), 1234u);
    EXPECT_EQ(console_.text(), ""); // below level 5 nothing is traced
}

TEST_F(FileExistTest, TracesFromLevelFive) {
    k_monitor = 5;
    const std::string data = dir_.file("data");
    const std::string missing = dir_.file("missing");
    write_file_bytes(data, "12345");
    file_exist(data.c_str());
    file_exist(missing.c_str());
    EXPECT_EQ(console_.text(),
              "\n\rFile " + data + " exist: Yes - Length: 5 By\n\rFile " + missing + " exist: NO !!! ");
}

} // namespace
