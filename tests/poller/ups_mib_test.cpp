// Storing of UPS-MIB answers into the device record: the number rule, the
// identity texts and the model classes they select, the rows whose storing
// depends on them, the output-source and phase flags, the alarm decoding,
// and the marker bytes; with texts and types no UPS should send.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

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

// ---- the object table and the names of its rows -------------------------

// The arcs of a dotted OID, for comparing two OIDs in MIB order.
std::vector<unsigned long> arcs(const char *oid) {
    std::vector<unsigned long> out;
    std::istringstream in(oid);
    std::string arc;
    while (std::getline(in, arc, '.'))
        out.push_back(std::stoul(arc));
    return out;
}

// Every row is filled and the rows follow the MIB's order, so a row that
// went missing or moved shows here; a name that points at the wrong row
// shows in the cases below.
TEST(OidRequestTable, EveryRowFilledInMibOrder) {
    for (int row = row_ident_manufacturer; row < oid_request_rows; ++row) {
        const std::size_t length = strnlen(OidRequest[row], sizeof OidRequest[row]);
        ASSERT_GT(length, 0u) << "row " << row;
        ASSERT_LT(length, sizeof OidRequest[row]) << "row " << row;
        EXPECT_EQ(std::string(OidRequest[row]).rfind("1.3.6.1.2.1.33.1.", 0), 0u) << "row " << row;
        if (row > row_ident_manufacturer) {
            EXPECT_LT(arcs(OidRequest[row - 1]), arcs(OidRequest[row])) << "row " << row;
        }
    }
}

struct NamedRow {
    std::uint8_t row;
    const char *oid;
};

void PrintTo(const NamedRow &c, std::ostream *os) { *os << "row " << int(c.row); }

class OidRequestRow : public ::testing::TestWithParam<NamedRow> {};

TEST_P(OidRequestRow, NameFindsItsObject) {
    EXPECT_STREQ(OidRequest[GetParam().row], GetParam().oid);
}

// The ends of the table and the rows whose storing other rows depend on or
// that the poll treats apart.
INSTANTIATE_TEST_SUITE_P(
    Table, OidRequestRow,
    ::testing::Values(NamedRow{row_ident_manufacturer, "1.3.6.1.2.1.33.1.1.1.0"},
                      NamedRow{row_ident_model, "1.3.6.1.2.1.33.1.1.2.0"},
                      NamedRow{row_ident_ups_software_version, "1.3.6.1.2.1.33.1.1.3.0"},
                      NamedRow{row_estimated_minutes_remaining, "1.3.6.1.2.1.33.1.2.3.0"},
                      NamedRow{row_input_num_lines, "1.3.6.1.2.1.33.1.3.2.0"},
                      NamedRow{row_input_voltage_1, "1.3.6.1.2.1.33.1.3.3.1.3.1"},
                      NamedRow{row_input_true_power_1, "1.3.6.1.2.1.33.1.3.3.1.5.1"},
                      NamedRow{row_output_source, "1.3.6.1.2.1.33.1.4.1.0"},
                      NamedRow{row_output_num_lines, "1.3.6.1.2.1.33.1.4.3.0"},
                      NamedRow{row_output_percent_load_3, "1.3.6.1.2.1.33.1.4.4.1.5.3"},
                      NamedRow{row_bypass_voltage_1, "1.3.6.1.2.1.33.1.5.3.1.2.1"},
                      NamedRow{row_alarms_present, "1.3.6.1.2.1.33.1.6.1.0"},
                      NamedRow{row_config_output_voltage, "1.3.6.1.2.1.33.1.9.3.0"},
                      NamedRow{row_config_output_power, "1.3.6.1.2.1.33.1.9.6.0"}));

// ---- number rule, through upsEstimatedChargeRemaining ---------------

struct NumberCase {
    const char *text;
    std::uint16_t stored;
};

void PrintTo(const NumberCase &c, std::ostream *os) { *os << '"' << c.text << '"'; }

class NumberRule : public Storing, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(NumberRule, StoresLow16BitsOfTheDecimalText) {
    store(row_estimated_charge_remaining, GetParam().text);
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
    store(row_estimated_charge_remaining, nullptr);
    EXPECT_EQ(d.ChargeRemaining, 0);
}

// ---- model text and model class (upsIdentModel) -----------------------

struct ModelCase {
    const char *model;
    std::uint8_t model_class;
};

void PrintTo(const ModelCase &c, std::ostream *os) { *os << '"' << c.model << '"'; }

