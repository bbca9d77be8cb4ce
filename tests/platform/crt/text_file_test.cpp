// Text-mode streams: CR dropped and 0x1A taken as the end when reading,
// LF written as CR LF; binary streams left alone; only regular files
// opened, and no open that waits; the open that refuses to go through a
// symbolic link in the file's place.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/crt/text_file.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/special_files.h"

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

// What is not a regular file is refused at the open, in every mode, without
// waiting for a writer or a reader and before a byte is read: a FIFO would
// hold the open, /dev/zero would never end a read.
struct SpecialCase {
    osktest::Special kind;
    int error;
};

void PrintTo(const SpecialCase &c, std::ostream *os) { *os << osktest::special_name(c.kind); }

class TextFileSpecial : public ::testing::TestWithParam<SpecialCase> {};

TEST_P(TextFileSpecial, IsRefusedAtOnceInEveryMode) {
    ScratchDir dir;
    const std::string path = dir.file("kervon.ini");
    ASSERT_TRUE(osktest::plant_special(path, GetParam().kind));
    for (const char *mode : {"rt", "r", "a+t", "r+", "w", "wt"}) {
        osktest::FifoWaitGuard guard(path, std::chrono::milliseconds(2000));
        errno = 0;
        std::FILE *f = platform::fopen(path.c_str(), mode);
        EXPECT_FALSE(guard.waited()) << mode;
        EXPECT_EQ(f, nullptr) << mode;
        EXPECT_EQ(errno, GetParam().error) << mode;
        if (f != nullptr)
            std::fclose(f);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, TextFileSpecial,
                         ::testing::Values(SpecialCase{osktest::Special::fifo, ENXIO},
                                           SpecialCase{osktest::Special::link_to_dev_zero, ENXIO},
                                           SpecialCase{osktest::Special::link_to_dev_null, ENXIO},
                                           SpecialCase{osktest::Special::socket, ENXIO},
                                           SpecialCase{osktest::Special::directory, EISDIR}),
                         [](const auto &info) {
                             return std::string(osktest::special_name(info.param.kind));
                         });

// A FIFO with a writer waiting on it still is no file to read.
TEST(TextFile, FifoWithAWriterIsRefusedToo) {
    ScratchDir dir;
    const std::string path = dir.file("jobs.ini");
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    const int writer = ::open(path.c_str(), O_RDWR | O_CLOEXEC); // holds both ends
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::write(writer, "[Job_00]\n", 9), 9);
    errno = 0;
    EXPECT_EQ(platform::fopen(path.c_str(), "rt"), nullptr);
    EXPECT_EQ(errno, ENXIO);
    ::close(writer);
}

// A symbolic link to a regular file is followed, for reading and writing.
TEST(TextFile, LinkToARegularFileIsFollowed) {
    ScratchDir dir;
    const std::string target = dir.file("target.ini");
    const std::string link = dir.file("kervon.ini");
    write_file_bytes(target, "a\r\nb");
    std::filesystem::create_symlink(target, link);
    std::FILE *f = platform::fopen(link.c_str(), "rt");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_all(f), "a\nb");
    std::fclose(f);
    f = platform::fopen(link.c_str(), "a+t");
    ASSERT_NE(f, nullptr);
    std::fputs("\nc", f);
    std::fclose(f);
    EXPECT_EQ(read_file_bytes(target), "a\r\nb\r\nc");
}

TEST(TextFile, OpenFailureTextsForAPerson) {
    EXPECT_STREQ(platform::open_failure_text(ENXIO), "not a regular file");
    EXPECT_STREQ(platform::open_failure_text(ENOENT), "No such file or directory");
    EXPECT_STREQ(platform::open_failure_text(EISDIR), "Is a directory");
    EXPECT_STREQ(platform::open_failure_text(EACCES), "Permission denied");
}

TEST(TextFileNoFollow, OpensAPlainFileAsFopenDoes) {
    ScratchDir dir;
    const std::string path = dir.file("log");
    for (const char *mode : {"a+t", "a+t", "w+t", "a"}) {
        std::FILE *f = platform::fopen_nofollow(path.c_str(), mode);
        ASSERT_NE(f, nullptr) << mode;
        std::fputs("x\n", f);
        EXPECT_EQ(std::fclose(f), 0);
    }
    EXPECT_EQ(read_file_bytes(path), "x\r\nx\n");
    std::FILE *f = platform::fopen_nofollow(path.c_str(), "rt");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_all(f), "x\nx\n");
    std::fclose(f);
    errno = 0;
    EXPECT_EQ(platform::fopen_nofollow(dir.path().c_str(), "a+t"), nullptr);
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(platform::fopen_nofollow(path.c_str(), "x"), nullptr);
    EXPECT_EQ(platform::fopen_nofollow(nullptr, "a+t"), nullptr);
}

struct LinkCase {
    const char *name;
    bool target_exists;
};

class TextFileNoFollowLink : public ::testing::TestWithParam<LinkCase> {};

// Neither the open nor a creation goes through the link: the target keeps
// its content, or stays missing, in every mode.
TEST_P(TextFileNoFollowLink, RefusesTheLinkAndLeavesItsTargetAlone) {
    ScratchDir dir;
    const std::string target = dir.file("target");
    const std::string link = dir.file("log");
    if (GetParam().target_exists)
        write_file_bytes(target, "kept");
    std::filesystem::create_symlink(target, link);
    for (const char *mode : {"a+t", "w+t", "rt", "a", "w", "r+"}) {
        errno = 0;
        std::FILE *f = platform::fopen_nofollow(link.c_str(), mode);
        EXPECT_EQ(f, nullptr) << mode;
        EXPECT_EQ(errno, ELOOP) << mode;
        if (f != nullptr) {
            std::fputs("written", f);
            std::fclose(f);
        }
    }
    std::error_code ec;
    EXPECT_EQ(std::filesystem::exists(target, ec), GetParam().target_exists);
    if (GetParam().target_exists) {
        EXPECT_EQ(read_file_bytes(target), "kept");
    }
    EXPECT_TRUE(std::filesystem::is_symlink(link, ec));
}

// A hard link carries the writes into the file of another name, and a
// FIFO holds them until someone reads: neither is opened, nothing waits,
// and the other file is neither written nor truncated.
TEST(TextFileNoFollow, RefusesAHardLinkAndAFifo) {
    ScratchDir dir;
    const std::string target = dir.file("target");
    const std::string hard = dir.file("hard");
    const std::string fifo = dir.file("fifo");
    write_file_bytes(target, "kept");
    std::filesystem::create_hard_link(target, hard);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    for (const std::string &path : {hard, fifo}) {
        for (const char *mode : {"a+t", "w+t", "a", "w", "r+"}) {
            errno = 0;
            std::FILE *f = platform::fopen_nofollow(path.c_str(), mode);
            EXPECT_EQ(f, nullptr) << path << " " << mode;
            // A FIFO opened for writing alone has no reader to wait for.
            EXPECT_TRUE(errno == ELOOP || (path == fifo && errno == ENXIO))
                << path << " " << mode << " " << errno;
            if (f != nullptr) {
                std::fputs("written", f);
                std::fclose(f);
            }
        }
    }
    EXPECT_EQ(read_file_bytes(target), "kept");
}

INSTANTIATE_TEST_SUITE_P(Links, TextFileNoFollowLink,
                         ::testing::Values(LinkCase{"ToAFile", true}, LinkCase{"ToNothing", false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
