// Text-mode streams: CR dropped and 0x1A taken as the end when reading,
// LF written as CR LF; binary streams left alone.
#include <cerrno>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "platform/text_file.h"
#include "tests/support/scratch_dir.h"

namespace {

std::string read_all(std::FILE *f) {
    std::string out;
    char buf[7]; // small reads cross the stream's buffer at odd places
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    return out;
}

struct ReadCase {
    const char *name;
    std::string raw;
    std::string text;
};

class TextReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(TextReadTest, DropsCarriageReturnsAndStopsAtEof) {
    ScratchDir dir;
    const std::string path = dir.file("in");
    write_file_bytes(path, GetParam().raw);
    std::FILE *f = platform::fopen(path.c_str(), "rt");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_all(f), GetParam().text);
    EXPECT_EQ(std::fclose(f), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextReadTest,
    ::testing::Values(ReadCase{"Empty", "", ""}, ReadCase{"CrLf", "a=1\r\nb=2\r\n", "a=1\nb=2\n"},
                      ReadCase{"LoneCr", "a\rb\r", "ab"}, ReadCase{"NoFinalLf", "x\r\ny", "x\ny"},
                      ReadCase{"CtrlZEnds", std::string("ab\x1A" "cd\n"), "ab"},
                      ReadCase{"CtrlZFirst", std::string("\x1A" "cd"), ""},
                      ReadCase{"CrBeforeCtrlZ", std::string("a\r\x1A"), "a"},
                      ReadCase{"AllOtherBytesKept", std::string("\0\x01\xff\x7f\n", 5), std::string("\0\x01\xff\x7f\n", 5)},
                      ReadCase{"LongRunOfCr", std::string(20000, '\r') + "z", "z"},
                      ReadCase{"CtrlZAfterLongLine", std::string(9000, 'q') + "\x1A" "rest",
                               std::string(9000, 'q')}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TextRead, LinesWithFgets) {
    ScratchDir dir;
    const std::string path = dir.file("lines");
    write_file_bytes(path, "[System]\r\nPort=5000\r\nlast");
    std::FILE *f = platform::fopen(path.c_str(), "rt");
    ASSERT_NE(f, nullptr);
    char line[64];
    ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
    EXPECT_STREQ(line, "[System]\n");
    ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
    EXPECT_STREQ(line, "Port=5000\n");
    ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
    EXPECT_STREQ(line, "last");
    EXPECT_EQ(std::fgets(line, sizeof line, f), nullptr);
    EXPECT_TRUE(std::feof(f));
    std::fclose(f);
}

struct WriteCase {
    const char *name;
    const char *mode;
    std::string before; // file content before the open; "-" for no file
    std::string written;
    std::string after;
};

class TextWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(TextWriteTest, WritesLineFeedsAsCrLf) {
    const WriteCase &c = GetParam();
    ScratchDir dir;
    const std::string path = dir.file("out");
    if (c.before != "-")
        write_file_bytes(path, c.before);
    std::FILE *f = platform::fopen(path.c_str(), c.mode);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::fwrite(c.written.data(), 1, c.written.size(), f), c.written.size());
    EXPECT_EQ(std::fclose(f), 0);
    EXPECT_EQ(read_file_bytes(path), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextWriteTest,
    ::testing::Values(WriteCase{"AppendToMissing", "a+t", "-", "\nStart\n", "\r\nStart\r\n"},
                      WriteCase{"AppendKeepsContent", "a+t", "old\r\n", "new\n", "old\r\nnew\r\n"},
                      WriteCase{"LfCr", "a+t", "", "\n\rText", "\r\n\rText"},
                      WriteCase{"CrLfGetsSecondCr", "wt", "", "x\r\n", "x\r\r\n"},
                      WriteCase{"TruncatingOpen", "w+t", "old", "a\nb", "a\r\nb"},
                      WriteCase{"Nothing", "a+t", "-", "", ""},
                      WriteCase{"BinaryWrite", "w", "", "a\nb\r\n", "a\nb\r\n"},
                      WriteCase{"BinaryAppend", "a", "x", "\n", "x\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TextWrite, LargeWriteAcrossBuffers) {
    ScratchDir dir;
    const std::string path = dir.file("big");
    std::string text, expected;
    for (int i = 0; i < 5000; ++i) {
        text += "line " + std::to_string(i) + "\n";
        expected += "line " + std::to_string(i) + "\r\n";
    }
    std::FILE *f = platform::fopen(path.c_str(), "a+t");
    ASSERT_NE(f, nullptr);
    std::fputs(text.c_str(), f);
    std::fclose(f);
    EXPECT_EQ(read_file_bytes(path), expected);
}

TEST(TextFile, BinaryReadKeepsEveryByte) {
    ScratchDir dir;
    const std::string path = dir.file("bin");
    const std::string raw("a\r\n\x1A" "b", 5);
    write_file_bytes(path, raw);
    std::FILE *f = platform::fopen(path.c_str(), "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_all(f), raw);
    std::fclose(f);
}

TEST(TextFile, FailuresReturnNullWithErrno) {
    ScratchDir dir;
    errno = 0;
    EXPECT_EQ(platform::fopen(dir.file("missing").c_str(), "rt"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(platform::fopen(dir.file("no/dir/f").c_str(), "a+t"), nullptr);
    EXPECT_EQ(platform::fopen(nullptr, "rt"), nullptr);
    EXPECT_EQ(platform::fopen(dir.file("x").c_str(), nullptr), nullptr);
    // A directory in place of a file is refused at the open, in either mode.
    errno = 0;
    EXPECT_EQ(platform::fopen(dir.path().c_str(), "rt"), nullptr);
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(platform::fopen(dir.path().c_str(), "r"), nullptr);
}

} // namespace
