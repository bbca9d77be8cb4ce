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

INSTANTIATE_TEST_SUITE_P(
    Table, StatusEvaluation,
    ::testing::Values(
        //         what                          power mode  fault minutes  text                         flags
        StatusCase{"powered", 0x08, 0, 0, 0xFFFF, "On Line", 0x00},
        StatusCase{"on battery, no minutes", 0x0A, 0, 0, 0xFFFF, "AC Fail !", 0x04},
        StatusCase{"on battery, 12 minutes", 0x0A, 0, 0, 12, "AC Fail ! Remaining 12 min", 0x04},
        StatusCase{"on battery, 0 minutes", 0x0A, 0, 0, 0, "AC Fail ! Remaining 0 min", 0x04},
        StatusCase{"longest text", 0x0A, 0, 0, 65534, "AC Fail ! Remaining 65534 min", 0x04},
        StatusCase{"low battery on battery", 0x0B, 0, 0, 12, "AC Fail, Low Battery !", 0x06},
        StatusCase{"low battery alone", 0x09, 0, 0, 12, "On Line", 0x00},
        StatusCase{"not powered", 0x00, 0, 0, 0xFFFF, "Standby", 0x20},
        StatusCase{"on battery, not powered", 0x02, 0, 0, 12, "Standby", 0x24},
        StatusCase{"on bypass", 0x08, 0x08, 0, 0xFFFF, "On Bypass", 0x08},
        StatusCase{"bypass and overload", 0x08, 0x08, 0x04, 0xFFFF, "Overload", 0x09},
        StatusCase{"fault and temperature", 0x08, 0, 0x0A, 0xFFFF, "On Line", 0x50},
        StatusCase{"everything", 0x03, 0x08, 0x0E, 12, "Overload", 0x7F},
        StatusCase{"bits no rule reads", 0xF4, 0xF7, 0xF1, 12, "Standby", 0x20}));

TEST(StatusEvaluation, RefreshesTheDataBlockHead) {
    TDevice d;
    std::memset(&d, 0, sizeof d);
    d.PowerFlags = 0x08;
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
