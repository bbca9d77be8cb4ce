// The visible form of device text in the logs: which bytes are escaped,
// that an escaped text reads back one way only, and how the copy stays
// inside its buffer without cutting an escape.
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

TEST_P(LogVisibleText, EscapesControlBytesAndBackslashesWithinTheBuffer) {
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
        VisibleCase{"printable", "Vega 3000 RT x41 ~", 64, "Vega 3000 RT x41 ~"},
        VisibleCase{"line_breaks", "a\r\nb\n\rc", 64, "a\\x0D\\x0Ab\\x0A\\x0Dc"},
        VisibleCase{"escape_and_delete", "\x1B[2J\x7F", 64, "\\x1B[2J\\x7F"},
        VisibleCase{"lowest_and_highest_control", std::string("\x01\x1F ", 3), 64, "\\x01\\x1F "},
        // The 8-bit control bytes: 0x9B alone opens a terminal's control
        // sequence, as ESC [ does.
        VisibleCase{"eight_bit_controls",
                    "\x80\x9B"
                    "2J\x9F",
                    64,
                    "\\x80\\x9B"
                    "2J\\x9F"},
        // Beside them the high bytes are text, as the bytes of UTF-8 or
        // Latin-1 letters are.
        VisibleCase{"high_bytes_around_them", "\x7E\xA0\xC3\xA9\xFF", 64, "\x7E\xA0\xC3\xA9\xFF"},
        // A device's backslash is escaped too, so that a text that spells an
        // escape never reads like the escape of a real control byte.
        VisibleCase{"backslash", "\\", 64, "\\x5C"},
        VisibleCase{"spelled_line_feed_and_real_one", "\\x0A\n", 64, "\\x5Cx0A\\x0A"},
        VisibleCase{"cut_at_the_buffer", "abcdef", 4, "abc"},
        // An escape is written whole or not at all.
        VisibleCase{"escape_does_not_fit", "ab\n", 6, "ab"},
        VisibleCase{"escape_just_fits", "ab\n", 7, "ab\\x0A"},
        VisibleCase{"high_escape_does_not_fit", "ab\x9B", 6, "ab"},
        VisibleCase{"backslash_does_not_fit", "ab\\c", 6, "ab"},
        VisibleCase{"room_for_the_terminator_only", "abc", 1, ""}),
    [](const ::testing::TestParamInfo<VisibleCase> &info) { return std::string(info.param.name); });

// Undoes the escapes: a backslash always opens "\xHH", since a device's own
// backslash is escaped as well.
std::string read_back(const std::string &shown) {
    std::string text;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] != '\\') {
            text += shown[i];
            continue;
        }
        if (i + 3 >= shown.size() || shown[i + 1] != 'x')
            return "<not an escape at " + std::to_string(i) + ">";
        text += static_cast<char>(std::stoi(shown.substr(i + 2, 2), nullptr, 16));
        i += 3;
    }
    return text;
}

// Every byte value, alone and between text that spells escapes: the log
// shows no control byte of either kind, and what it shows reads back as
// exactly the device's text.
TEST(LogVisibleText, EveryByteReadsBackOneWayOnly) {
    for (int value = 1; value < 256; ++value) {
        const std::string byte(1, static_cast<char>(value));
        for (const std::string &text : {byte, "\\x41" + byte + "\\" + byte + "x0A\\"}) {
            char buffer[64];
            const std::string shown = log_visible_text(buffer, sizeof buffer, text.c_str());
            for (const char c : shown) {
                const auto b = static_cast<unsigned char>(c);
                EXPECT_TRUE((b >= 0x20 && b < 0x7F) || b >= 0xA0) << value << ": " << shown;
            }
            EXPECT_EQ(read_back(shown), text) << value << ": " << shown;
        }
    }
}

TEST(LogVisibleText, NullTextIsEmptyAndNoRoomWritesNothing) {
    char buffer[4] = {'Z', 'Z', 'Z', 'Z'};
    EXPECT_STREQ(log_visible_text(buffer, sizeof buffer, nullptr), "");
    buffer[0] = 'Z';
    log_visible_text(buffer, 0, "abc");
    EXPECT_EQ(buffer[0], 'Z');
}

} // namespace
