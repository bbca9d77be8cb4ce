// The console toolkit: padding and centring, the number prefix, and the
// dialogue routines driven through a pipe on standard input with standard
// output caught in a file, the end of input included.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "shared/console_prompt.h"

namespace {

// Runs body with standard input fed from a pipe that holds the given bytes
// and then ends, and standard output caught in an unlinked file; both are
// restored before it returns what body wrote, so that the test's own
// failure messages reach the real output.
template <class Body> std::string with_console(const std::string &input, Body body) {
    std::fflush(stdout);
    const int saved_in = ::dup(STDIN_FILENO);
    const int saved_out = ::dup(STDOUT_FILENO);
    int fds[2];
    if (saved_in < 0 || saved_out < 0 || ::pipe(fds) != 0)
        std::abort();
    // The tests' inputs are far below the pipe's capacity.
    if (::write(fds[1], input.data(), input.size()) != static_cast<ssize_t>(input.size()))
        std::abort();
    ::close(fds[1]);
    ::dup2(fds[0], STDIN_FILENO);
    ::close(fds[0]);
    std::clearerr(stdin);
    char name[] = "/tmp/osk-prompt-XXXXXX";
    const int out_fd = ::mkstemp(name);
    if (out_fd < 0)
        std::abort();
    ::unlink(name);
    ::dup2(out_fd, STDOUT_FILENO);

    body();

    // Whatever the routine left unread must not reach the next test.
    while (std::getchar() != EOF) {
    }
    std::clearerr(stdin);
    ::dup2(saved_in, STDIN_FILENO);
    ::close(saved_in);
    std::fflush(stdout);
    ::dup2(saved_out, STDOUT_FILENO);
    ::close(saved_out);

    std::string text;
    char buf[4096];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(out_fd, buf, sizeof buf, at);
        if (n <= 0)
            break;
        text.append(buf, static_cast<std::size_t>(n));
        at += n;
    }
    ::close(out_fd);
    return text;
}

// --- padding and centring ---------------------------------------------------

struct PadCase {
    bool centre; // center, else dopln
    const char *text;
    int n;
    const char *fill;
    const char *expected;
};

class PadTest : public ::testing::TestWithParam<PadCase> {};

TEST_P(PadTest, Pads) {
    const PadCase &c = GetParam();
    char buf[512] = {};
    std::strcpy(buf, c.text);
    char *result = c.centre ? center(buf, c.n, c.fill) : dopln(buf, c.n, c.fill);
    EXPECT_EQ(result, buf);
    EXPECT_STREQ(buf, c.expected);
}

const std::string k250(250, 'x');

INSTANTIATE_TEST_SUITE_P(
    Table, PadTest,
    ::testing::Values(PadCase{true, "abc", 8, "*", "**abc***"},
                      PadCase{true, "abcdefg", 8, "*", "abcdefg*"}, // n - 1: only on the right
                      PadCase{true, "ab", 6, "-", "--ab--"}, PadCase{true, "", 3, "-", "---"},
                      PadCase{true, "abcdefgh", 8, "*", "abcdefgh"},
                      PadCase{true, "abcdefghij", 8, "*", "abcdefghij"},
                      PadCase{true, "ab", 200, "*", "ab"}, // above 199 columns
                      PadCase{true, "ab", -1, "*", "ab"},  // negative: above 199 unsigned
                      PadCase{true, "ab", 199, "", "ab"},
                      PadCase{true, "x", 5, "ab", "ababx"}, // whole fill texts each time
                      PadCase{true, k250.c_str(), 199, "*", k250.c_str()},
                      PadCase{false, "ab", 5, ".", "ab..."},
                      PadCase{false, "abcde", 5, ".", "abcde"},
                      PadCase{false, "abcdef", 5, ".", "abcdef"},
                      PadCase{false, "a", 3, "xy", "axyxy"}, PadCase{false, "a", -3, ".", "a"}));

// --- number prefix ----------------------------------------------------------

struct NumCase {
    const char *text;
    int digits;
    std::uint16_t value;
};

