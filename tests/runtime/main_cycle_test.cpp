// The main cycle: the directories it fixes, the debug switches it settles
// from the command line and the configuration, a whole cycle from start to
// the quit message, and the fatal path without kervon.ini.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "config/ini_load.h"
#include "platform/thread.h"
#include "platform/thread_create.h"
#include "platform/wait.h"
#include "runtime/main_cycle.h"
#include "runtime/process_entry.h"
#include "runtime/stop_handlers.h"
#include "runtime/terminal_services.h"
#include "shared/debug_log.h"
#include "shared/directories.h"
#include "tests/support/console_capture.h"
#include "tests/support/scratch_dir.h"

namespace {

struct ProgramCase {
    std::string path;
    std::string dir;
};

class ProgramDirOf : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramDirOf, IsTheDirectoryWithItsSeparatorOrEmpty) {
    std::snprintf(ProgramDir, sizeof ProgramDir, "stale");
    SetProgramDir(GetParam().path.c_str());
    EXPECT_EQ(std::string(ProgramDir), GetParam().dir);
}

INSTANTIATE_TEST_SUITE_P(Paths, ProgramDirOf,
                         ::testing::Values(ProgramCase{"/opt/osk/bin/oskavelde", "/opt/osk/bin/"},
                                           ProgramCase{"./oskavelde", "./"}, ProgramCase{"/oskavelde", "/"},
                                           ProgramCase{"oskavelde", ""},
                                           ProgramCase{"/" + std::string(253, 'd') + "/oskavelde",
                                                       "/" + std::string(253, 'd') + "/"},
                                           ProgramCase{"/" + std::string(254, 'd') + "/oskavelde", ""}),
                         [](const auto &info) { return "Case" + std::to_string(info.index); });

struct ProfileCase {
    const char *name;
    bool set;
    std::string value;
    // Empty: the value names a directory too long for the field.
    std::string dir;
};

void PrintTo(const ProfileCase &c, std::ostream *os) { *os << c.name; }

class AllUserDirOf : public ::testing::TestWithParam<ProfileCase> {
  protected:
    void TearDown() override {
        ::unsetenv("ALLUSERSPROFILE");
        bDebugLog = 0;
        AllUserDir[0] = '\0';
    }
};

TEST_P(AllUserDirOf, IsTheProfileWithKervonOrNoDirectoryAtAll) {
    const ProfileCase &c = GetParam();
    if (c.set)
        ::setenv("ALLUSERSPROFILE", c.value.c_str(), 1);
    else
        ::unsetenv("ALLUSERSPROFILE");
    SetAllUserDir();
    if (!c.dir.empty()) {
        EXPECT_EQ(std::string(AllUserDir), c.dir);
        return;
    }
    // Neither "/Kervon/" nor a cut value, nor the current directory an
    // empty text would mean: no file at all is opened.
    char path[256];
    EXPECT_FALSE(DataFilePath("kervon.ini", path));
    ScratchDir cwd;
    write_file_bytes(cwd.file("kervon.ini"), "[System]\r\nDebugLog=1\r\n");
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(cwd.path());
    const int loaded = LoadINI();
    bDebugLog = 1;
    printfc("\nnowhere");
    std::filesystem::current_path(before);
    EXPECT_EQ(loaded, 1);
    EXPECT_FALSE(std::filesystem::exists(cwd.file("debugsnmp.log")));
}

// "/Kervon/" takes 8 of the field's 255 characters; a value of 256 or more
// does not fit the buffer it is read into.
INSTANTIATE_TEST_SUITE_P(
    Profiles, AllUserDirOf,
    ::testing::Values(ProfileCase{"Set", true, "/srv/data", "/srv/data/Kervon/"},
                      ProfileCase{"Missing", false, "", "/Kervon/"}, ProfileCase{"Empty", true, "", "/Kervon/"},
                      ProfileCase{"Longest", true, std::string(247, 'p'), std::string(247, 'p') + "/Kervon/"},
                      ProfileCase{"NoRoomForKervon", true, std::string(248, 'p'), ""},
                      ProfileCase{"LongestInTheBuffer", true, std::string(255, 'p'), ""},
                      ProfileCase{"LongerThanTheBuffer", true, std::string(256, 'p'), ""},
                      ProfileCase{"FarTooLong", true, std::string(300, 'p'), ""}),
    [](const auto &info) { return std::string(info.param.name); });

