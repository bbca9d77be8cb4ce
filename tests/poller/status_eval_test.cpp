// Status text and status flag byte from the stored flag bytes, and the
// refresh of the device data block's head that clients read.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "poller/status_eval.h"

namespace {

struct StatusCase {
    const char *what;
    std::uint8_t power, mode, fault;
    std::uint16_t minutes;
    const char *text;
    std::uint8_t flags;
};

void PrintTo(const StatusCase &c, std::ostream *os) { *os << c.what; }

class StatusEvaluation : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusEvaluation, TextNamesTheFirstConditionFlagsTellAll) {
    const StatusCase &c = GetParam();
    TDevice d;
    std::memset(&d, 0, sizeof d);
    // A longer text from an earlier evaluation must not show through.
    std::memset(d.StatusText, 'X', sizeof d.StatusText);
    d.PowerFlags = c.power;
    d.ModeFlags = c.mode;
    d.FaultFlags = c.fault;
    d.MinutesRemaining = c.minutes;
    prepocet_Braxo_stat(d);

    char expected[30] = {};
    std::strncpy(expected, c.text, sizeof expected - 1);
    EXPECT_EQ(std::memcmp(d.StatusText, expected, sizeof expected), 0)
        << c.what << ": got \"" << std::string(d.StatusText, strnlen(d.StatusText, 30)) << '"';
    EXPECT_EQ(std::memcmp(d.DataStatusText, expected, sizeof expected), 0) << c.what;
    EXPECT_EQ(d.StatusFlags, c.flags) << c.what;
    EXPECT_EQ(d.DataStatusFlags, c.flags) << c.what;
}

// Output powered from the battery.
constexpr std::uint8_t kOnBattery = power_output_powered | power_on_battery;

std::uint8_t all_but(int bits) { return static_cast<std::uint8_t>(~bits); }

INSTANTIATE_TEST_SUITE_P(
    Table, StatusEvaluation,
    ::testing::Values(
        //         what, PowerFlags, ModeFlags, FaultFlags, minutes, text, StatusFlags
        StatusCase{"powered", power_output_powered, 0, 0, 0xFFFF, "On Line", 0},
        StatusCase{"on battery, no minutes", kOnBattery, 0, 0, 0xFFFF, "AC Fail !",
                   status_on_battery},
        StatusCase{"on battery, 12 minutes", kOnBattery, 0, 0, 12, "AC Fail ! Remaining 12 min",
                   status_on_battery},
        StatusCase{"on battery, 0 minutes", kOnBattery, 0, 0, 0, "AC Fail ! Remaining 0 min",
                   status_on_battery},
        StatusCase{"longest text", kOnBattery, 0, 0, 65534, "AC Fail ! Remaining 65534 min",
                   status_on_battery},
        StatusCase{"low battery on battery", kOnBattery | power_low_battery, 0, 0, 12,
                   "AC Fail, Low Battery !", status_on_battery | status_low_battery},
        StatusCase{"low battery alone", power_output_powered | power_low_battery, 0, 0, 12,
                   "On Line", 0},
        StatusCase{"not powered", 0, 0, 0, 0xFFFF, "Standby", status_standby},
        StatusCase{"on battery, not powered", power_on_battery, 0, 0, 12, "Standby",
                   status_standby | status_on_battery},
        StatusCase{"on bypass", power_output_powered, mode_on_bypass, 0, 0xFFFF, "On Bypass",
                   status_on_bypass},
        StatusCase{"bypass and overload", power_output_powered, mode_on_bypass,
                   fault_output_overload, 0xFFFF, "Overload", status_on_bypass | status_overload},
        StatusCase{"fault and temperature", power_output_powered, 0,
                   fault_failure | fault_temperature_bad, 0xFFFF, "On Line",
                   status_fault | status_temperature},
        StatusCase{"everything", power_on_battery | power_low_battery, mode_on_bypass,
                   fault_output_overload | fault_failure | fault_temperature_bad, 12, "Overload",
                   status_overload | status_low_battery | status_on_battery | status_on_bypass |
                       status_fault | status_standby | status_temperature},
        StatusCase{"bits no rule reads", all_but(kOnBattery | power_low_battery),
                   all_but(mode_on_bypass),
                   all_but(fault_output_overload | fault_failure | fault_temperature_bad), 12,
                   "Standby", status_standby}));

TEST(StatusEvaluation, RefreshesTheDataBlockHead) {
    TDevice d;
    std::memset(&d, 0, sizeof d);
    d.PowerFlags = power_output_powered;
    d.CS = 255;
    std::strncpy(d.CommText, "! General error !", sizeof d.CommText);
    std::strncpy(d.DataStatusText, "Communication is lost !", sizeof d.DataStatusText);
    d.LastResponse = 0x123456789LL;
    std::memset(d.DataAuxText, 'X', sizeof d.DataAuxText);
    d.BitWordLow = 0x55;
    d.BitFlags[0] = d.BitFlags[5] = 1;

    prepocet_Braxo_stat(d);

    EXPECT_EQ(d.DataCS, 255);
    EXPECT_EQ(std::memcmp(d.DataCommText, d.CommText, sizeof d.CommText), 0);
    EXPECT_EQ(std::string(d.DataStatusText), "On Line");
    for (std::size_t i = 7; i < sizeof d.DataStatusText; ++i)
        EXPECT_EQ(d.DataStatusText[i], 0) << "byte " << i;
    EXPECT_EQ(d.DataResponseTime, 0x23456789u);
    for (char ch : d.DataAuxText)
        EXPECT_EQ(ch, 0);
    EXPECT_EQ(d.BitWordLow, 0);
    for (std::uint8_t b : d.BitFlags)
        EXPECT_EQ(b, 0);
}

} // namespace