class GetnumTest : public ::testing::TestWithParam<NumCase> {};

TEST_P(GetnumTest, TakesLeadingDigits) {
    const NumCase &c = GetParam();
    std::uint16_t value = 999;
    EXPECT_EQ(getnum(c.text, &value), c.digits);
    EXPECT_EQ(value, c.value);
}

INSTANTIATE_TEST_SUITE_P(Table, GetnumTest,
                         ::testing::Values(NumCase{"123abc", 3, 123}, NumCase{"007", 3, 7},
                                           NumCase{"abc", 0, 0}, NumCase{"", 0, 0},
                                           NumCase{"-5", 0, 0}, NumCase{" 5", 0, 0},
                                           NumCase{"65535", 5, 65535}, NumCase{"65536", 5, 0},
                                           NumCase{"70000", 5, 4464},
                                           NumCase{"12345678901234567890", 20, 2770}));

// --- get_str ----------------------------------------------------------------

struct StrCase {
    const char *name;
    std::string input;
    int len;
    std::string expected;
    int beeps;
};

class GetStrTest : public ::testing::TestWithParam<StrCase> {};

TEST_P(GetStrTest, ReadsOneLine) {
    const StrCase &c = GetParam();
    char dst[400];
    std::memset(dst, 'Z', sizeof dst);
    std::strcpy(dst, "old");
    const std::string output = with_console(c.input, [&] { get_str(dst, c.len, "Name:"); });
    EXPECT_EQ(std::string(dst), c.expected);
    // The rest of the len bytes is cleared whenever the text is replaced.
    if (c.expected != "old") {
        for (int i = static_cast<int>(c.expected.size()); i < c.len; ++i)
            ASSERT_EQ(dst[i], '\0') << "byte " << i;
    }
    EXPECT_EQ(dst[c.len], c.len > 3 ? 'Z' : "old"[c.len]) << "written past len bytes";
    EXPECT_EQ(output, "\nName: " + std::string(static_cast<std::size_t>(c.beeps), '\a'));
}