// Command-line switches and [System] values, and the switches the main
// cycle settles on.
struct SwitchCase {
    const char *name;
    std::uint8_t debug, debug_log, monitor, monitor1; // from the command line
    std::int32_t foreground;
    int config_debug_log, config_debug_mode;
    std::uint8_t want_debug, want_debug_log, want_monitor, want_monitor1, want_errorlog;
    bool start_line;
};

class MainCycleSwitches : public ::testing::TestWithParam<SwitchCase> {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(data_.file("Kervon"));
        ::setenv("ALLUSERSPROFILE", data_.path().c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("ALLUSERSPROFILE");
        bDebug = bDebugLog = k_monitor = k_monitor1 = k_errorlog = 0;
        start_app = 0;
        was_term_signal = 0;
    }

    static platform::DWORD run_main_cycle(void *) {
        StartServiceA();
        return 0;
    }

    ScratchDir data_;
};

TEST_P(MainCycleSwitches, SettleFromTheCommandLineAndTheConfiguration) {
    const SwitchCase &c = GetParam();
    write_file_bytes(data_.file("Kervon/kervon.ini"),
                     "[System]\r\nDebugLog=" + std::to_string(c.config_debug_log) +
                         "\r\nDebugMode=" + std::to_string(c.config_debug_mode) + "\r\n[Network]\r\nPort=4\r\n");
    ConsoleCapture console;
    bDebug = c.debug;
    bDebugLog = c.debug_log;
    k_monitor = c.monitor;
    k_monitor1 = c.monitor1;
    k_errorlog = 0;
    start_app = c.foreground;

    platform::HANDLE cycle = platform::CreateThread(nullptr, 0, run_main_cycle, nullptr, 0, nullptr);
    ASSERT_NE(cycle, nullptr);
    // The set-up has run and the console handler is in place well before
    // this: the stop comes as a Ctrl+C would.
    platform::Sleep(1500);
    ControlHandler(0);
    ASSERT_EQ(platform::WaitForSingleObject(cycle, 5000), platform::WAIT_OBJECT_0);
    platform::CloseHandle(cycle);
    // Nothing changes the switches after the threads have started.
    EXPECT_EQ(bDebug, c.want_debug);
    EXPECT_EQ(bDebugLog, c.want_debug_log);
    EXPECT_EQ(k_monitor, c.want_monitor);
    EXPECT_EQ(k_monitor1, c.want_monitor1);
    EXPECT_EQ(k_errorlog, c.want_errorlog);

    const std::string text = console.text();
    EXPECT_EQ(text.rfind("\nStart Service\n\nStart threads:", 0) == 0, c.start_line) << text;
    if (c.want_debug) {
        EXPECT_NE(text.find("\n\rStopService-end\nWas_term_signal !\nStopped main cycle !"), std::string::npos)
            << text;
    }
    EXPECT_EQ(was_term_signal, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, MainCycleSwitches,
    ::testing::Values(SwitchCase{"Debug", 1, 0, 0, 0, 1, 0, 0, 1, 0, 3, 2, 1, true},
                      SwitchCase{"DebugMax", 1, 0, 10, 10, 1, 0, 0, 1, 0, 10, 10, 0, true},
                      SwitchCase{"DebugMaxConfigWins", 1, 0, 10, 10, 1, 1, 0, 1, 1, 3, 2, 1, true},
                      SwitchCase{"DebugMaxConfigMode5", 1, 0, 10, 10, 1, 1, 5, 1, 1, 5, 10, 0, true},
                      SwitchCase{"ServiceWithDebugLog", 0, 0, 0, 0, 0, 1, 0, 1, 1, 3, 2, 1, false},
                      SwitchCase{"ServiceQuiet", 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MainCycle, WithoutKervonIniShowsTheMessageAndEndsWithCodeTwo) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ScratchDir empty;
    ::setenv("ALLUSERSPROFILE", empty.path().c_str(), 1);
    // The stop request of the fatal path goes to a manager of the test's
    // own, where no service is installed.
    ::setenv("OSKAVELDE_SCM_DIR", empty.file("scm").c_str(), 1);
    LoadTerminalServices(); // as the process entry does
    // The settled message, and beside it the path tried and the reason.
    // (The death test runs in a process of its own, with a directory of
    // its own.)
    EXPECT_EXIT(
        StartServiceA(), ::testing::ExitedWithCode(2),
        "^Error: Cannot open initialization file!\n"
        "Cannot open /tmp/osk-test-[^/]+/Kervon/kervon\\.ini: No such file or directory\n$");
    ::unsetenv("OSKAVELDE_SCM_DIR");
    ::unsetenv("ALLUSERSPROFILE");
}

} // namespace
