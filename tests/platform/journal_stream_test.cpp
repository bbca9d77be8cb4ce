// The console on the journal's stream: JOURNAL_STREAM recognised only for
// the very descriptor it names, and the text the journal can show of each
// message: no CR, and no byte that would turn a line into blob data,
// while tabs, line feeds and printable UTF-8 pass unchanged.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/console.h"
#include "platform/journal_stream.h"
#include "tests/support/console_capture.h"

namespace {

// JOURNAL_STREAM for the test's duration; the variable as it was after.
class JournalStreamVariable {
  public:
    explicit JournalStreamVariable(const std::string &value) {
        const char *before = ::getenv("JOURNAL_STREAM");
        had_ = before != nullptr;
        if (had_)
            before_ = before;
        ::setenv("JOURNAL_STREAM", value.c_str(), 1);
    }
    ~JournalStreamVariable() {
        if (had_)
            ::setenv("JOURNAL_STREAM", before_.c_str(), 1);
        else
            ::unsetenv("JOURNAL_STREAM");
    }

  private:
    bool had_ = false;
    std::string before_;
};

std::string stream_of(int fd) {
    struct stat st {};
    EXPECT_EQ(::fstat(fd, &st), 0);
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

struct TextCase {
    const char *name;
    std::string given;
    std::string shown;
};

void PrintTo(const TextCase &c, std::ostream *out) { *out << c.name; }

class JournalText : public ::testing::TestWithParam<TextCase> {};

TEST_P(JournalText, IsWhatTheJournalShowsAsText) {
    const TextCase &c = GetParam();
    EXPECT_EQ(platform::journal_text(c.given.data(), c.given.size()), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JournalText,
    ::testing::Values(
        TextCase{"LineBreakWithCr", "\n\rRESP Dev:01", "\nRESP Dev:01"},
        TextCase{"CrLf", "line\r\n", "line\n"},
        TextCase{"TabAndLineFeedKept", "a\tb\nc", "a\tb\nc"},
        TextCase{"OtherControlBytes", std::string("bell\a nul\0 esc\x1b[0m", 18),
                 "bell\\x07 nul\\x00 esc\\x1B[0m"},
        TextCase{"Delete", "x\x7f", "x\\x7F"},
        TextCase{"Utf8Kept", "S\xc3\xbc" "d \xe2\x82\xac \xf0\x9f\x94\x8b",
                 "S\xc3\xbc" "d \xe2\x82\xac \xf0\x9f\x94\x8b"},
        TextCase{"Latin1Byte", "S\xfc" "d", "S\\xFCd"},
        TextCase{"C1ControlInUtf8", "a\xc2\x85z", "a\\xC2\\x85z"},
        TextCase{"Overlong", "\xc0\xaf\xe0\x80\xaf", "\\xC0\\xAF\\xE0\\x80\\xAF"},
        TextCase{"CutSequenceAtTheEnd", "ab\xe2\x82", "ab\\xE2\\x82"},
        TextCase{"CutSequenceBeforeAscii", "\xe2\x82z", "\\xE2\\x82z"},
        TextCase{"Surrogate", "\xed\xa0\x80", "\\xED\\xA0\\x80"},
        TextCase{"NonCharacter", "\xef\xbf\xbe|\xef\xb7\x90", "\\xEF\\xBF\\xBE|\\xEF\\xB7\\x90"},
        TextCase{"BeyondUnicode", "\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
        TextCase{"Empty", "", ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(JournalStream, RecognisedOnlyForTheDescriptorTheVariableNames) {
    int pipe_fds[2];
    ASSERT_EQ(::pipe(pipe_fds), 0);
    const std::string stream = stream_of(pipe_fds[1]);
    struct stat st {};
    ASSERT_EQ(::fstat(pipe_fds[1], &st), 0);
    const std::string other_inode = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino + 1);
    const std::string other_device = std::to_string(st.st_dev + 1) + ":" + std::to_string(st.st_ino);

    const struct {
        std::string value;
        bool journal;
    } cases[] = {
        {stream, true},
        {other_inode, false},
        {other_device, false},
        {"", false},
        {std::to_string(st.st_dev), false},
        {stream + "x", false},
        {stream + ":1", false},
        {" " + stream, false},
        {"-" + stream, false},
        {"99999999999999999999999:1", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("JOURNAL_STREAM=\"" + c.value + "\"");
        JournalStreamVariable variable(c.value);
        EXPECT_EQ(platform::is_journal_stream(pipe_fds[1]), c.journal);
    }
    int other_fds[2];
    ASSERT_EQ(::pipe(other_fds), 0);
    {
        JournalStreamVariable variable(stream);
        EXPECT_FALSE(platform::is_journal_stream(other_fds[1])) << "another pipe";
    }
    {
        JournalStreamVariable variable(stream);
        ::unsetenv("JOURNAL_STREAM");
        EXPECT_FALSE(platform::is_journal_stream(pipe_fds[1])) << "no JOURNAL_STREAM";
    }
    for (int fd : {pipe_fds[0], pipe_fds[1], other_fds[0], other_fds[1]})
        ::close(fd);
}

// The console allocated on the stream that JOURNAL_STREAM names writes the
// journal's form and counts the caller's bytes; on any other it writes the
// bytes unchanged.
TEST(JournalStream, ConsoleOnTheJournalWritesItsText) {
    const std::string message = "\n\rGet STOP signal..\x01";
    ConsoleCapture console;
    platform::DWORD written = 0;
    const auto write = [&] {
        return platform::WriteConsoleA(platform::GetStdHandle(platform::STD_OUTPUT_HANDLE),
                                       message.data(), static_cast<platform::DWORD>(message.size()),
                                       &written, nullptr);
    };
    {
        JournalStreamVariable variable(stream_of(console.fd()));
        ASSERT_TRUE(platform::FreeConsole());
        ASSERT_TRUE(platform::AllocConsole());
        EXPECT_TRUE(write());
        EXPECT_EQ(written, message.size());
        EXPECT_EQ(console.text(), "\nGet STOP signal..\\x01");
    }
    {
        JournalStreamVariable variable("0:0");
        ASSERT_TRUE(platform::FreeConsole());
        ASSERT_TRUE(platform::AllocConsole());
        console.clear();
        EXPECT_TRUE(write());
        EXPECT_EQ(console.text(), message);
    }
}

} // namespace
