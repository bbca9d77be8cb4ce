// The console-session message box by Windows version: the ordinary box,
// the terminal services (which need both entry points), or nothing.
#include <gtest/gtest.h>

#include <string>

#include "platform/version.h"
#include "runtime/message_box.h"
#include "runtime/terminal_services.h"

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

} // namespace
