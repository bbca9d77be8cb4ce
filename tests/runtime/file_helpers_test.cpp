// The path and file-length helpers: the directory part of a program's
// path, refused when it does not fit, and the length of a file with its
// trace.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "shared/debug_log.h"
#include "shared/file_helpers.h"
#include "tests/support/console_capture.h"
#include "tests/support/scratch_dir.h"

namespace {

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
