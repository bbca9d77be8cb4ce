// Version codes for every version the agent distinguishes, through the
// platform's version seam.
#include <gtest/gtest.h>

#include <ostream>

#include "platform/version.h"
#include "shared/version_code.h"

namespace {

struct VersionCase {
    bool basic_ok;
    bool extended_ok;
    platform::DWORD platform_id;
    platform::DWORD major;
    platform::DWORD minor;
    platform::BYTE product;
    int code;
};

void PrintTo(const VersionCase &c, std::ostream *os) {
    *os << "platform " << c.platform_id << " " << c.major << "." << c.minor << " product "
        << int(c.product) << (c.basic_ok ? "" : " unreadable") << (c.extended_ok ? "" : " no-ext");
}

class VersionCodeTest : public ::testing::TestWithParam<VersionCase> {
  protected:
    void TearDown() override { platform::reset_reported_version(); }
};

TEST_P(VersionCodeTest, MapsReportedVersion) {
    const VersionCase &c = GetParam();
    platform::set_reported_version({c.basic_ok, c.extended_ok, c.platform_id, c.major, c.minor, c.product});
    EXPECT_EQ(GetVersionWin(), c.code);
}

constexpr platform::BYTE WS = platform::VER_NT_WORKSTATION;
constexpr platform::BYTE SRV = platform::VER_NT_SERVER;
constexpr platform::DWORD NT = platform::VER_PLATFORM_WIN32_NT;

INSTANTIATE_TEST_SUITE_P(
    Table, VersionCodeTest,
    ::testing::Values(VersionCase{false, true, NT, 6, 2, WS, 0},       // unreadable
                      VersionCase{true, true, 0, 3, 1, WS, 0},         // Win32s
                      VersionCase{true, true, 1, 4, 10, WS, 1},        // 9x
                      VersionCase{true, true, NT, 4, 0, WS, 2},        // NT 4
                      VersionCase{true, true, NT, 3, 51, SRV, 2},      // NT 3.51
                      VersionCase{true, true, NT, 5, 0, WS, 3},        // 2000
                      VersionCase{true, true, NT, 5, 1, WS, 4},        // XP
                      VersionCase{true, true, NT, 5, 2, WS, 5},        // 2003
                      VersionCase{true, true, NT, 5, 2, SRV, 5},       // product type ignored
                      VersionCase{true, true, NT, 5, 3, WS, 99},       // NT 5.x beyond 2003
                      VersionCase{true, true, NT, 6, 0, WS, 6},        // Vista
                      VersionCase{true, true, NT, 6, 0, SRV, 8},       // Server 2008
                      VersionCase{true, false, NT, 6, 0, SRV, 6},      // failed extended call
                      VersionCase{true, true, NT, 6, 1, WS, 7},        // 7
                      VersionCase{true, true, NT, 6, 1, SRV, 9},       // 2008 R2
                      VersionCase{true, false, NT, 6, 1, SRV, 7},      // failed extended call
                      VersionCase{true, true, NT, 6, 2, WS, 99},       // 8, the default here
                      VersionCase{true, true, NT, 6, 3, SRV, 99},      // 8.1 / 2012 R2
                      VersionCase{true, true, NT, 10, 0, WS, 99}));    // 10 and 11

TEST(VersionCode, DefaultIsNtCompatible) { EXPECT_EQ(GetVersionWin(), 99); }

TEST(VersionName, NamesEveryCodeAndUnknownOthers) {
    EXPECT_STREQ(VersionName(0), "Unknow !");
    EXPECT_STREQ(VersionName(5), "Windows 2003");
    EXPECT_STREQ(VersionName(9), "Windows Server 2008 R2");
    EXPECT_STREQ(VersionName(99), "NT compatible");
    EXPECT_STREQ(VersionName(42), "Unknow !");
}

} // namespace