class ModelClass : public Storing, public ::testing::WithParamInterface<ModelCase> {};

TEST_P(ModelClass, FirstMatchingPrefixGivesTheClass) {
    state.model_class = 9;
    store(row_ident_model, GetParam().model);
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
    store(row_ident_model, model.c_str());
    EXPECT_EQ(std::string(d.UpsModel), "P.TOLVEMMMMMMMM");
    EXPECT_EQ(raw()[521], 0);
    EXPECT_EQ(raw()[522], 0);
    EXPECT_EQ(raw()[505], 0xAA);
    EXPECT_EQ(raw()[523], 0xAA);
    EXPECT_EQ(state.model_class, 1);
}

TEST_F(Storing, ShorterModelLeavesNothingOfTheLongerOne) {
    store(row_ident_model, "P.TOLVE 10000VA");
    store(row_ident_model, "4T");
    for (std::size_t i = 2; i < sizeof d.UpsModel; ++i)
        EXPECT_EQ(d.UpsModel[i], 0) << "byte " << i;
    EXPECT_EQ(state.model_class, 2);
}

// ---- software version (upsIdentUPSSoftwareVersion) --------------------

struct VersionCase {
    const char *version;
    const char *stored;
    std::uint8_t match;
};

void PrintTo(const VersionCase &c, std::ostream *os) { *os << '"' << c.version << '"'; }

class SoftwareVersion : public Storing, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(SoftwareVersion, StoredTextAndZephrolaMatch) {
    std::memset(d.Reserved537, 0xAA, sizeof d.Reserved537);
    store(row_ident_ups_software_version, GetParam().version);
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
    std::uint16_t minutes;  // upsEstimatedMinutesRemaining "12"
    std::uint16_t nominal;  // with upsBatteryVoltage
    std::uint16_t out_freq; // upsOutputFrequency "600"
};

void PrintTo(const IdentityCase &c, std::ostream *os) { *os << '"' << c.model << "\" \"" << c.version << '"'; }

class IdentityRows : public Storing, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(IdentityRows, LaterRowsFollowThisPollsIdentity) {
    const IdentityCase &c = GetParam();
    store(row_ident_model, c.model);
    store(row_ident_ups_software_version, c.version);
    store(row_estimated_minutes_remaining, "12");
    store(row_battery_voltage, "2731");
    store(row_output_frequency, "600");
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
    store(row_ident_model, "P.TOLVE");
    store(row_output_frequency, "garbage");
    EXPECT_EQ(d.OutputFrequency, 500);
}

// ---- class-1 bypass copies (upsBypassFrequency and upsBypassVoltage) ---

TEST_F(Storing, ClassOneBypassRepeatsTheInputReadings) {
    store(row_ident_model, "P.TOLVE 3000");
    d.InputVoltage[2] = 231; // left from an earlier poll: line 3 not stored now
    store(row_input_frequency_1, "499");
    store(row_input_voltage_1, "229");
    store(row_input_voltage_2, "230");
    for (int row = row_bypass_frequency; row <= row_bypass_voltage_3; ++row)
        store(static_cast<std::uint8_t>(row), "7");
    EXPECT_EQ(d.BypassFrequency, 499);
    EXPECT_EQ(d.BypassVoltage[0], 229);
    EXPECT_EQ(d.BypassVoltage[1], 230);
    EXPECT_EQ(d.BypassVoltage[2], 231);
}

TEST_F(Storing, OtherClassesStoreTheirOwnBypassReadings) {
    store(row_ident_model, "4T");
    store(row_input_frequency_1, "499");
    store(row_input_voltage_1, "229");
    store(row_bypass_frequency, "501");
    store(row_bypass_voltage_1, "228");
    store(row_bypass_voltage_2, "227");
    store(row_bypass_voltage_3, "226");
    EXPECT_EQ(d.BypassFrequency, 501);
    EXPECT_EQ(d.BypassVoltage[0], 228);
    EXPECT_EQ(d.BypassVoltage[1], 227);
    EXPECT_EQ(d.BypassVoltage[2], 226);
}

// ---- output source (upsOutputSource) -----------------------------------

struct SourceCase {
    std::uint8_t before;
    const char *source;
    std::uint8_t after;
};

void PrintTo(const SourceCase &c, std::ostream *os) { *os << int(c.before) << " \"" << c.source << '"'; }

class OutputSource : public Storing, public ::testing::WithParamInterface<SourceCase> {};

