// The console-session message box by Windows version: the ordinary box,
// the terminal services (which need both entry points), or nothing.
#include <gtest/gtest.h>

#include <string>

#include "platform/version.h"
#include "runtime/message_box.h"
#include "runtime/terminal_services.h"
#include "tests/support/terminal_services_check.h"

namespace {

struct VersionCase {
    const char *name;
    platform::DWORD platform_id;
    platform::DWORD major;
    platform::DWORD minor;
    bool shown;            // with the terminal-services entry points loaded
    bool shown_without_wts; // after WTSAPI32 has been unloaded
};

class MessageBoxWinVersion : public ::testing::TestWithParam<VersionCase> {
  protected:
    void TearDown() override {
        FreeLibraryWts();
        platform::reset_reported_version();
    }

    std::string shown_text() {
        ::testing::internal::CaptureStderr();
        MessageBoxWin("Cannot open initialization file!", "Error", 16);
        return ::testing::internal::GetCapturedStderr();
    }
};

TEST_P(MessageBoxWinVersion, ShowsByTheVersionsMechanism) {
    const VersionCase &c = GetParam();
    LoadTerminalServices(); // as the process entry does on this machine
    platform::ReportedVersion version;
    version.platform_id = c.platform_id;
    version.major = c.major;
    version.minor = c.minor;
    platform::set_reported_version(version);
    const std::string box = "Error: Cannot open initialization file!\n";

    EXPECT_EQ(shown_text(), c.shown ? box : "");
    FreeLibraryWts();
    EXPECT_EQ(shown_text(), c.shown_without_wts ? box : "");
}

INSTANTIATE_TEST_SUITE_P(
    Versions, MessageBoxWinVersion,
    ::testing::Values(VersionCase{"NT4", 2, 4, 0, true, true}, VersionCase{"W2000", 2, 5, 0, true, true},
                      VersionCase{"XP", 2, 5, 1, true, false}, VersionCase{"Server2003", 2, 5, 2, true, true},
                      VersionCase{"NT5_3", 2, 5, 3, true, false}, VersionCase{"Vista", 2, 6, 0, true, false},
                      VersionCase{"W8_1", 2, 6, 3, true, false}, VersionCase{"W10", 2, 10, 0, false, false},
                      VersionCase{"NT3", 2, 3, 51, false, false}, VersionCase{"W98", 1, 4, 10, false, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MessageBoxWin, ShowsNothingWhenTheVersionCannotBeRead) {
    LoadTerminalServices();
    platform::ReportedVersion version;
    version.basic_ok = false;
    platform::set_reported_version(version);
    ::testing::internal::CaptureStderr();
    MessageBoxWin("text", "Error", 48);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    platform::reset_reported_version();
    FreeLibraryWts();
}

TEST(TerminalServicesLoad, NoLookUpBeforeWindowsXp) {
    platform::ReportedVersion version;
    version.major = 5;
    version.minor = 0;
    platform::set_reported_version(version);
    LoadTerminalServices();
    EXPECT_NE(hlibKernel, nullptr);
    EXPECT_TRUE(terminal_services_released());
    platform::reset_reported_version();
}

// The KERNEL32 look-up does not depend on WTSAPI32, so the entry points can
// be set while the handle is null (the library did not load, or was let go
// elsewhere): they are cleared all the same.
class TerminalServicesUnload : public ::testing::TestWithParam<bool> {};

TEST_P(TerminalServicesUnload, ClearsTheHandleAndBothEntryPoints) {
    const bool handle_set = GetParam();
    LoadTerminalServices();
    ASSERT_NE(hlibWts, nullptr);
    if (!handle_set) {
        platform::FreeLibrary(hlibWts);
        hlibWts = nullptr;
    }
    WTSGetActiveConsoleSessionIdFn session = nullptr;
    WTSSendMessageFn send = nullptr;
    TerminalServicesEntries(&session, &send);
    EXPECT_NE(session, nullptr);
    EXPECT_NE(send, nullptr);

    FreeLibraryWts();
    EXPECT_TRUE(terminal_services_released());
    EXPECT_EQ(platform::GetModuleHandleA("WTSAPI32.DLL"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Handles, TerminalServicesUnload, ::testing::Values(true, false),
                         [](const auto &info) { return std::string(info.param ? "Loaded" : "HandleAlreadyNull"); });

} // namespace
