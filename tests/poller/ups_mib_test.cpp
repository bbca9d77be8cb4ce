// Storing of UPS-MIB answers into the device record: the number rule, the
// identity texts and the model classes they select, the rows whose storing
// depends on them, the output-source and phase flags, the alarm decoding,
// and the marker bytes; with texts and types no UPS should send.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "poller/ups_mib.h"

namespace {

// A zero-filled record and a fresh poll state, as at the start of a poll.
class Storing : public ::testing::Test {
  protected:
    TDevice d;
    TPollState state = {};
    std::uint8_t commlost = 0;

    void SetUp() override { std::memset(&d, 0, sizeof d); }
    void store(std::uint8_t row, const char *value) { analyze_datasnmp(d, state, row, value, commlost); }
    const std::uint8_t *raw() const { return reinterpret_cast<const std::uint8_t *>(&d); }
};

TEST(OidRequestTable, RowsOfTheAlarmCountAndTheEnds) {
    EXPECT_STREQ(OidRequest[0], "1.3.6.1.2.1.33.1.1.1.0");
    EXPECT_STREQ(OidRequest[alarm_row], "1.3.6.1.2.1.33.1.6.1.0");
    EXPECT_STREQ(OidRequest[oid_request_rows - 1], "1.3.6.1.2.1.33.1.9.6.0");
}

// ---- number rule, through row 9 -------------------------------------

struct NumberCase {
    const char *text;
    std::uint16_t stored;
};

void PrintTo(const NumberCase &c, std::ostream *os) { *os << '"' << c.text << '"'; }

class NumberRule : public Storing, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(NumberRule, StoresLow16BitsOfTheDecimalText) {
    store(9, GetParam().text);
    EXPECT_EQ(d.ChargeRemaining, GetParam().stored) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Table, NumberRule,
    ::testing::Values(NumberCase{"87", 87}, NumberCase{"87.5", 87}, NumberCase{"-1", 0xFFFF},
                      NumberCase{"70000", 4464}, NumberCase{" \t42", 42}, NumberCase{"+7", 7},
                      NumberCase{"4294967297", 1},  // wraps in 32 bits
                      NumberCase{"", 0}, NumberCase{"-", 0},
                      // Wrong types reach the rule as their printable text.
                      NumberCase{"n/a", 0},          // an octet string
                      NumberCase{"1.3.6.1.4.1", 1},  // an object identifier
                      NumberCase{"5 (battery)", 5},  // a decorated enumeration
                      NumberCase{"0:00:12.34", 0})); // a time text

TEST_F(Storing, NullValueCountsAsEmpty) {
    d.ChargeRemaining = 55;
    store(9, nullptr);
    EXPECT_EQ(d.ChargeRemaining, 0);
}

// ---- model text and model class (row 1) ------------------------------

struct ModelCase {
    const char *model;
    std::uint8_t model_class;
};

void PrintTo(const ModelCase &c, std::ostream *os) { *os << '"' << c.model << '"'; }

class ModelClass : public Storing, public ::testing::WithParamInterface<ModelCase> {};

TEST_P(ModelClass, FirstMatchingPrefixGivesTheClass) {
    state.model_class = 9;
    store(1, GetParam().model);
    EXPECT_EQ(state.model_class, GetParam().model_class) << '"' << GetParam().model << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Table, ModelClass,
    ::testing::Values(ModelCase{"P.TOLVE 3000", 1}, ModelCase{"P.TOLVE", 1}, ModelCase{"P.TOLV", 0},
                      ModelCase{"p.tolve 3000", 0}, ModelCase{"4T", 2}, ModelCase{"4T4 10kVA", 2},
                      ModelCase{"6T 20", 2}, ModelCase{"9T", 3}, ModelCase{"9T8 40", 3},
                      ModelCase{"QW 4T", 4}, ModelCase{"QW 4T4", 4}, ModelCase{"QW 6T", 4},
                      ModelCase{"QW 9T", 5}, ModelCase{"QW 9T8 60", 5}, ModelCase{"QW 8T", 0},
                      ModelCase{"X4T", 0}, ModelCase{"", 0},
                      // Only the 15 stored characters are tested.
                      ModelCase{"                P.TOLVE", 0}));

TEST_F(Storing, OversizedModelIsCutAtFifteenCharacters) {
    std::memset(&d.Reserved478[27], 0xAA, 1);
    d.UpsModelEnd = 0x55;
    d.Reserved523 = 0xAA;
    const std::string model = "P.TOLVE" + std::string(300, 'M');
    store(1, model.c_str());
    EXPECT_EQ(std::string(d.UpsModel), "P.TOLVEMMMMMMMM");
    EXPECT_EQ(raw()[521], 0);
    EXPECT_EQ(raw()[522], 0);
    EXPECT_EQ(raw()[505], 0xAA);
    EXPECT_EQ(raw()[523], 0xAA);
    EXPECT_EQ(state.model_class, 1);
}

TEST_F(Storing, ShorterModelLeavesNothingOfTheLongerOne) {
    store(1, "P.TOLVE 10000VA");
    store(1, "4T");
    for (std::size_t i = 2; i < sizeof d.UpsModel; ++i)
        EXPECT_EQ(d.UpsModel[i], 0) << "byte " << i;
    EXPECT_EQ(state.model_class, 2);
}

// ---- software version (row 2) ----------------------------------------

struct VersionCase {
    const char *version;
    const char *stored;
    std::uint8_t match;
};

void PrintTo(const VersionCase &c, std::ostream *os) { *os << '"' << c.version << '"'; }

class SoftwareVersion : public Storing, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(SoftwareVersion, StoredTextAndZephrolaMatch) {
    std::memset(d.Reserved537, 0xAA, sizeof d.Reserved537);
    store(2, GetParam().version);
    EXPECT_EQ(std::string(d.UpsSoftwareVersion), GetParam().stored);
    EXPECT_EQ(d.UpsSoftwareVersion[12], 0);
    EXPECT_EQ(raw()[537], 0xAA);
    EXPECT_EQ(state.sw_version_match, GetParam().match);
}

INSTANTIATE_TEST_SUITE_P(Table, SoftwareVersion,
                         ::testing::Values(VersionCase{"Zephrola", "Zephrola", 1},
                                           VersionCase{"Zephrola v1.234567", "Zephrola v1.", 1},
                                           VersionCase{"Zephrol", "Zephrol", 0},
                                           VersionCase{"zephrola", "zephrola", 0},
                                           VersionCase{"", "", 0},
                                           VersionCase{"3.02.17", "3.02.17", 0}));

// ---- rows that depend on the model class or the software version ------

struct IdentityCase {
    const char *model;
    const char *version;
    std::uint16_t minutes;     // row 8 with "12"
    std::uint16_t nominal;     // row 10
    std::uint16_t out_freq;    // row 23 with "600"
};

void PrintTo(const IdentityCase &c, std::ostream *os) { *os << '"' << c.model << "\" \"" << c.version << '"'; }

class IdentityRows : public Storing, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(IdentityRows, LaterRowsFollowThisPollsIdentity) {
    const IdentityCase &c = GetParam();
    store(1, c.model);
    store(2, c.version);
    store(8, "12");
    store(10, "2731");
    store(23, "600");
    EXPECT_EQ(d.MinutesRemaining, c.minutes);
    EXPECT_EQ(d.BatteryVoltage, 2731);
    EXPECT_EQ(d.BatteryNominal, c.nominal);
    EXPECT_EQ(d.OutputFrequency, c.out_freq);
}

INSTANTIATE_TEST_SUITE_P(Table, IdentityRows,
                         ::testing::Values(IdentityCase{"Alvera 1000", "1.0", 12, 240, 600},
                                           IdentityCase{"Alvera 1000", "Zephrola 2", 0xFFFF, 240, 600},
                                           IdentityCase{"P.TOLVE 3000", "1.0", 12, 240, 500},
                                           IdentityCase{"4T4 10", "1.0", 0xFFFF, 72, 600},
                                           IdentityCase{"9T8 40", "1.0", 0xFFFF, 36, 600},
                                           IdentityCase{"QW 4T 10", "1.0", 12, 72, 600},
                                           IdentityCase{"QW 9T8 40", "Zephrola", 0xFFFF, 36, 600},
                                           IdentityCase{"", "", 12, 240, 600}));

TEST_F(Storing, ClassOneOutputFrequencyIgnoresAnyValue) {
    store(1, "P.TOLVE");
    store(23, "garbage");
    EXPECT_EQ(d.OutputFrequency, 500);
}

// ---- class-1 bypass copies (rows 34 to 37) -----------------------------

TEST_F(Storing, ClassOneBypassRepeatsTheInputReadings) {
    store(1, "P.TOLVE 3000");
    d.InputVoltage[2] = 231;  // left from an earlier poll: row 17 not stored now
    store(14, "499");
    store(15, "229");
    store(16, "230");
    for (std::uint8_t row = 34; row <= 37; ++row)
        store(row, "7");
    EXPECT_EQ(d.BypassFrequency, 499);
    EXPECT_EQ(d.BypassVoltage[0], 229);
    EXPECT_EQ(d.BypassVoltage[1], 230);
    EXPECT_EQ(d.BypassVoltage[2], 231);
}

TEST_F(Storing, OtherClassesStoreTheirOwnBypassReadings) {
    store(1, "4T");
    store(14, "499");
    store(15, "229");
    store(34, "501");
    store(35, "228");
    store(36, "227");
    store(37, "226");
    EXPECT_EQ(d.BypassFrequency, 501);
    EXPECT_EQ(d.BypassVoltage[0], 228);
    EXPECT_EQ(d.BypassVoltage[1], 227);
    EXPECT_EQ(d.BypassVoltage[2], 226);
}

// ---- output source (row 22) --------------------------------------------

struct SourceCase {
    std::uint8_t before;
    const char *source;
    std::uint8_t after;
};

void PrintTo(const SourceCase &c, std::ostream *os) { *os << int(c.before) << " \"" << c.source << '"'; }

class OutputSource : public Storing, public ::testing::WithParamInterface<SourceCase> {};

TEST_P(OutputSource, SetsPoweredAndOnBatteryBits) {
    d.PowerFlags = GetParam().before;
    store(22, GetParam().source);
    EXPECT_EQ(d.PowerFlags, GetParam().after) << '"' << GetParam().source << '"';
}

INSTANTIATE_TEST_SUITE_P(Table, OutputSource,
                         ::testing::Values(SourceCase{0x0A, "1", 0x00},  // other
                                           SourceCase{0x0B, "2", 0x01},  // none: low battery kept
                                           SourceCase{0x00, "3", 0x08},  // normal
                                           SourceCase{0x02, "4", 0x08},  // bypass
                                           SourceCase{0x00, "5", 0x0A},  // battery
                                           SourceCase{0x0A, "6", 0x08},  // booster
                                           SourceCase{0x08, "", 0x00},
                                           SourceCase{0x00, "-1", 0x08},     // 65535
                                           SourceCase{0x00, "65541", 0x0A})); // 5 in 16 bits

// ---- input lines and phase mode (rows 13 and 24) ----------------------

struct PhaseCase {
    const char *input_lines;
    const char *output_lines;
    char phase;
};

void PrintTo(const PhaseCase &c, std::ostream *os) { *os << '"' << c.input_lines << "\" \"" << c.output_lines << '"'; }

class PhaseMode : public Storing, public ::testing::WithParamInterface<PhaseCase> {};

TEST_P(PhaseMode, FromInputAndOutputLines) {
    store(13, GetParam().input_lines);
    store(24, GetParam().output_lines);
    EXPECT_EQ(d.PhaseMode, GetParam().phase);
}

INSTANTIATE_TEST_SUITE_P(Table, PhaseMode,
                         ::testing::Values(PhaseCase{"1", "1", '1'}, PhaseCase{"1", "3", '2'},
                                           PhaseCase{"3", "1", '3'}, PhaseCase{"3", "3", '4'},
                                           PhaseCase{"0", "1", '3'}, PhaseCase{"", "1", '3'},
                                           PhaseCase{"65537", "1", '1'}, PhaseCase{"1", "65537", '1'},
                                           PhaseCase{"1", "", '2'}));

TEST_F(Storing, PhaseModeWithoutRow13IsSinglePhase) {
    store(24, "3");
    EXPECT_EQ(d.PhaseMode, '2');
}

// ---- alarm decoding (row 38) --------------------------------------------

struct AlarmCase {
    std::string value;
    std::uint8_t power, mode, battery, shutdown, fault, commlost;
};

std::string well_known(int n) { return "1.3.6.1.2.1.33.1.6.3." + std::to_string(n); }

void PrintTo(const AlarmCase &c, std::ostream *os) { *os << '"' << c.value << '"'; }

class AlarmRule : public Storing, public ::testing::WithParamInterface<AlarmCase> {};

TEST_P(AlarmRule, SetsTheAlarmsBit) {
    const AlarmCase &c = GetParam();
    store(alarm_row, c.value.c_str());
    EXPECT_EQ(d.PowerFlags, c.power);
    EXPECT_EQ(d.ModeFlags, c.mode);
    EXPECT_EQ(d.BatteryFlags, c.battery);
    EXPECT_EQ(d.ShutdownFlags, c.shutdown);
    EXPECT_EQ(d.FaultFlags, c.fault);
    EXPECT_EQ(commlost, c.commlost);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AlarmRule,
    ::testing::Values(
        //        value           power mode batt shut fault lost
        AlarmCase{well_known(1), 0, 0, 0x01, 0, 0, 0},     // battery bad
        AlarmCase{well_known(2), 0x02, 0, 0, 0, 0, 0},     // on battery
        AlarmCase{well_known(3), 0x01, 0, 0, 0, 0, 0},     // low battery
        AlarmCase{well_known(4), 0, 0, 0x01, 0, 0, 0},     // depleted battery
        AlarmCase{well_known(5), 0, 0, 0, 0, 0x02, 0},     // temperature bad
        AlarmCase{well_known(6), 0, 0, 0, 0, 0, 0},        // input bad
        AlarmCase{well_known(7), 0, 0, 0, 0, 0, 0},        // output bad
        AlarmCase{well_known(8), 0, 0, 0, 0, 0x04, 0},     // output overload
        AlarmCase{well_known(9), 0, 0x08, 0, 0, 0, 0},     // on bypass
        AlarmCase{well_known(10), 0, 0, 0x08, 0, 0, 0},     // bypass bad
        AlarmCase{well_known(11), 0, 0, 0, 0, 0, 0},       // output off as requested
        AlarmCase{well_known(12), 0, 0, 0, 0, 0, 0},       // UPS off as requested
        AlarmCase{well_known(13), 0, 0, 0, 0, 0x08, 0},    // charger failed
        AlarmCase{well_known(14), 0, 0, 0, 0, 0, 0},       // UPS output off
        AlarmCase{well_known(15), 0, 0, 0, 0, 0, 0},       // UPS system off
        AlarmCase{well_known(16), 0, 0, 0, 0, 0x08, 0},    // fan failure
        AlarmCase{well_known(17), 0, 0, 0, 0, 0x08, 0},    // fuse failure
        AlarmCase{well_known(18), 0, 0, 0, 0, 0x08, 0},    // general fault
        AlarmCase{well_known(19), 0, 0, 0, 0, 0, 0},       // diagnostic test failed
        AlarmCase{well_known(20), 0, 0, 0, 0, 0, 1},       // communications lost
        AlarmCase{well_known(21), 0, 0, 0, 0, 0, 0},       // awaiting power
        AlarmCase{well_known(22), 0, 0, 0, 0x08, 0, 0},    // shutdown pending
        AlarmCase{well_known(23), 0, 0, 0, 0x04, 0, 0},    // shutdown imminent
        AlarmCase{well_known(24), 0, 0, 0, 0x02, 0, 0},    // test in progress
        AlarmCase{well_known(25), 0, 0, 0, 0, 0, 0},       // beyond the well-known alarms
        AlarmCase{well_known(65538), 0x02, 0, 0, 0, 0, 0},    // 65538 is 2 in 16 bits
        AlarmCase{well_known(0), 0, 0, 0, 0, 0, 0},
        AlarmCase{"20", 0, 0, 0, 0, 0, 0},                           // no dot: passed over
        AlarmCase{"1.3.6.1.4.1.9.3", 0x01, 0, 0, 0, 0, 0},           // another subtree: its last arc
        AlarmCase{"1.3.6.1.2.1.33.1.6.3.", 0, 0, 0, 0, 0, 0},
        AlarmCase{"upsAlarmOnBattery", 0, 0, 0, 0, 0, 0},            // a name, not an OID
        AlarmCase{"", 0, 0, 0, 0, 0, 0}));

TEST_F(Storing, AlarmsOnlyAddBits) {
    store(alarm_row, well_known(20).c_str());
    store(alarm_row, well_known(2).c_str());
    store(alarm_row, well_known(3).c_str());
    store(alarm_row, well_known(7).c_str());
    EXPECT_EQ(d.PowerFlags, 0x03);
    EXPECT_EQ(commlost, 1);
}

TEST_F(Storing, ResetClearsEveryAlarmBitButOnBattery) {
    d.PowerFlags = d.ModeFlags = d.BatteryFlags = d.ShutdownFlags = d.FaultFlags = 0xFF;
    commlost = 1;
    resetAlarm(d, commlost);
    EXPECT_EQ(commlost, 0);
    EXPECT_EQ(d.PowerFlags, 0xFE);
    EXPECT_EQ(d.ModeFlags, 0xF7);
    EXPECT_EQ(d.BatteryFlags, 0xF6);
    EXPECT_EQ(d.ShutdownFlags, 0xF1);
    EXPECT_EQ(d.FaultFlags, 0xF1);
}

// ---- marker bytes --------------------------------------------------------

class MarkerBytes : public Storing, public ::testing::WithParamInterface<std::uint8_t> {};

TEST_P(MarkerBytes, EveryCallSetsTheFirstByteOfEachGroup) {
    store(GetParam(), "20");
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(d.MarkerBytes[i], i % 4 == 0 ? 0xFF : 0) << "marker byte " << i;
}

// Rows that store nothing, a number row, the alarm row, and rows beyond the
// table all count.
INSTANTIATE_TEST_SUITE_P(Rows, MarkerBytes, ::testing::Values(0, 3, 9, 21, 38, 42, 43, 255));

} // namespace
