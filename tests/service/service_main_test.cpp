// The service entry when its control handler cannot be registered (here:
// no dispatcher of this process runs the service): it releases the
// terminal services, reports nothing and returns without running the main
// cycle, for the older handler form and the extended one alike.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "platform/version.h"
#include "service/service_main.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/terminal_services_check.h"

namespace {

struct RegistrationCase {
    const char *name;
    platform::DWORD major;
    platform::DWORD minor;
    bool older_form;
};

void PrintTo(const RegistrationCase &c, std::ostream *os) { *os << c.name; }

class FailedRegistration : public ::testing::TestWithParam<RegistrationCase> {
  protected:
    void SetUp() override {
        // Should the main cycle run all the same, it finds no
        // configuration and stops through a manager of the test's own.
        ::setenv("ALLUSERSPROFILE", data_.path().c_str(), 1);
        ::setenv("OSKAVELDE_SCM_DIR", data_.file("scm").c_str(), 1);
    }
    void TearDown() override {
        platform::reset_reported_version();
        FreeLibraryWts();
        ::unsetenv("ALLUSERSPROFILE");
        ::unsetenv("OSKAVELDE_SCM_DIR");
    }
    ScratchDir data_;
};

TEST_P(FailedRegistration, ReleasesTheTerminalServicesAndReportsNothing) {
    const RegistrationCase &c = GetParam();
    platform::ReportedVersion version;
    version.major = c.major;
    version.minor = c.minor;
    platform::set_reported_version(version);
    lpfnRegisterServiceCtrlHandler = nullptr;
    lpfnRegisterServiceCtrlHandlerEx = nullptr;
    ssStatus = platform::SERVICE_STATUS{};

    ServiceMain(0, nullptr);

    EXPECT_EQ(hServiceStatus, nullptr);
    EXPECT_EQ(ssStatus.dwCurrentState, 0u);
    EXPECT_EQ(ssStatus.dwControlsAccepted, 0u);
    EXPECT_TRUE(terminal_services_released());
    // The registration that was tried is that of the version.
    EXPECT_EQ(lpfnRegisterServiceCtrlHandler != nullptr, c.older_form);
    EXPECT_EQ(lpfnRegisterServiceCtrlHandlerEx != nullptr, !c.older_form);
}

INSTANTIATE_TEST_SUITE_P(Forms, FailedRegistration,
                         ::testing::Values(RegistrationCase{"nt4_older_form", 4, 0, true},
                                           RegistrationCase{"nt62_extended_form", 6, 2, false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
