// The visible form of device text in the logs: which bytes are escaped,
// and how the copy stays inside its buffer without cutting an escape.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "shared/log_text.h"

namespace {

struct VisibleCase {
    const char *name;
    std::string text;
    std::size_t size;
    std::string shown;
};

void PrintTo(const VisibleCase &c, std::ostream *os) { *os << c.name; }

class LogVisibleText : public ::testing::TestWithParam<VisibleCase> {};

TEST_P(LogVisibleText, EscapesControlBytesWithinTheBuffer) {
    const VisibleCase &c = GetParam();
    char buffer[64];
    std::memset(buffer, 'Z', sizeof buffer);
    ASSERT_LE(c.size, sizeof buffer);
    EXPECT_EQ(std::string(log_visible_text(buffer, c.size, c.text.c_str())), c.shown);
    // Nothing is written past the size given.
    for (std::size_t i = c.size; i < sizeof buffer; ++i)
        EXPECT_EQ(buffer[i], 'Z') << i;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LogVisibleText,
    ::testing::Values(
        VisibleCase{"printable", "Vega 3000 RT \\x41 ~", 64, "Vega 3000 RT \\x41 ~"},
        VisibleCase{"line_breaks", "a\r\nb\n\rc", 64, "a\\x0D\\x0Ab\\x0A\\x0Dc"},
        VisibleCase{"escape_and_delete", "\x1B[2J\x7F", 64, "\\x1B[2J\\x7F"},
        VisibleCase{"lowest_and_highest_control", std::string("\x01\x1F ", 3), 64, "\\x01\\x1F "},
        // Bytes above 0x7F are no control bytes here.
        VisibleCase{"high_bytes", "\x80\xFF", 64, "\x80\xFF"},
        VisibleCase{"cut_at_the_buffer", "abcdef", 4, "abc"},
        // An escape is written whole or not at all.
        VisibleCase{"escape_does_not_fit", "ab\n", 6, "ab"},
        VisibleCase{"escape_just_fits", "ab\n", 7, "ab\\x0A"},
        VisibleCase{"room_for_the_terminator_only", "abc", 1, ""}),
    [](const ::testing::TestParamInfo<VisibleCase> &info) { return std::string(info.param.name); });

TEST(LogVisibleText, NullTextIsEmptyAndNoRoomWritesNothing) {
    char buffer[4] = {'Z', 'Z', 'Z', 'Z'};
    EXPECT_STREQ(log_visible_text(buffer, sizeof buffer, nullptr), "");
    buffer[0] = 'Z';
    log_visible_text(buffer, 0, "abc");
    EXPECT_EQ(buffer[0], 'Z');
}

} // namespace
