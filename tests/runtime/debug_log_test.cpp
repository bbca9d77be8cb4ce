// printfc: console and file as the two switches say, the file in the data
// directory written in text mode and created open to everyone, whole
// messages under concurrent writers, and silent loss of the file output
// when the file cannot be written.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/version.h"
#include "shared/debug_log.h"
#include "shared/directories.h"
#include "tests/support/console_capture.h"
#include "tests/support/scratch_dir.h"

namespace {

void set_dir(char (&field)[256], const std::string &dir) { std::snprintf(field, sizeof field, "%s", dir.c_str()); }

bool exists(const std::string &path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0;
}

class DebugLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        set_dir(AllUserDir, data_.path() + "/");
        set_dir(ProgramDir, program_.path() + "/");
        bDebug = 0;
        bDebugLog = 0;
    }
    void TearDown() override {
        bDebug = 0;
        bDebugLog = 0;
        AllUserDir[0] = '\0';
        ProgramDir[0] = '\0';
        platform::reset_reported_version();
    }
    std::string log_file() const { return data_.file("debugsnmp.log"); }

    ScratchDir data_;
    ScratchDir program_;
    ConsoleCapture console_;
};

struct SwitchCase {
    std::uint8_t debug;
    std::uint8_t debug_log;
    bool to_console;
    bool to_file;
};

class SwitchMatrixTest : public DebugLogTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchMatrixTest, WritesWhereTheSwitchesSay) {
    const SwitchCase &c = GetParam();
    bDebug = c.debug;
    bDebugLog = c.debug_log;
    printfc("\n\rStart");
    printfc(" OK");
    EXPECT_EQ(console_.text(), c.to_console ? "\n\rStart OK" : "");
    EXPECT_EQ(exists(log_file()), c.to_file);
    if (c.to_file) {
        // Text mode: every LF of the message becomes CR LF in the file.
        EXPECT_EQ(read_file_bytes(log_file()), "\r\n\rStart OK");
    }
}

INSTANTIATE_TEST_SUITE_P(Matrix, SwitchMatrixTest,
                         ::testing::Values(SwitchCase{0, 0, false, false}, SwitchCase{1, 0, true, false},
                                           SwitchCase{0, 1, false, true}, SwitchCase{1, 1, true, true},
                                           SwitchCase{7, 255, true, true}));

TEST_F(DebugLogTest, EveryLineFeedBecomesCrLfInTheFile) {
    bDebug = 1;
    bDebugLog = 1;
    printfc("\nStart Service\n");
    printfc("\n\rline\n\nend");
    EXPECT_EQ(console_.text(), "\nStart Service\n\n\rline\n\nend");
    EXPECT_EQ(read_file_bytes(log_file()), "\r\nStart Service\r\n\r\n\rline\r\n\r\nend");
}

TEST_F(DebugLogTest, EmptyTextStillCreatesTheFile) {
    bDebugLog = 1;
    printfc("");
    EXPECT_TRUE(exists(log_file()));
    EXPECT_EQ(read_file_bytes(log_file()), "");
}

TEST_F(DebugLogTest, AppendsToWhatIsThere) {
    write_file_bytes(log_file(), "earlier run\r\n");
    bDebugLog = 1;
    printfc("next\n");
    EXPECT_EQ(read_file_bytes(log_file()), "earlier run\r\nnext\r\n");
}