constexpr std::uint8_t kPoweredOnBattery = power_output_powered | power_on_battery;

TEST_P(OutputSource, SetsPoweredAndOnBatteryBits) {
    d.PowerFlags = GetParam().before;
    store(row_output_source, GetParam().source);
    EXPECT_EQ(d.PowerFlags, GetParam().after) << '"' << GetParam().source << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Table, OutputSource,
    ::testing::Values(SourceCase{kPoweredOnBattery, "1", 0}, // other
                      SourceCase{kPoweredOnBattery | power_low_battery, "2",
                                 power_low_battery},            // none: low battery kept
                      SourceCase{0, "3", power_output_powered}, // normal
                      SourceCase{power_on_battery, "4", power_output_powered},  // bypass
                      SourceCase{0, "5", kPoweredOnBattery},                    // battery
                      SourceCase{kPoweredOnBattery, "6", power_output_powered}, // booster
                      SourceCase{power_output_powered, "", 0},
                      SourceCase{0, "-1", power_output_powered},   // 65535
                      SourceCase{0, "65541", kPoweredOnBattery})); // 5 in 16 bits

// ---- input lines and phase mode (upsInputNumLines, upsOutputNumLines) --

struct PhaseCase {
    const char *input_lines;
    const char *output_lines;
    char phase;
};

void PrintTo(const PhaseCase &c, std::ostream *os) { *os << '"' << c.input_lines << "\" \"" << c.output_lines << '"'; }

class PhaseMode : public Storing, public ::testing::WithParamInterface<PhaseCase> {};

TEST_P(PhaseMode, FromInputAndOutputLines) {
    store(row_input_num_lines, GetParam().input_lines);
    store(row_output_num_lines, GetParam().output_lines);
    EXPECT_EQ(d.PhaseMode, GetParam().phase);
}

INSTANTIATE_TEST_SUITE_P(Table, PhaseMode,
                         ::testing::Values(PhaseCase{"1", "1", '1'}, PhaseCase{"1", "3", '2'},
                                           PhaseCase{"3", "1", '3'}, PhaseCase{"3", "3", '4'},
                                           PhaseCase{"0", "1", '3'}, PhaseCase{"", "1", '3'},
                                           PhaseCase{"65537", "1", '1'}, PhaseCase{"1", "65537", '1'},
                                           PhaseCase{"1", "", '2'}));

TEST_F(Storing, PhaseModeWithoutInputLinesIsSinglePhase) {
    store(row_output_num_lines, "3");
    EXPECT_EQ(d.PhaseMode, '2');
}

// ---- alarm decoding (under upsAlarmsPresent) ----------------------------

struct AlarmCase {
    std::string value;
    std::uint8_t power, mode, battery, shutdown, fault, commlost;
};

std::string well_known(int n) { return "1.3.6.1.2.1.33.1.6.3." + std::to_string(n); }

void PrintTo(const AlarmCase &c, std::ostream *os) { *os << '"' << c.value << '"'; }

class AlarmRule : public Storing, public ::testing::WithParamInterface<AlarmCase> {};

