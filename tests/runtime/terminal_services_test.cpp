// Loading and release of the terminal-services entry points: no look-up
// before Windows XP, and a release that clears the handle and both entry
// points whether or not the handle was still set.
#include <gtest/gtest.h>

#include <string>

#include "platform/module.h"
#include "platform/version.h"
#include "runtime/terminal_services.h"
#include "tests/support/terminal_services_check.h"

namespace {

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