TEST_F(DebugLogTest, DeletedFileIsCreatedAgainOpenToEveryone) {
    const mode_t old_umask = ::umask(077);
    bDebugLog = 1;
    printfc("first");
    struct stat st{};
    ASSERT_EQ(::stat(log_file().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u);

    ASSERT_EQ(::unlink(log_file().c_str()), 0);
    printfc("second");
    ::umask(old_umask);
    ASSERT_EQ(::stat(log_file().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
    EXPECT_EQ(read_file_bytes(log_file()), "second");
}

struct DirectoryCase {
    const char *name;
    platform::DWORD major;
    platform::DWORD minor;
    bool in_all_users;
};

class DataDirectoryTest : public DebugLogTest, public ::testing::WithParamInterface<DirectoryCase> {};

TEST_P(DataDirectoryTest, FileLiesInTheDataDirectoryOfTheVersion) {
    const DirectoryCase &c = GetParam();
    platform::ReportedVersion v;
    v.major = c.major;
    v.minor = c.minor;
    platform::set_reported_version(v);
    bDebugLog = 1;
    printfc("here");
    EXPECT_EQ(exists(data_.file("debugsnmp.log")), c.in_all_users);
    EXPECT_EQ(exists(program_.file("debugsnmp.log")), !c.in_all_users);
}

INSTANTIATE_TEST_SUITE_P(Versions, DataDirectoryTest,
                         ::testing::Values(DirectoryCase{"Xp", 5, 1, false}, DirectoryCase{"Server2003", 5, 2, false},
                                           DirectoryCase{"Vista", 6, 0, true}, DirectoryCase{"Seven", 6, 1, true},
                                           DirectoryCase{"NtCompatible", 6, 2, true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(DebugLogTest, EmptyDirectoryMeansTheCurrentDirectory) {
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(data_.path());
    AllUserDir[0] = '\0';
    bDebugLog = 1;
    printfc("cwd");
    std::filesystem::current_path(before);
    EXPECT_EQ(read_file_bytes(data_.file("debugsnmp.log")), "cwd");
}

TEST_F(DebugLogTest, MissingDirectoryLosesOnlyTheFileOutput) {
    const std::string missing = data_.file("gone/Kervon/");
    set_dir(AllUserDir, missing);
    bDebug = 1;
    bDebugLog = 1;
    printfc("\nstill on the console");
    EXPECT_EQ(console_.text(), "\nstill on the console");
    EXPECT_FALSE(exists(data_.file("gone")));
}

// A directory whose path with "debugsnmp.log" (13 characters) is exactly
// the given length; made of nested directories below the scratch one.
std::string directory_for_path_length(const std::string &base, std::size_t total) {
    std::filesystem::create_directory(base);
    std::string dir = base + "/";
    std::size_t left = total - 13 - dir.size(); // each part takes its name and a '/'
    while (left > 0) {
        std::size_t part = left > 101 ? 101 : left;
        if (left - part == 1)
            --part;
        dir += std::string(part - 1, 'd') + "/";
        std::filesystem::create_directory(dir);
        left -= part;
    }
    return dir;
}

TEST_F(DebugLogTest, PathOver255CharactersIsRefusedNotCut) {
    bDebugLog = 1;
    const std::string fits = directory_for_path_length(data_.path() + "/a", 255);
    ASSERT_EQ(fits.size() + 13, 255u);
    set_dir(AllUserDir, fits);
    printfc("fits");
    EXPECT_EQ(read_file_bytes(fits + "debugsnmp.log"), "fits");

    const std::string too_long = directory_for_path_length(data_.path() + "/b", 256);
    ASSERT_EQ(too_long.size() + 13, 256u);
    set_dir(AllUserDir, too_long);
    printfc("refused");
    // Nothing at all below the directory: neither the file nor one with a
    // shortened name.
    EXPECT_TRUE(std::filesystem::is_empty(too_long));
}

constexpr int kThreads = 6;
constexpr int kMessages = 40;
// Longer than the streams' buffers, so that one message takes several
// writes to the file.
constexpr std::size_t kBody = 20000;

TEST_F(DebugLogTest, ConcurrentMessagesNeverInterleave) {
    bDebug = 1;
    bDebugLog = 1;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            const std::string body(kBody, static_cast<char>('a' + t));
            for (int i = 0; i < kMessages; ++i)
                printfc(("\n" + std::to_string(t) + ":" + body).c_str());
        });
    }
    for (auto &w : writers)
        w.join();

    // Every message must stand whole: a line of one thread's letter only.
    auto check = [](const std::string &all, const std::string &line_end) {
        int lines = 0;
        std::size_t at = 0;
        while ((at = all.find(line_end, at)) != std::string::npos) {
            at += line_end.size();
            const std::size_t next = all.find(line_end, at);
            const std::string line = all.substr(at, next == std::string::npos ? std::string::npos : next - at);
            ASSERT_EQ(line.size(), kBody + 2);
            const int t = line[0] - '0';
            ASSERT_EQ(line, std::to_string(t) + ":" + std::string(kBody, static_cast<char>('a' + t)));
            ++lines;
        }
        EXPECT_EQ(lines, kThreads * kMessages);
    };
    check(console_.text(), "\n");
    check(read_file_bytes(log_file()), "\r\n");
}

} // namespace