TEST_P(AlarmRule, SetsTheAlarmsBit) {
    const AlarmCase &c = GetParam();
    store(row_alarms_present, c.value.c_str());
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
        // value; then PowerFlags, ModeFlags, BatteryFlags, ShutdownFlags, FaultFlags, commlost
        AlarmCase{well_known(1), 0, 0, battery_bad, 0, 0, 0},
        AlarmCase{well_known(2), power_on_battery, 0, 0, 0, 0, 0},
        AlarmCase{well_known(3), power_low_battery, 0, 0, 0, 0, 0},
        AlarmCase{well_known(4), 0, 0, battery_bad, 0, 0, 0}, // depleted battery
        AlarmCase{well_known(5), 0, 0, 0, 0, fault_temperature_bad, 0},
        AlarmCase{well_known(6), 0, 0, 0, 0, 0, 0}, // input bad
        AlarmCase{well_known(7), 0, 0, 0, 0, 0, 0}, // output bad
        AlarmCase{well_known(8), 0, 0, 0, 0, fault_output_overload, 0},
        AlarmCase{well_known(9), 0, mode_on_bypass, 0, 0, 0, 0},
        AlarmCase{well_known(10), 0, 0, battery_bypass_bad, 0, 0, 0},
        AlarmCase{well_known(11), 0, 0, 0, 0, 0, 0},             // output off as requested
        AlarmCase{well_known(12), 0, 0, 0, 0, 0, 0},             // UPS off as requested
        AlarmCase{well_known(13), 0, 0, 0, 0, fault_failure, 0}, // charger failed
        AlarmCase{well_known(14), 0, 0, 0, 0, 0, 0},             // UPS output off
        AlarmCase{well_known(15), 0, 0, 0, 0, 0, 0},             // UPS system off
        AlarmCase{well_known(16), 0, 0, 0, 0, fault_failure, 0}, // fan failure
        AlarmCase{well_known(17), 0, 0, 0, 0, fault_failure, 0}, // fuse failure
        AlarmCase{well_known(18), 0, 0, 0, 0, fault_failure, 0}, // general fault
        AlarmCase{well_known(19), 0, 0, 0, 0, 0, 0},             // diagnostic test failed
        AlarmCase{well_known(20), 0, 0, 0, 0, 0, 1},             // communications lost
        AlarmCase{well_known(21), 0, 0, 0, 0, 0, 0},             // awaiting power
        AlarmCase{well_known(22), 0, 0, 0, shutdown_pending, 0, 0},
        AlarmCase{well_known(23), 0, 0, 0, shutdown_imminent, 0, 0},
        AlarmCase{well_known(24), 0, 0, 0, shutdown_test_in_progress, 0, 0},
        AlarmCase{well_known(25), 0, 0, 0, 0, 0, 0}, // beyond the well-known alarms
        AlarmCase{well_known(65538), power_on_battery, 0, 0, 0, 0, 0}, // 2 in 16 bits
        AlarmCase{well_known(0), 0, 0, 0, 0, 0, 0},
        AlarmCase{"20", 0, 0, 0, 0, 0, 0}, // no dot: passed over
        // another subtree: its last arc
        AlarmCase{"1.3.6.1.4.1.9.3", power_low_battery, 0, 0, 0, 0, 0},
        AlarmCase{"1.3.6.1.2.1.33.1.6.3.", 0, 0, 0, 0, 0, 0},
        AlarmCase{"upsAlarmOnBattery", 0, 0, 0, 0, 0, 0}, // a name, not an OID
        AlarmCase{"", 0, 0, 0, 0, 0, 0}));

TEST_F(Storing, AlarmsOnlyAddBits) {
    store(row_alarms_present, well_known(20).c_str());
    store(row_alarms_present, well_known(2).c_str());
    store(row_alarms_present, well_known(3).c_str());
    store(row_alarms_present, well_known(7).c_str());
    EXPECT_EQ(d.PowerFlags, power_on_battery | power_low_battery);
    EXPECT_EQ(commlost, 1);
}

TEST_F(Storing, ResetClearsEveryAlarmBitButOnBattery) {
    d.PowerFlags = d.ModeFlags = d.BatteryFlags = d.ShutdownFlags = d.FaultFlags = 0xFF;
    commlost = 1;
    resetAlarm(d, commlost);
    EXPECT_EQ(commlost, 0);
    const auto all_but = [](int bits) { return static_cast<std::uint8_t>(~bits); };
    EXPECT_EQ(d.PowerFlags, all_but(power_low_battery));
    EXPECT_EQ(d.ModeFlags, all_but(mode_on_bypass));
    EXPECT_EQ(d.BatteryFlags, all_but(battery_bad | battery_bypass_bad));
    EXPECT_EQ(d.ShutdownFlags,
              all_but(shutdown_test_in_progress | shutdown_imminent | shutdown_pending));
    EXPECT_EQ(d.FaultFlags, all_but(fault_temperature_bad | fault_output_overload | fault_failure));
}

// ---- marker bytes --------------------------------------------------------

class MarkerBytes : public Storing, public ::testing::WithParamInterface<std::uint8_t> {};

TEST_P(MarkerBytes, EveryCallSetsTheFirstByteOfEachGroup) {
    store(GetParam(), "20");
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(d.MarkerBytes[i], i % 4 == 0 ? 0xFF : 0) << "marker byte " << i;
}

// Rows that store nothing, a number row, the alarm row, and numbers beyond
// the table all count.
INSTANTIATE_TEST_SUITE_P(Rows, MarkerBytes,
                         ::testing::Values(row_ident_manufacturer, row_ident_agent_software_version,
                                           row_estimated_charge_remaining, row_input_true_power_1,
                                           row_alarms_present, row_config_output_power,
                                           oid_request_rows, 255));

} // namespace
