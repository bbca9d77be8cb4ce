// Configuration loading from a real data directory: the order of the
// files, the missing main file and missing optional files, what is not a
// regular file in a file's place, byte-order marks, the data directory
// that the version code selects, and paths too long to open.
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "config/ini_load.h"
#include "config/ini_store.h"
#include "config_fixture.h"
#include "platform/version.h"
#include "shared/directories.h"
#include "shared/ini_record.h"
#include "tests/support/special_files.h"

namespace {

using config_test::IniTest;
using config_test::RecordIsZero;
using config_test::SetDirText;
using config_test::TempDir;
using config_test::Text;

const std::vector<std::string> kLoadOrder = {
    "kervon.ini",   "jobs.ini",     "jobsSTS.ini",  "group_00.ini", "group_01.ini", "group_02.ini",
    "group_03.ini", "group_04.ini", "group_05.ini", "group_06.ini", "group_07.ini", "group_08.ini",
    "group_09.ini", "sensor.ini",   "modular.ini",  "jobsMPW.ini",  "jobsMDU.ini",
};

// What each file holds in these tests: something that shows where it went.
std::string Body(const std::string &name) {
    if (name == "kervon.ini")
        return "[System]\nName=main\n";
    if (name.rfind("group_", 0) == 0)
        return "[Common]\nName=" + name.substr(0, 8) + "\n[Event_63]\nType1=" + name.substr(7, 1) +
               "\n";
    if (name == "sensor.ini")
        return "[Sensor_31]\nName=sensor\n";
    if (name == "modular.ini")
        return "[Mod_09]\nName=module\n";
    const char *log = name == "jobs.ini" ? "1" : name == "jobsSTS.ini" ? "4" : name == "jobsMPW.ini" ? "6" : "7";
    return std::string("[Job_11]\nLog=") + log + "\n";
}

class LoadTest : public IniTest {
  protected:
    void SetUp() override {
        IniTest::SetUp();
        SetDirText(AllUserDir, tmp_.dir());
    }
    void WriteAllBut(const std::string &missing) {
        for (const std::string &name : kLoadOrder)
            if (name != missing)
                tmp_.Write(name, Body(name));
    }
};

// The order in which the loader opens the files, as inotify reports the
// opens in the data directory.
TEST_F(LoadTest, ReadsTheFilesInOrder) {
    WriteAllBut("");
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, tmp_.path().c_str(), IN_OPEN), 0);
    const int result = LoadINI();
    std::vector<std::string> opened;
    alignas(inotify_event) char buffer[8192];
    ssize_t n;
    while ((n = read(watch, buffer, sizeof buffer)) > 0) {
        for (ssize_t at = 0; at < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            if (event->len > 0)
                opened.emplace_back(event->name);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    close(watch);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(opened, kLoadOrder);
    EXPECT_EQ(g_index, 9);
    EXPECT_EQ(Text(INI.System.Name), "main");
    for (int g = 0; g < 10; ++g) {
        EXPECT_EQ(Text(INI.Group[g].Name), "group_0" + std::to_string(g));
        EXPECT_EQ(INI.Group[g].Event[63].Type1, g);
    }
    EXPECT_EQ(INI.Jobs[11].Log, 1);
    EXPECT_EQ(INI.JobsSTS[11].Log, 4);
    EXPECT_EQ(INI.JobsMPW[11].Log, 6);
    EXPECT_EQ(INI.JobsMDU[11].Log, 7);
    EXPECT_EQ(Text(INI.Sensor[31].Name), "sensor");
    EXPECT_EQ(Text(INI.Module[9].Name), "module");
}

TEST_F(LoadTest, MissingMainFileReadsNothingElse) {
    WriteAllBut("kervon.ini");
    std::memset(&INI, 0x11, sizeof INI);
    errno = 0;
    EXPECT_EQ(LoadINI(), 1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_TRUE(RecordIsZero());
}

// What stands in the main file's place that is not a regular file counts
// as a file that cannot be opened, at once: the loader neither waits on a
// FIFO nor reads a device, and errno says why.
struct MainSpecialCase {
    osktest::Special kind;
    int error;
};
void PrintTo(const MainSpecialCase &c, std::ostream *os) { *os << osktest::special_name(c.kind); }

class MainFileSpecialTest : public LoadTest,
                            public ::testing::WithParamInterface<MainSpecialCase> {};

TEST_P(MainFileSpecialTest, CannotBeOpenedAndReadsNothingElse) {
    WriteAllBut("kervon.ini");
    const std::string path = tmp_.dir() + "kervon.ini";
    ASSERT_TRUE(osktest::plant_special(path, GetParam().kind));
    osktest::FifoWaitGuard guard(path, std::chrono::milliseconds(2000));
    errno = 0;
    const int result = LoadINI();
    const int error = errno;
    EXPECT_FALSE(guard.waited());
    EXPECT_EQ(result, 1);
    EXPECT_EQ(error, GetParam().error);
    EXPECT_TRUE(RecordIsZero());
}

// /dev/null, not /dev/zero: were it read, it would end, and the test with it.
INSTANTIATE_TEST_SUITE_P(
    Kinds, MainFileSpecialTest,
    ::testing::Values(MainSpecialCase{osktest::Special::fifo, ENXIO},
                      MainSpecialCase{osktest::Special::link_to_dev_null, ENXIO},
                      MainSpecialCase{osktest::Special::socket, ENXIO},
                      MainSpecialCase{osktest::Special::directory, EISDIR},
                      MainSpecialCase{osktest::Special::dangling_link, ENOENT}),
    [](const auto &info) { return std::string(osktest::special_name(info.param.kind)); });

// The same in an optional file's place: that file is skipped, and every
// other file is read.
TEST_F(LoadTest, OptionalFileThatIsNoRegularFileIsSkipped) {
    WriteAllBut("jobs.ini");
    ASSERT_TRUE(osktest::plant_special(tmp_.dir() + "jobs.ini", osktest::Special::fifo));
    std::filesystem::remove(tmp_.dir() + "group_04.ini");
    ASSERT_TRUE(
        osktest::plant_special(tmp_.dir() + "group_04.ini", osktest::Special::link_to_dev_null));
    std::filesystem::remove(tmp_.dir() + "sensor.ini");
    ASSERT_TRUE(osktest::plant_special(tmp_.dir() + "sensor.ini", osktest::Special::directory));
    osktest::FifoWaitGuard guard(tmp_.dir() + "jobs.ini", std::chrono::milliseconds(2000));
    const int result = LoadINI();
    EXPECT_FALSE(guard.waited());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Text(INI.System.Name), "main");
    EXPECT_TRUE(config_test::BytesAreZero(&INI.Jobs, sizeof INI.Jobs));
    EXPECT_TRUE(config_test::BytesAreZero(&INI.Group[4], sizeof INI.Group[4]));
    EXPECT_TRUE(config_test::BytesAreZero(&INI.Sensor, sizeof INI.Sensor));
    EXPECT_EQ(INI.JobsSTS[11].Log, 4);
    EXPECT_EQ(Text(INI.Group[5].Name), "group_05");
    EXPECT_EQ(Text(INI.Module[9].Name), "module");
}

// A link to a regular file is read as the file.
TEST_F(LoadTest, LinkToARegularFileIsRead) {
    tmp_.Write("elsewhere.ini", Body("kervon.ini"));
    std::filesystem::create_symlink(tmp_.dir() + "elsewhere.ini", tmp_.dir() + "kervon.ini");
    EXPECT_EQ(LoadINI(), 0);
    EXPECT_EQ(Text(INI.System.Name), "main");
}

// Files saved by a Windows editor: the byte-order mark of each is passed
// over, so the first section of every file is read.
TEST_F(LoadTest, ByteOrderMarkOfEveryFileIsPassedOver) {
    for (const std::string &name : kLoadOrder)
        tmp_.Write(name, "\xEF\xBB\xBF" + Body(name));
    EXPECT_EQ(LoadINI(), 0);
    EXPECT_EQ(Text(INI.System.Name), "main");
    EXPECT_EQ(INI.Jobs[11].Log, 1);
    EXPECT_EQ(Text(INI.Group[9].Name), "group_09");
    EXPECT_EQ(Text(INI.Sensor[31].Name), "sensor");
    EXPECT_EQ(INI.JobsMDU[11].Log, 7);
}

TEST_F(LoadTest, OnlyMainFileLeavesEverythingElseZero) {
    tmp_.Write("kervon.ini", "[UPS_03]\nName=ups3\nPort=10.0.0.3\n");
    std::memset(&INI, 0x11, sizeof INI);
    EXPECT_EQ(LoadINI(), 0);
    EXPECT_EQ(Text(INI.UPS[3].Name), "ups3");
    EXPECT_EQ(Text(INI.UPS[3].Port), "10.0.0.3");
    std::memset(INI.UPS[3].Name, 0, sizeof INI.UPS[3].Name);
    std::memset(INI.UPS[3].Port, 0, sizeof INI.UPS[3].Port);
    EXPECT_TRUE(RecordIsZero());
}

TEST_F(LoadTest, EmptyMainFileGivesZeroRecord) {
    tmp_.Write("kervon.ini", "");
    EXPECT_EQ(LoadINI(), 0);
    EXPECT_TRUE(RecordIsZero());
}

TEST_F(LoadTest, MissingGroupFileLeavesOnlyItsBlockZero) {
    WriteAllBut("group_03.ini");
    EXPECT_EQ(LoadINI(), 0);
    EXPECT_TRUE(config_test::BytesAreZero(&INI.Group[3], sizeof INI.Group[3]));
    for (int g : {0, 1, 2, 4, 5, 6, 7, 8, 9})
        EXPECT_EQ(Text(INI.Group[g].Name), "group_0" + std::to_string(g));
    EXPECT_EQ(Text(INI.Sensor[31].Name), "sensor") << "files after the gap are still read";
    EXPECT_EQ(INI.JobsMDU[11].Log, 7);
}

TEST_F(LoadTest, GroupLoaderGivesTheResultOfTheLastGroup) {
    WriteAllBut("group_09.ini");
    EXPECT_EQ(LoadGroupsINI(), 1);
    tmp_.Write("group_09.ini", Body("group_09.ini"));
    EXPECT_EQ(LoadGroupsINI(), 0);
}

// The data directory by version code: ProgramDir up to 5, AllUserDir above.
struct DirCase {
    const char *label;
    platform::ReportedVersion version;
    bool all_users;
};
void PrintTo(const DirCase &c, std::ostream *os) { *os << c.label; }

class DataDirTest : public IniTest, public ::testing::WithParamInterface<DirCase> {};

TEST_P(DataDirTest, AllFilesComeFromTheDirectoryOfTheVersion) {
    for (const char *sub : {"program", "alluser"}) {
        std::filesystem::create_directory(tmp_.path() / sub);
        tmp_.Write(std::string(sub) + "/kervon.ini", std::string("[System]\nName=") + sub + "\n");
        tmp_.Write(std::string(sub) + "/jobs.ini", std::string("[Job_00]\nFile=") + sub + "\n");
    }
    SetDirText(ProgramDir, tmp_.dir() + "program/");
    SetDirText(AllUserDir, tmp_.dir() + "alluser/");
    platform::set_reported_version(GetParam().version);
    ASSERT_EQ(LoadINI(), 0);
    const char *expected = GetParam().all_users ? "alluser" : "program";
    EXPECT_EQ(Text(INI.System.Name), expected);
    EXPECT_EQ(Text(INI.Jobs[0].File), expected);
}

constexpr platform::DWORD NT = platform::VER_PLATFORM_WIN32_NT;
constexpr platform::BYTE WS = platform::VER_NT_WORKSTATION;
constexpr platform::BYTE SRV = platform::VER_NT_SERVER;

INSTANTIATE_TEST_SUITE_P(
    Codes, DataDirTest,
    ::testing::Values(DirCase{"code0_unreadable", {false, true, NT, 6, 2, WS}, false},
                      DirCase{"code1_9x", {true, true, 1, 4, 10, WS}, false},
                      DirCase{"code2_nt4", {true, true, NT, 4, 0, WS}, false},
                      DirCase{"code3_2000", {true, true, NT, 5, 0, WS}, false},
                      DirCase{"code4_xp", {true, true, NT, 5, 1, WS}, false},
                      DirCase{"code5_2003", {true, true, NT, 5, 2, SRV}, false},
                      DirCase{"code6_vista", {true, true, NT, 6, 0, WS}, true},
                      DirCase{"code7_win7", {true, true, NT, 6, 1, WS}, true},
                      DirCase{"code8_2008", {true, true, NT, 6, 0, SRV}, true},
                      DirCase{"code9_2008r2", {true, true, NT, 6, 1, SRV}, true},
                      DirCase{"code99_default", {}, true}),
    [](const auto &info) { return std::string(info.param.label); });

// A real directory whose text, trailing '/' included, has `length` characters.
std::string DirOfLength(const TempDir &tmp, std::size_t length) {
    std::string dir = tmp.dir();
    while (dir.size() + 1 < length) {
        // Components of up to 100 characters and their '/', never leaving
        // a single character over, which no component could take.
        const std::size_t left = length - dir.size();
        const std::size_t part = left <= 101 ? left - 1 : left == 102 ? 99 : 100;
        dir += std::string(part, 'd') + "/";
    }
    EXPECT_EQ(dir.size(), length);
    std::filesystem::create_directories(dir);
    return dir;
}

struct PathCase {
    const char *label;
    std::size_t dir_length; // with "kervon.ini" (10 characters) appended
    int result;
};
void PrintTo(const PathCase &c, std::ostream *os) { *os << c.label; }

class PathLengthTest : public IniTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(PathLengthTest, LongPathIsRefusedNotCut) {
    const std::string dir = DirOfLength(tmp_, GetParam().dir_length);
    tmp_.Write((std::filesystem::path(dir) / "kervon.ini").string().substr(tmp_.dir().size()),
               "[System]\nName=whole\n");
    // What the path would name if it were cut at 255 characters.
    const std::string cut = (dir + "kervon.ini").substr(0, 255);
    if (cut != dir + "kervon.ini")
        tmp_.Write(cut.substr(tmp_.dir().size()), "[System]\nName=cut\n");
    SetDirText(AllUserDir, dir);
    errno = 0;
    EXPECT_EQ(LoadINI(), GetParam().result);
    if (GetParam().result != 0) {
        EXPECT_EQ(errno, ENAMETOOLONG);
    }
    EXPECT_EQ(Text(INI.System.Name), GetParam().result == 0 ? "whole" : "");
}

INSTANTIATE_TEST_SUITE_P(Lengths, PathLengthTest,
                         ::testing::Values(PathCase{"path_of_255", 245, 0},
                                           PathCase{"path_of_256", 246, 1},
                                           PathCase{"path_of_300", 290, 1}),
                         [](const auto &info) { return std::string(info.param.label); });

TEST_F(LoadTest, DirectoryTextWithoutTerminatorIsRefused) {
    std::memset(AllUserDir, 'a', sizeof AllUserDir);
    EXPECT_EQ(LoadINI(), 1);
    EXPECT_TRUE(RecordIsZero());
}

} // namespace