INSTANTIATE_TEST_SUITE_P(
    Table, GetStrTest,
    ::testing::Values(StrCase{"Line", "hello\n", 20, "hello", 0},
                      StrCase{"LeadingLineEndsSkipped", "\n\r\nhello\rrest\n", 20, "hello", 0},
                      StrCase{"ElevenIntoTen", "abcdefghijk\n", 10, "abcdefgh", 3},
                      StrCase{"LongLineCutAt207", std::string(300, 'q') + "\n", 390,
                              std::string(207, 'q'), 93},
                      StrCase{"EscapeKeepsOldText",
                              "\x1b"
                              "abc\n",
                              20, "old", 0},
                      StrCase{"NulKeepsOldText", std::string("\0abc\n", 5), 20, "old", 0},
                      StrCase{"EndOfInputGivesEmptyText", "", 20, "", 0},
                      StrCase{"EndAfterLineEndsGivesEmptyText", "\n\n", 20, "", 0},
                      StrCase{"EndOfInputEndsTheLine", "abc", 20, "abc", 0},
                      StrCase{"LenTwoStoresNothing", "ab\n", 2, "", 2}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(GetStr, LeavesTheNextLineForTheNextRead) {
    char a[20] = {};
    char b[20] = {};
    const std::string output = with_console("first\nsecond\n", [&] {
        get_str(a, sizeof a, "A");
        get_str(b, sizeof b, "B");
    });
    EXPECT_STREQ(a, "first");
    EXPECT_STREQ(b, "second");
    EXPECT_EQ(output, "\nA \nB ");
}

// --- get_int, get_yesno, test_key -------------------------------------------

struct IntCase {
    const char *name;
    std::string input;
    std::uint16_t expected;
    int errors;
};

class GetIntTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(GetIntTest, AsksUntilInRange) {
    const IntCase &c = GetParam();
    std::uint16_t value = 0;
    const std::string output =
        with_console(c.input, [&] { value = get_int(1, 10, "N? ", "out of range"); });
    EXPECT_EQ(value, c.expected);
    std::string expected_output = "N? ";
    for (int i = 0; i < c.errors; ++i)
        expected_output += "\a\nout of range\nN? ";
    EXPECT_EQ(output, expected_output);
}

INSTANTIATE_TEST_SUITE_P(
    Table, GetIntTest,
    ::testing::Values(IntCase{"InRange", "5\n", 5, 0}, IntCase{"Bounds", " 10 ", 10, 0},
                      IntCase{"AboveThenIn", "11\n3\n", 3, 1},
                      IntCase{"ZeroAndWordsThenIn", "0 abc 7", 7, 2},
                      IntCase{"Wraps16Bits", "65537\n", 1, 0},
                      IntCase{"EscapeGivesLowerBound", "\x1b\n5\n", 1, 0},
                      // An Escape word keeps the number before it, which was out of range.
                      IntCase{"EscapeAfterOutOfRangeAsksAgain", "11\n\x1b\n5\n", 5, 2},
                      IntCase{"EndOfInputGivesLowerBound", "", 1, 0},
                      IntCase{"EndAfterErrorGivesLowerBound", "11\n", 1, 1},
                      // A word longer than 199 characters is cut and the rest of it dropped,
                      // not read as a second answer.
                      IntCase{"LongWordCut", std::string(250, '1') + " 4\n", 4, 1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(GetYesno, ComparesFirstLetters) {
    struct Case {
        const char *input;
        int expected;
    };
    for (const Case &c :
         {Case{"y\n", 1}, Case{"YES\n", 1}, Case{"No\n", 0}, Case{"x\n", 0}, Case{"", 0}}) {
        int answer = -1;
        const std::string output =
            with_console(c.input, [&] { answer = get_yesno("Yes", "no", "Delete?"); });
        EXPECT_EQ(answer, c.expected) << c.input;
        EXPECT_EQ(output, "\nDelete? [y=Yes,n=no] : ") << c.input;
    }
}

TEST(GetYesno, EndOfInputIsNoEvenForAnEmptyYesText) {
    int answer = -1;
    with_console("", [&] { answer = get_yesno("", "no", "Q"); });
    EXPECT_EQ(answer, 0);
}

TEST(TestKey, FirstCharacterInUpperCase) {
    char keys[3] = {'x', 'x', 'x'};
    with_console("  quit now\n", [&] {
        for (char &key : keys)
            key = test_key();
    });
    EXPECT_EQ(keys[0], 'Q');
    EXPECT_EQ(keys[1], 'N');
    EXPECT_EQ(keys[2], '\0'); // end of input
}

// --- choice texts, line, bell -----------------------------------------------

TEST(ChoiceTexts, YesnoCopiesAtMostTwentyCharacters) {
    EXPECT_STREQ(yesno(1, "yes", "no"), "yes");
    EXPECT_STREQ(yesno(0, "yes", "no"), "no");
    EXPECT_STREQ(yesno(1, "abcdefghijklmnopqrstuvwxyz", "no"), "abcdefghijklmnopqrst");
    EXPECT_STREQ(yesno(0, "yes", nullptr), "abcdefghijklmnopqrst"); // unchanged
    EXPECT_EQ(yesno(1, "y", "n"), yes_no);
}

TEST(ChoiceTexts, YesnostrIsCutToItsBuffer) {
    EXPECT_STREQ(yesnostr("Yes", "No"), "[y=Yes,n=No]");
    EXPECT_STREQ(yesnostr(nullptr, "No"), "[y=Yes,n=No]"); // unchanged
    const std::string yes(100, 'Y');
    const char *text = yesnostr(yes.c_str(), "no");
    EXPECT_EQ(std::strlen(text), sizeof yes_no_str - 1);
    EXPECT_EQ(std::string(text, 3), "[y=");
}

TEST(LineAndBell, Output) {
    const std::string output = with_console("", [] {
        print_line();
        beep();
        run_command("anything");
    });
    EXPECT_EQ(output, "\n" + std::string(60, '-') + "\a");
}

} // namespace
