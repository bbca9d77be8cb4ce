// Complete polls of one UPS against snmpsimd: what each kind of UPS leaves
// in the device record byte for byte, the communication flag, the result
// and the log; the alarm walk and its fallback; agents that answer an
// error, or without a value, or with control bytes in their texts (a
// rogue agent); agents that stop answering (through the fault-injecting
// relay); addresses that get no poll at all; a session that gets no socket.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>
#include <thread>

#include "poller/snmp_poll.h"
#include "poller/ups_mib.h"
#include "shared/debug_log.h"
#include "shared/device_table.h"
#include "shared/ini_record.h"
#include "shared/pending_commands.h"
#include "snmp/snmp_pp.h"
#include "tests/support/console_capture.h"
#include "tests/support/descriptors_used_up.h"
#include "tests/support/rogue_agent.h"
#include "tests/support/snmpsim_fixture.h"
#include "tests/support/udp_relay.h"
#include "tests/support/wait_until.h"

namespace {

constexpr std::uint16_t kSlot = 7;
// A flag value no poll writes: it shows that the poll left the flag alone.
constexpr std::int32_t kFlagUntouched = 5;

// Every bit that a flag byte of the record can hold.
constexpr std::uint8_t kAllPower = power_low_battery | power_on_battery | power_output_powered;
constexpr std::uint8_t kAllMode = mode_poll_cleared | mode_on_bypass;
constexpr std::uint8_t kAllBattery = battery_bad | battery_bypass_bad;
constexpr std::uint8_t kAllShutdown =
    shutdown_test_in_progress | shutdown_imminent | shutdown_pending;
constexpr std::uint8_t kAllFault = fault_temperature_bad | fault_output_overload | fault_failure;
constexpr std::uint8_t kAllStatus = status_overload | status_low_battery | status_on_battery |
                                    status_on_bypass | status_fault | status_standby |
                                    status_temperature;

std::uint8_t without(std::uint8_t flags, int bits) {
    return static_cast<std::uint8_t>(flags & ~bits);
}

// A fixed-width text field: zero bytes after a shorter text, none after a
// text that fills it.
template <std::size_t N> void set_text(char (&field)[N], const char *text) {
    std::memset(field, 0, N);
    std::memcpy(field, text, std::min(std::strlen(text), N));
}

void set3(std::uint16_t (&field)[3], std::uint16_t a, std::uint16_t b, std::uint16_t c) {
    field[0] = a;
    field[1] = b;
    field[2] = c;
}

// A record as an earlier poll of some other UPS left it: every field a poll
// writes holds a value no test UPS reports, and every flag bit is set.
void fill_stale(TDevice &d) {
    std::memset(&d, 0, sizeof d);
    set_text(d.Name, "UPS seven");
    d.Connection = AGSNMP;
    d.SetupFlag = 1;
    d.Device = 7;
    d.DeviceType = 21;
    d.LastRequest = 0x123456700;
    d.LastResponse = 0x123456789;
    set_text(d.UpsModel, "Old model");
    set_text(d.UpsSoftwareVersion, "Old 1.0");
    for (std::uint16_t *f :
         {&d.MinutesRemaining, &d.ChargeRemaining, &d.BatteryVoltage, &d.BatteryTemperature,
          &d.InputFrequency, &d.OutputFrequency, &d.BypassFrequency, &d.ConfigOutputVoltage,
          &d.ConfigOutputFreq, &d.ConfigOutputVA, &d.ConfigOutputPower})
        *f = 0x7777;
    for (std::uint16_t(*f)[3] : {&d.InputVoltage, &d.InputCurrent, &d.OutputVoltage,
                                 &d.OutputCurrent, &d.OutputLoad, &d.BypassVoltage})
        set3(*f, 0x7777, 0x7777, 0x7777);
    d.PowerFlags = kAllPower;
    d.ModeFlags = kAllMode;
    d.BatteryFlags = kAllBattery;
    d.ShutdownFlags = kAllShutdown;
    d.FaultFlags = kAllFault;
    d.PhaseMode = '4';
    d.ZeroWord = 0x1234;
    d.ZeroByte = 0x12;
    d.BatteryNominal = 36;
    set_text(d.StatusText, "Old status");
    d.StatusFlags = kAllStatus;
}

// What every poll that got its session writes before its first request.
void presets(TDevice &d) {
    d.FixedDigit = '3';
    d.DigitValue = 0xFFD0;
    d.BatteryNominal = 240;
    d.ZeroWord = 0;
    d.ZeroByte = 0;
    d.ModeFlags = without(d.ModeFlags, mode_poll_cleared);
    d.MinutesRemaining = 0xFFFF;
}

void markers(TDevice &d) {
    for (int group = 0; group < 6; ++group)
        d.MarkerBytes[group * 4] = 0xFF;
}

// The clearing at the start of the alarm walk.
void alarm_reset(TDevice &d) {
    d.BatteryFlags = without(d.BatteryFlags, kAllBattery);
    d.PowerFlags = without(d.PowerFlags, power_low_battery);
    d.FaultFlags = without(d.FaultFlags, kAllFault);
    d.ModeFlags = without(d.ModeFlags, mode_on_bypass);
    d.ShutdownFlags = without(d.ShutdownFlags, kAllShutdown);
}

// The status evaluation's result and the refreshed head of the data block.
void evaluated(TDevice &d, const char *text, std::uint8_t flags) {
    set_text(d.StatusText, text);
    d.StatusFlags = flags;
    d.DataStatusFlags = flags;
    std::memcpy(d.DataStatusText, d.StatusText, sizeof d.DataStatusText);
    d.DataCS = d.CS;
    std::memcpy(d.DataCommText, d.CommText, sizeof d.DataCommText);
    d.DataResponseTime = static_cast<std::uint32_t>(d.LastResponse);
    std::memcpy(d.DataAuxText, d.AuxText, sizeof d.DataAuxText);
}

// What a poll that ends with communication lost writes for the browse
// record; the status flags and the device data block keep theirs.
void shown_lost(TDevice &d) { set_text(d.StatusText, "Communication is lost !"); }

// The single-phase UPS on line of online.snmprec, its rows up to last
// stored (every data file of that family differs from it in a few rows).
void online_rows(TDevice &d, int last = row_config_output_power) {
    if (last >= row_ident_manufacturer)
        markers(d);
    if (last >= row_ident_model)
        set_text(d.UpsModel, "Vega 3000 RT");
    if (last >= row_ident_ups_software_version)
        set_text(d.UpsSoftwareVersion, "UPS 02.14");
    if (last >= row_estimated_minutes_remaining)
        d.MinutesRemaining = 42;
    if (last >= row_estimated_charge_remaining)
        d.ChargeRemaining = 100;
    if (last >= row_battery_voltage) {
        d.BatteryVoltage = 816;
        d.BatteryNominal = 240;
    }
    if (last >= row_battery_temperature)
        d.BatteryTemperature = 26;
    if (last >= row_input_frequency_1)
        d.InputFrequency = 499;
    if (last >= row_input_voltage_3)
        set3(d.InputVoltage, 231, 0, 0);
    if (last >= row_input_current_3)
        set3(d.InputCurrent, 62, 0, 0);
    if (last >= row_output_source)
        d.PowerFlags = without(d.PowerFlags | power_output_powered, power_on_battery);
    if (last >= row_output_frequency)
        d.OutputFrequency = 500;
    if (last >= row_output_num_lines)
        d.PhaseMode = '1';
    if (last >= row_output_voltage_3)
        set3(d.OutputVoltage, 230, 0, 0);
    if (last >= row_output_current_3)
        set3(d.OutputCurrent, 54, 0, 0);
    if (last >= row_output_percent_load_3)
        set3(d.OutputLoad, 41, 0, 0);
    if (last >= row_bypass_frequency)
        d.BypassFrequency = 500;
    if (last >= row_bypass_voltage_3)
        set3(d.BypassVoltage, 229, 0, 0);
    if (last >= row_alarms_present)
        alarm_reset(d);
    if (last >= row_config_output_voltage)
        d.ConfigOutputVoltage = 230;
    if (last >= row_config_output_freq)
        d.ConfigOutputFreq = 500;
    if (last >= row_config_output_va)
        d.ConfigOutputVA = 3000;
    if (last >= row_config_output_power)
        d.ConfigOutputPower = 2700;
}

void expect_online(TDevice &d) {
    online_rows(d);
    evaluated(d, "On Line", 0);
}

void expect_three_phase(TDevice &d) {
    markers(d);
    set_text(d.UpsModel, "Orion 40K 3/3");
    set_text(d.UpsSoftwareVersion, "UPS 05.02");
    d.MinutesRemaining = 18;
    d.ChargeRemaining = 97;
    d.BatteryVoltage = 4320;
    d.BatteryTemperature = 31;
    d.InputFrequency = 501;
    set3(d.InputVoltage, 228, 232, 235);
    set3(d.InputCurrent, 414, 397, 421);
    d.PowerFlags = power_output_powered;
    d.OutputFrequency = 499;
    // Three lines in and three out.
    d.PhaseMode = '4';
    set3(d.OutputVoltage, 229, 230, 231);
    set3(d.OutputCurrent, 388, 371, 402);
    set3(d.OutputLoad, 64, 62, 68);
    d.BypassFrequency = 502;
    set3(d.BypassVoltage, 227, 233, 234);
    alarm_reset(d);
    d.ConfigOutputVoltage = 230;
    d.ConfigOutputFreq = 500;
    d.ConfigOutputVA = 40000;
    d.ConfigOutputPower = 36000;
    evaluated(d, "On Line", 0);
}

void expect_on_battery(TDevice &d) {
    markers(d);
    set_text(d.UpsModel, "Vega 1500");
    set_text(d.UpsSoftwareVersion, "UPS 02.09");
    d.MinutesRemaining = 3;
    d.ChargeRemaining = 22;
    d.BatteryVoltage = 218;
    d.BatteryTemperature = 33;
    d.InputFrequency = 0;
    set3(d.InputVoltage, 0, 0, 0);
    set3(d.InputCurrent, 0, 0, 0);
    d.OutputFrequency = 500;
    d.PhaseMode = '1';
    set3(d.OutputVoltage, 226, 0, 0);
    set3(d.OutputCurrent, 31, 0, 0);
    set3(d.OutputLoad, 47, 0, 0);
    d.BypassFrequency = 0;
    set3(d.BypassVoltage, 0, 0, 0);
    alarm_reset(d);
    // Output on battery (upsOutputSource 5), then alarms 2 and 3.
    d.PowerFlags = power_output_powered | power_on_battery | power_low_battery;
    d.ConfigOutputVoltage = 230;
    d.ConfigOutputFreq = 500;
    d.ConfigOutputVA = 1500;
    d.ConfigOutputPower = 1350;
    evaluated(d, "AC Fail, Low Battery !", status_low_battery | status_on_battery);
}

void expect_alarm_id(TDevice &d) {
    online_rows(d);
    set_text(d.UpsModel, "Vega 2000 RT");
    d.BatteryTemperature = 58;
    // upsOutputSource 4 (bypass), then alarm 5 of row 7 and alarm 9.
    d.PowerFlags = power_output_powered;
    d.FaultFlags = fault_temperature_bad;
    d.ModeFlags = mode_on_bypass;
    evaluated(d, "On Bypass", status_temperature | status_on_bypass);
}

// The index the agent pointed at is a text, so no alarm is decoded; the
// output still runs on bypass (upsOutputSource 4).
void expect_alarm_index_text(TDevice &d) {
    online_rows(d);
    set_text(d.UpsModel, "Vega 2000 RT");
    d.BatteryTemperature = 58;
    d.PowerFlags = power_output_powered;
    evaluated(d, "On Line", 0);
}

// Every alarm of the table decoded, those behind its long OIDs included:
// upsOutputSource 4 (bypass), then alarms 5, 9, 18 and 22.
void expect_long_alarm_oid(TDevice &d) {
    online_rows(d);
    d.PowerFlags = power_output_powered;
    d.FaultFlags = fault_temperature_bad | fault_failure;
    d.ModeFlags = mode_on_bypass;
    d.ShutdownFlags = shutdown_pending;
    evaluated(d, "On Bypass", status_temperature | status_fault | status_on_bypass);
}

// Its missing objects read as empty; class 1 fixes the output frequency
// and takes the bypass values from the input.
void expect_ptolve(TDevice &d) {
    markers(d);
    set_text(d.UpsModel, "P.TOLVE 6000 HF");
    set_text(d.UpsSoftwareVersion, "PT 1.30");
    d.MinutesRemaining = 42;
    d.ChargeRemaining = 100;
    d.BatteryVoltage = 2040;
    d.BatteryTemperature = 0;
    d.InputFrequency = 498;
    set3(d.InputVoltage, 224, 0, 0);
    set3(d.InputCurrent, 62, 0, 0);
    d.PowerFlags = power_output_powered;
    d.OutputFrequency = 500;
    d.PhaseMode = '1';
    set3(d.OutputVoltage, 230, 0, 0);
    set3(d.OutputCurrent, 54, 0, 0);
    set3(d.OutputLoad, 41, 0, 0);
    d.BypassFrequency = 498;
    set3(d.BypassVoltage, 224, 0, 0);
    alarm_reset(d);
    d.ConfigOutputVoltage = 230;
    d.ConfigOutputFreq = 500;
    d.ConfigOutputVA = 0;
    d.ConfigOutputPower = 2700;
    evaluated(d, "On Line", 0);
}

void expect_zephrola(TDevice &d) {
    online_rows(d);
    set_text(d.UpsModel, "Vega 1000");
    set_text(d.UpsSoftwareVersion, "Zephrola 4.2");
    d.MinutesRemaining = 0xFFFF;
    evaluated(d, "On Line", 0);
}

void expect_class2(TDevice &d) {
    online_rows(d);
    set_text(d.UpsModel, "4T4 10K");
    d.MinutesRemaining = 0xFFFF;
    d.BatteryVoltage = 742;
    d.BatteryNominal = 72;
    d.ConfigOutputVA = 10000;
    d.ConfigOutputPower = 9000;
    evaluated(d, "On Line", 0);
}

// Every well-known alarm, 20 (communications lost) included.
void expect_alarms_255(TDevice &d) {
    online_rows(d);
    d.PowerFlags = kAllPower;
    d.BatteryFlags = kAllBattery;
    d.ShutdownFlags = kAllShutdown;
    d.FaultFlags = kAllFault;
    d.ModeFlags = mode_on_bypass;
    evaluated(d, "Overload", without(kAllStatus, status_standby));
}

// Wrong types stored through their printable text, numbers cut to 16 bits,
// texts cut to their fields, and alarm descriptors of every shape.
void expect_bad_values(TDevice &d) {
    markers(d);
    set_text(d.UpsModel, "QW 9T8 XXXXXXXX");
    set_text(d.UpsSoftwareVersion, "1.3.6.1.4.1.");
    d.MinutesRemaining = 12;
    d.ChargeRemaining = 87;
    d.BatteryVoltage = 0xFFFF;
    d.BatteryNominal = 36;
    d.BatteryTemperature = 4464;
    d.InputFrequency = 1;
    set3(d.InputVoltage, 10, 57920, 0xFFFF);
    set3(d.InputCurrent, 0, 42, 65529);
    d.OutputFrequency = 50;
    d.PhaseMode = '4';
    set3(d.OutputVoltage, 0, 1, 230);
    set3(d.OutputCurrent, 54, 0, 0);
    set3(d.OutputLoad, 41, 0, 0);
    d.BypassFrequency = 500;
    set3(d.BypassVoltage, 229, 0, 0);
    alarm_reset(d);
    // On battery, alarm 3 through another subtree, 24 after a long text,
    // 22 at the end of a 120-arc OID and 1 under a 63-arc row OID; "20"
    // without a dot is passed over.
    d.PowerFlags = kAllPower;
    d.ShutdownFlags = shutdown_test_in_progress | shutdown_pending;
    d.BatteryFlags = battery_bad;
    d.ConfigOutputVoltage = 230;
    d.ConfigOutputFreq = 500;
    d.ConfigOutputVA = 1;
    d.ConfigOutputPower = 0xFFFF;
    evaluated(d, "AC Fail, Low Battery !", status_low_battery | status_on_battery);
}

// upsAlarmsPresent unanswered: no walk and no reset, so the alarm bits of
// the record before the poll (fill_stale: every one set) stay.
void expect_alarms_unread(TDevice &d) {
    online_rows(d);
    d.PowerFlags = without(kAllPower, power_on_battery);
    d.BatteryFlags = kAllBattery;
    d.ShutdownFlags = kAllShutdown;
    d.FaultFlags = kAllFault;
    d.ModeFlags = mode_on_bypass;
    evaluated(d, "Overload",
              status_temperature | status_fault | status_on_bypass | status_overload);
}

// Row 1 of the alarm table read, then every step fails at row 2.
void expect_walk_step_error(TDevice &d) {
    online_rows(d);
    d.BatteryFlags = battery_bad;
    evaluated(d, "On Line", 0);
}

// Nothing decoded for row 7, whose description is missing; row 9 read.
void expect_fallback_missing(TDevice &d) {
    online_rows(d);
    d.ModeFlags = mode_on_bypass;
    evaluated(d, "On Bypass", status_on_bypass);
}

// The UPS of alarm_rows_cleared.snmprec on battery: upsOutputSource 5 and
// alarm 2 of its one alarm row, nothing from what follows the table.
void expect_alarm_rows_cleared(TDevice &d) {
    online_rows(d);
    d.PowerFlags = power_output_powered | power_on_battery;
    evaluated(d, "AC Fail ! Remaining 42 min", status_on_battery);
}

// Alarm 5 of the first row only: the agent's next answer lies before it.
void expect_alarm_walk_backwards(TDevice &d) {
    online_rows(d);
    d.FaultFlags = fault_temperature_bad;
    evaluated(d, "On Line", status_temperature);
}

// Offsets of the bytes in which two records differ, with both values.
std::string differences(const TDevice &expected, const TDevice &actual) {
    const auto *e = reinterpret_cast<const std::uint8_t *>(&expected);
    const auto *a = reinterpret_cast<const std::uint8_t *>(&actual);
    std::ostringstream out;
    int shown = 0;
    for (std::size_t i = 0; i < sizeof(TDevice) && shown < 24; ++i) {
        if (e[i] == a[i])
            continue;
        char line[64];
        std::snprintf(line, sizeof line, "offset %zu: expected 0x%02X, got 0x%02X\n", i, e[i],
                      a[i]);
        out << line;
        ++shown;
    }
    return out.str();
}

// The poll of slot kSlot, with its record and flag in the device table and
// its communities in [UPS_07], and the console captured.
class SnmpPoll : public osktest::SnmpsimTest {
  protected:
    void SetUp() override {
        SnmpsimTest::SetUp();
        fill_stale(*record_);
        SM_DEV[kSlot] = record_.get();
        set_ready_status(kSlot, kFlagUntouched);
        std::memset(&INI.UPS[kSlot], 0, sizeof INI.UPS[kSlot]);
        pending_commands_clear();
        bDebug = 1;
        bDebugLog = 0;
        k_monitor = 0;
    }
    void TearDown() override {
        SM_DEV[kSlot] = nullptr;
        set_ready_status(kSlot, 0);
        pending_commands_clear();
        bDebug = 0;
        k_monitor = 0;
    }

    std::uint8_t poll(const char *community, const std::string &address) {
        prepare_poll(community, address);
        return snmp_rq_send(0, address.c_str(), kSlot);
    }
    // The configuration and record of a poll, without the poll itself.
    void prepare_poll(const char *community, const std::string &address) {
        set_text(INI.UPS[kSlot].SNMPGetComm, community);
        set_text(INI.UPS[kSlot].SNMPSetComm, community);
        set_text(record_->Port, address.c_str());
        std::memcpy(&before_, record_.get(), sizeof before_);
        console_.clear();
    }

    // The record as it stood before the poll with the presets written.
    TDevice preset_record() const {
        TDevice d;
        std::memcpy(&d, &before_, sizeof d);
        presets(d);
        return d;
    }

    std::int32_t flag() const {
        std::int32_t ready = -1;
        device_snapshot(kSlot, nullptr, &ready);
        return ready;
    }

    std::string log() const { return console_.text(); }

    std::unique_ptr<TDevice> record_ = std::make_unique<TDevice>();
    TDevice before_;
    ConsoleCapture console_;
};

// ---- complete polls, one per kind of UPS ----------------------------

struct PollCase {
    const char *name;
    const char *community;
    void (*expect)(TDevice &);
    std::uint8_t result;
    std::int32_t ready;
    // Each "@" stands for the address text of the poll.
    const char *log;
    // Appended to the agent's address: a port there changes nothing.
    const char *address_suffix = "";
};

void PrintTo(const PollCase &c, std::ostream *os) { *os << c.name; }

std::string with_address(const char *log, const std::string &address) {
    std::string text;
    for (const char *at = log; *at != '\0'; ++at)
        text += *at == '@' ? address : std::string(1, *at);
    return text;
}

class CompletePoll : public SnmpPoll, public ::testing::WithParamInterface<PollCase> {};

TEST_P(CompletePoll, StoresRecordFlagResultAndLog) {
    const PollCase &c = GetParam();
    const std::string address = std::string(agent_address()) + c.address_suffix;
    const std::uint8_t result = poll(c.community, address);
    TDevice expected = preset_record();
    c.expect(expected);
    if (c.ready == 0)
        shown_lost(expected);
    EXPECT_EQ(differences(expected, *record_), "");
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(flag(), c.ready);
    EXPECT_EQ(log(), with_address(c.log, address));
}

constexpr const char *kEstablished = "\nComm established recognized";
constexpr const char *kLost = "\nComm lost recognized";

INSTANTIATE_TEST_SUITE_P(
    Ups, CompletePoll,
    ::testing::Values(
        PollCase{"on_line", "online", expect_online, 0, 1, kEstablished},
        PollCase{"on_line_address_with_port", "online", expect_online, 0, 1, kEstablished, ":1161"},
        PollCase{"three_phase", "three_phase", expect_three_phase, 0, 1, kEstablished},
        // Alarm 20: the agent lost its UPS, so the poll reports comm lost,
        // yet every request was answered.
        PollCase{"on_battery_alarms", "on_battery", expect_on_battery, 0, 0, kLost},
        PollCase{"alarm_id_fallback", "alarm_id", expect_alarm_id, 0, 1, kEstablished},
        // The row's OID composed from an index that is no number is asked
        // for all the same: its read prints nothing, and the step after it
        // fails with an error.
        PollCase{"alarm_index_text", "alarm_index_text", expect_alarm_index_text, 1, 1,
                 "\n@ AlarmPresent=1 Oid = 1.3.6.1.2.1.33.1.6.2.1.2.seven SNMP++ Get Error, "
                 "SNMP++: Invalid object identifier (4294967279)\nComm established recognized"},
        PollCase{"long_alarm_oids", "long_alarm_oid", expect_long_alarm_oid, 0, 1, kEstablished},
        PollCase{"ptolve_missing_objects", "ptolve", expect_ptolve, 0, 1, kEstablished},
        PollCase{"zephrola", "zephrola", expect_zephrola, 0, 1, kEstablished},
        PollCase{"class2", "class2", expect_class2, 0, 1, kEstablished},
        PollCase{"alarms_255", "alarms_255", expect_alarms_255, 0, 0, kLost},
        // 256 counts as 0: bits cleared, no walk.
        PollCase{"alarms_256", "alarms_256", expect_online, 0, 1, kEstablished},
        // upsInputTruePower.1 answered with NULL: an error answer for a row
        // that stores nothing anyway.
        PollCase{"bad_values", "bad_values", expect_bad_values, 1, 1, kEstablished},
        // An agent error is no time-out: an error, and the poll goes on.
        PollCase{"alarms_present_missing", "alarms_present_missing", expect_alarms_unread, 1, 1,
                 "\n@ OidRequest = 38 Oid = 1.3.6.1.2.1.33.1.6.1.0 SNMP++ Get Error, "
                 "SNMP: Variable does not exist (2)\nComm established recognized"},
        // Each failed step is an error, and the next asks from the same
        // place again.
        PollCase{"walk_step_error", "walk_step_error", expect_walk_step_error, 1, 1,
                 "\n@ AlarmPresent=1 Oid = 1.3.6.1.2.1.33.1.6.2.1.2.1 SNMP++ Get Error, "
                 "SNMP: Cannot perform operation: general error (5)"
                 "\n@ AlarmPresent=2 Oid = 1.3.6.1.2.1.33.1.6.2.1.2.1 SNMP++ Get Error, "
                 "SNMP: Cannot perform operation: general error (5)\nComm established recognized"},
        // The failed GET of the row the agent pointed at is no error; the
        // walk goes on from that row.
        PollCase{"fallback_descr_missing", "fallback_descr_missing", expect_fallback_missing, 0, 1,
                 kEstablished},
        // Alarms that cleared between the count and the walk: the walk ends
        // at the first answer from beyond the table, so upsTestId.0, which
        // follows it, is not decoded (its value would read as alarm 1).
        PollCase{"alarms_cleared", "alarms_cleared", expect_online, 0, 1, kEstablished},
        PollCase{"alarm_rows_cleared", "alarm_rows_cleared", expect_alarm_rows_cleared, 0, 1,
                 kEstablished},
        // A GET-NEXT answer that does not lie after the OID asked for is
        // refused as an answer for another object: each step fails with
        // an error and nothing of that row is decoded.
        PollCase{"alarm_walk_backwards", "alarm_walk_backwards", expect_alarm_walk_backwards, 1, 1,
                 "\n@ AlarmPresent=1 Oid = 1.3.6.1.2.1.33.1.6.2.1.2.2 SNMP++ Get Error, "
                 "SNMP++: Answer does not match the request's bindings (4294967273)"
                 "\n@ AlarmPresent=2 Oid = 1.3.6.1.2.1.33.1.6.2.1.2.2 SNMP++ Get Error, "
                 "SNMP++: Answer does not match the request's bindings (4294967273)"
                 "\nComm established recognized"}),
    [](const ::testing::TestParamInfo<PollCase> &info) { return std::string(info.param.name); });

// ---- trace levels ----------------------------------------------------

// Value of every OID of a data file, as snmpsimd answers it.
std::map<std::string, std::string> data_values(const std::string &community) {
    std::ifstream in(osktest::snmpsim_data_dir() + "/" + community + ".snmprec");
    std::map<std::string, std::string> values;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t first = line.find('|');
        const std::size_t second = line.find('|', first + 1);
        values[line.substr(0, first)] = line.substr(second + 1);
    }
    return values;
}

class TraceLevel : public SnmpPoll, public ::testing::WithParamInterface<int> {};

TEST_P(TraceLevel, OnlyLevelTenTracesEveryAnswer) {
    k_monitor = static_cast<std::uint8_t>(GetParam());
    const std::string address = agent_address();
    EXPECT_EQ(poll("online", address), 0);
    std::string expected;
    if (GetParam() == 10) {
        expected = "\nSNMP++ Get to " + address + " SNMPV 1 Retries=1 Timeout=1000" +
                   " GetCommunity=online SetCommunity=online";
        const auto values = data_values("online");
        for (const char *oid : OidRequest)
            expected += std::string("\nOid = ") + oid + " Value = " + values.at(oid);
    }
    expected += kEstablished;
    EXPECT_EQ(log(), expected);
}

INSTANTIATE_TEST_SUITE_P(Levels, TraceLevel, ::testing::Values(9, 10, 11));

TEST_F(SnmpPoll, OversizedAnswersAreCutInTheLineBuffer) {
    k_monitor = 10;
    EXPECT_EQ(poll("bad_values", agent_address()), 1);
    const std::string text = log();
    std::istringstream lines(text);
    std::string line;
    int traced = 0;
    while (std::getline(lines, line)) {
        // Each line, with the newline that begins it, fills at most 199
        // bytes of the 200-byte buffer.
        EXPECT_LT(line.size(), 199u) << line.substr(0, 60);
        traced += line.rfind("Oid = ", 0) == 0;
    }
    // Every row and the five steps of the walk.
    EXPECT_EQ(traced, oid_request_rows + 5);
    const auto values = data_values("bad_values");
    const std::string manufacturer =
        "\nOid = 1.3.6.1.2.1.33.1.1.1.0 Value = " + values.at("1.3.6.1.2.1.33.1.1.1.0");
    EXPECT_NE(text.find(manufacturer.substr(0, 199) + "\nOid = 1.3.6.1.2.1.33.1.1.2.0 "),
              std::string::npos);
    TDevice expected = preset_record();
    expect_bad_values(expected);
    EXPECT_EQ(differences(expected, *record_), "");
}

// ---- polls that cannot start -----------------------------------------

struct NoStartCase {
    const char *name;
    // The slot's address field: 20 bytes, not terminated when full.
    char port[20];
    const char *log;
};

void PrintTo(const NoStartCase &c, std::ostream *os) { *os << c.name; }

class PollWithoutSession : public SnmpPoll, public ::testing::WithParamInterface<NoStartCase> {};

TEST_P(PollWithoutSession, TouchesNothingAndSendsNoCommand) {
    const NoStartCase &c = GetParam();
    pending_command_store(kSlot, 1, 0, 30, 0xFFFF);
    set_text(INI.UPS[kSlot].SNMPGetComm, "writable");
    set_text(INI.UPS[kSlot].SNMPSetComm, "writable");
    std::memcpy(record_->Port, c.port, sizeof record_->Port);
    record_->Address = 'Z';
    std::memcpy(&before_, record_.get(), sizeof before_);
    console_.clear();
    // The poll reads the address from the record's field, which a full
    // text leaves without a terminator: the next field follows it.
    EXPECT_EQ(snmp_rq_send(0, record_->Port, kSlot), 2);
    EXPECT_EQ(differences(before_, *record_), "");
    EXPECT_EQ(flag(), kFlagUntouched);
    EXPECT_EQ(log(), c.log);
    const TPendingCommand pending = pending_command_take(kSlot);
    EXPECT_EQ(pending.kind, 1);
    EXPECT_EQ(pending.delay, 30);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, PollWithoutSession,
    ::testing::Values(NoStartCase{"unresolvable", "no-such-ups.invalid",
                                  "\nInvalid Address or DNS Name, no-such-ups.invalid"},
                      NoStartCase{"full_field",
                                  {'n', 'o', '-', 's', 'u', 'c', 'h', '-', 'u', 'p',
                                   's', '.', 'i', 'n', 'v', 'a', 'l', 'i', 'd', 'x'},
                                  "\nInvalid Address or DNS Name, no-such-ups.invalidx"},
                      NoStartCase{"empty", "", "\nInvalid Address or DNS Name, "},
                      NoStartCase{
                          "ipv6", "::1",
                          "\nSNMP++ Session Create Fail, SNMP++: Transport not supported (IPv6)"}),
    [](const ::testing::TestParamInfo<NoStartCase> &info) { return std::string(info.param.name); });

// ---- a session without a socket ---------------------------------------

// With every descriptor of the process in use the session gets no socket
// for the UPS's valid address: a transport failure at the first row, so
// the poll is a lost one that closes the gate, with the record's old
// status kept, as after a time-out.
TEST_F(SnmpPoll, NoSocketForTheSessionIsALostPoll) {
    set_ready_status(kSlot, 1);
    std::uint8_t result = 0;
    // The poll is called straight, not through the fixture: the checker of
    // the undefined-behaviour build needs a descriptor of its own to look
    // at a member call's object.
    const std::string address = agent_address();
    prepare_poll("online", address);
    {
        osktest::DescriptorsUsedUp descriptors;
        ASSERT_TRUE(descriptors.used_up());
        result = snmp_rq_send(0, address.c_str(), kSlot);
    }
    EXPECT_EQ(result, 2);
    EXPECT_EQ(flag(), 0);
    TDevice expected = preset_record();
    shown_lost(expected);
    EXPECT_EQ(differences(expected, *record_), "");
    EXPECT_EQ(log(), "\n" + std::string(agent_address()) +
                         " OidRequest = 0 Oid = 1.3.6.1.2.1.33.1.1.1.0 SNMP++ Get Error, "
                         "SNMP++: Transport operation failed (4294967274)\nTimeout recognized" +
                         kLost);
}

// ---- agents that stop answering --------------------------------------

using Clock = std::chrono::steady_clock;

constexpr const char *kTimedOut = "SNMP++ Get Error, SNMP++: Request timed out (4294967291)";

// Polls through the relay, whose address is the UPS's address.
class SilentUps : public SnmpPoll {
  protected:
    void SetUp() override {
        SnmpPoll::SetUp();
        std::string error;
        ASSERT_TRUE(relay_address_.acquire(161, error)) << error;
        ASSERT_TRUE(relay_.start(relay_address_.address(), 161, agent_address(), 161, error))
            << error;
    }

    std::uint8_t timed_poll(const char *community) {
        const auto start = Clock::now();
        const std::uint8_t result = poll(community, relay_address_.address());
        seconds_ = std::chrono::duration<double>(Clock::now() - start).count();
        return result;
    }

    std::string address() const { return relay_address_.address(); }

    osktest::LoopbackLease relay_address_;
    osktest::UdpRelay relay_;
    double seconds_ = 0;
};

// A UPS that falls silent at upsBatteryVoltage while a command waits.
struct BatteryVoltageSilenceCase {
    const char *name;
    // The UPS answers again by the time the SET goes out.
    bool answers_set;
    std::uint8_t result;
    std::uint8_t kind_after;
};

void PrintTo(const BatteryVoltageSilenceCase &c, std::ostream *os) { *os << c.name; }

class SilentAtBatteryVoltage : public SilentUps, public ::testing::WithParamInterface<BatteryVoltageSilenceCase> {};

TEST_P(SilentAtBatteryVoltage, KeepsRowsBeforeAndStillTriesTheSet) {
    const BatteryVoltageSilenceCase &c = GetParam();
    pending_command_store(kSlot, 1, 0, 30, 0xFFFF);
    // The rows before upsBatteryVoltage are answered, and that row is
    // asked twice (the try and its retry); the UPS is back before the SET,
    // a second after the retry.
    relay_.stop_answering_after(row_battery_voltage);
    std::thread resumer([&] {
        if (!c.answers_set)
            return;
        osktest::wait_until([&] { return relay_.requests() >= row_battery_voltage + 2; }, std::chrono::seconds(10),
                            std::chrono::milliseconds(5));
        relay_.resume();
    });
    const std::uint8_t result = timed_poll("writable");
    resumer.join();

    TDevice expected = preset_record();
    online_rows(expected, row_battery_voltage - 1);
    shown_lost(expected);
    EXPECT_EQ(differences(expected, *record_), "");
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(flag(), 0);
    std::string expected_log = "\n" + address() + " OidRequest = 10 Oid = 1.3.6.1.2.1.33.1.2.5.0 " +
                               kTimedOut + "\nTimeout recognized" + kLost;
    if (c.answers_set)
        expected_log += "\nOidSet = 1 Oid = 1.3.6.1.2.1.33.1.8.2.0 Value = 30 SUCCESS";
    else
        expected_log += "\n" + address() + " OidSet = 1 Oid = 1.3.6.1.2.1.33.1.8.2.0 " + kTimedOut;
    EXPECT_EQ(log(), expected_log);
    EXPECT_EQ(pending_command_take(kSlot).kind, c.kind_after);
    if (c.answers_set) {
        EXPECT_EQ(osktest::read_simulator_value(agent_address(), "writable", "1.3.6.1.2.1.33.1.8.2.0"), "30");
    }
}

INSTANTIATE_TEST_SUITE_P(Set, SilentAtBatteryVoltage,
                         ::testing::Values(BatteryVoltageSilenceCase{"set_accepted", true, 2, 0},
                                           // A failed SET makes the poll count as answered.
                                           BatteryVoltageSilenceCase{"set_unanswered", false, 1, 1}),
                         [](const ::testing::TestParamInfo<BatteryVoltageSilenceCase> &info) {
                             return std::string(info.param.name);
                         });

struct WalkCase {
    const char *name;
    // Requests answered: every row up to upsAlarmsPresent, then the walk's
    // steps.
    int answered;
    const char *failed_step;
    // The alarm decoded before the silence (upsAlarmBatteryBad), if any.
    std::uint8_t battery_flags;
};

void PrintTo(const WalkCase &c, std::ostream *os) { *os << c.name; }

class SilentInWalk : public SilentUps, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(SilentInWalk, EndsTheWalkAtItsFirstTimeout) {
    const WalkCase &c = GetParam();
    relay_.stop_answering_after(c.answered);
    const std::uint8_t result = timed_poll("five_alarms");

    TDevice expected = preset_record();
    online_rows(expected, row_alarms_present);
    set_text(expected.UpsModel, "Vega 6000 RT");
    expected.BatteryFlags = c.battery_flags;
    shown_lost(expected);
    EXPECT_EQ(differences(expected, *record_), "");
    EXPECT_EQ(result, 2);
    EXPECT_EQ(flag(), 0);
    EXPECT_EQ(log(), "\n" + address() + c.failed_step + kTimedOut + "\n" + address() +
                         " OidRequest = 39 Oid = 1.3.6.1.2.1.33.1.9.3.0 " + kTimedOut +
                         "\nTimeout recognized" + kLost);
    // One time-out in the walk and one at upsConfigOutputVoltage, a try and
    // a retry each.
    EXPECT_GT(seconds_, 3.8);
    EXPECT_LT(seconds_, 5.5);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SilentInWalk,
    ::testing::Values(WalkCase{"first_step", row_alarms_present + 1,
                               " AlarmPresent=0 Oid = 1.3.6.1.2.1.33.1.6.1.0 ", 0},
                      WalkCase{"second_step", row_alarms_present + 2,
                               " AlarmPresent=1 Oid = 1.3.6.1.2.1.33.1.6.2.1.2.1 ", battery_bad}),
    [](const ::testing::TestParamInfo<WalkCase> &info) { return std::string(info.param.name); });

// The engine cannot decode an answer naming an OID longer than it carries,
// so the step that meets it times out and ends the walk there, as a silent
// agent would: the walk never comes back to one row, and the rows after it
// are still read.
TEST_F(SnmpPoll, AnAlarmOidBeyondTheEngineEndsTheWalkAtItsTimeout) {
    const std::uint8_t result = poll("alarm_oid_beyond_engine", agent_address());

    TDevice expected = preset_record();
    online_rows(expected);
    expected.FaultFlags = fault_temperature_bad; // alarm 5, in the row before the long OID
    evaluated(expected, "On Line", status_temperature);
    EXPECT_EQ(differences(expected, *record_), "");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(flag(), 1);
    EXPECT_EQ(log(), "\n" + std::string(agent_address()) +
                         " AlarmPresent=1 Oid = 1.3.6.1.2.1.33.1.6.2.1.2.1 " + kTimedOut +
                         kEstablished);
}

// A "P.TOLVE" UPS that stops answering is lost at its first time-out, as
// any other: its error answers pass silently (upsIdentName, which its
// agent lacks), a time-out does not.
struct PtolveSilenceCase {
    const char *name;
    int answered; // requests answered before the silence
    const char *timed_out_row;
};

void PrintTo(const PtolveSilenceCase &c, std::ostream *os) { *os << c.name; }

class PtolveSilence : public SilentUps, public ::testing::WithParamInterface<PtolveSilenceCase> {};

TEST_P(PtolveSilence, EndsThePollAtItsFirstTimeout) {
    const PtolveSilenceCase &c = GetParam();
    set_text(record_->UpsModel, "P.TOLVE 3000");
    relay_.stop_answering_after(c.answered);
    const std::uint8_t result = timed_poll("ptolve");

    TDevice expected = preset_record();
    if (c.answered > row_ident_manufacturer) {
        markers(expected);
        set_text(expected.UpsModel, "P.TOLVE 6000 HF");
        set_text(expected.UpsSoftwareVersion, "PT 1.30");
    }
    shown_lost(expected);
    EXPECT_EQ(differences(expected, *record_), "");
    EXPECT_EQ(result, 2);
    EXPECT_EQ(flag(), 0);
    EXPECT_EQ(log(), "\n" + address() + c.timed_out_row + kTimedOut + "\nTimeout recognized" + kLost);
    // One row's time-out, a try and a retry, where passing over every row
    // would take more than a minute.
    EXPECT_LT(seconds_, 3.5);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PtolveSilence,
    ::testing::Values(PtolveSilenceCase{"from_the_first_row", 0,
                                        " OidRequest = 0 Oid = 1.3.6.1.2.1.33.1.1.1.0 "},
                      PtolveSilenceCase{"during_the_poll", row_ident_attached_devices,
                                        " OidRequest = 5 Oid = 1.3.6.1.2.1.33.1.1.6.0 "}),
    [](const ::testing::TestParamInfo<PtolveSilenceCase> &info) {
        return std::string(info.param.name);
    });

// ---- agents that answer with errors ----------------------------------

constexpr const char *kNoSuchName = "SNMP: Variable does not exist (2)";
constexpr const char *kGenErr = "SNMP: Cannot perform operation: general error (5)";

// The error lines of every row but the one answered, for an agent that
// answers the others with the status text given.
std::string row_errors(const std::string &address, const char *status, int answered_row = -1) {
    std::string text;
    for (int row = row_ident_manufacturer; row < oid_request_rows; ++row)
        if (row != answered_row)
            text += "\n" + address + " OidRequest = " + std::to_string(row) +
                    " Oid = " + OidRequest[row] + " SNMP++ Get Error, " + status;
    return text;
}

// An agent without the UPS-MIB says nothing about a UPS: the poll is a
// lost one, the record keeps its old values and status (nothing is
// evaluated from them) and the gate closes.
TEST_F(SnmpPoll, NoRowAnsweredIsALostPoll) {
    const std::string address = agent_address();
    EXPECT_EQ(poll("printer", address), 2);
    TDevice expected = preset_record();
    shown_lost(expected);
    EXPECT_EQ(differences(expected, *record_), "");
    EXPECT_EQ(flag(), 0);
    EXPECT_EQ(log(), row_errors(address, kNoSuchName) + kLost);
}

// One value is enough: the poll is an answered one, with its errors.
TEST_F(SnmpPoll, OneAnsweredRowKeepsCommunication) {
    const std::string address = agent_address();
    EXPECT_EQ(poll("one_row", address), 1);
    TDevice expected = preset_record();
    markers(expected);
    set_text(expected.UpsModel, "Vega 3000 RT");
    // The alarm bits of the record before the poll stay, as no walk ran.
    evaluated(expected, "Overload", without(kAllStatus, status_standby));
    EXPECT_EQ(differences(expected, *record_), "");
    EXPECT_EQ(flag(), 1);
    EXPECT_EQ(log(), row_errors(address, kNoSuchName, row_ident_model) + kEstablished);
}

// An agent that answers every request of the poll with an error status
// while a command waits.
struct ErrorAnswerCase {
    const char *name;
    int error_status;
    const char *status_text;
    // The agent answers the SET without an error again.
    bool answers_set;
    std::uint8_t result;
    std::uint8_t kind_after;
};

void PrintTo(const ErrorAnswerCase &c, std::ostream *os) { *os << c.name; }

class ErrorAnswers : public SilentUps, public ::testing::WithParamInterface<ErrorAnswerCase> {};

TEST_P(ErrorAnswers, LoseCommunicationAndStillTryTheSet) {
    const ErrorAnswerCase &c = GetParam();
    pending_command_store(kSlot, 1, 0, 30, 0xFFFF);
    relay_.answer_with_error(c.error_status, c.answers_set ? oid_request_rows : -1);
    const std::uint8_t result = poll("writable", address());

    TDevice expected = preset_record();
    shown_lost(expected);
    EXPECT_EQ(differences(expected, *record_), "");
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(flag(), 0);
    std::string expected_log = row_errors(address(), c.status_text) + kLost;
    if (c.answers_set)
        expected_log += "\nOidSet = 1 Oid = 1.3.6.1.2.1.33.1.8.2.0 Value = 30 SUCCESS";
    else
        expected_log += "\n" + address() +
                        " OidSet = 1 Oid = 1.3.6.1.2.1.33.1.8.2.0 SNMP++ Get Error, " +
                        c.status_text;
    EXPECT_EQ(log(), expected_log);
    EXPECT_EQ(pending_command_take(kSlot).kind, c.kind_after);
}

INSTANTIATE_TEST_SUITE_P(
    Agent, ErrorAnswers,
    ::testing::Values(ErrorAnswerCase{"general_error_set_accepted", SNMP_ERROR_GENERAL_VB_ERR,
                                      kGenErr, true, 2, 0},
                      // A failed SET makes the poll count as answered.
                      ErrorAnswerCase{"no_such_name_set_refused", SNMP_ERROR_NO_SUCH_NAME,
                                      kNoSuchName, false, 1, 1}),
    [](const ::testing::TestParamInfo<ErrorAnswerCase> &info) {
        return std::string(info.param.name);
    });

// ---- agents that answer without a value --------------------------------

using osktest::RogueAnswer;
using osktest::RogueRequest;

// Polls of the rogue agent, whose answers the test makes.
class RoguePoll : public SnmpPoll {
  protected:
    void start_rogue(osktest::RogueResponder responder) {
        std::string error;
        ASSERT_TRUE(rogue_.start(std::move(responder), error)) << error;
    }
    std::uint8_t poll_rogue() { return poll("public", rogue_.address()); }

    osktest::RogueAgent rogue_;
};

struct NoValueCase {
    const char *name;
    // The value tag of each row's answer, in turn: NULL or an exception.
    std::vector<unsigned char> tags;
    // The upsIdentModel row answers with a text instead.
    bool model_answered;
    std::uint8_t result;
    std::int32_t ready;
};

void PrintTo(const NoValueCase &c, std::ostream *os) { *os << c.name; }

class NoValueAnswers : public RoguePoll, public ::testing::WithParamInterface<NoValueCase> {};

// Answers without error but without a value either tell nothing about the
// UPS: a poll of only those is a lost one, as a poll of error answers is.
// No row stores anything: each keeps what it held, as after an error
// answer, and each exception is still reported; the old status is kept,
// not worked out from empty values.
TEST_P(NoValueAnswers, APollWithoutAnyValueIsALostOne) {
    const NoValueCase &c = GetParam();
    start_rogue([&c](const RogueRequest &r) -> std::vector<RogueAnswer> {
        const std::string &asked = r.oids.at(0);
        if (c.model_answered && asked == OidRequest[row_ident_model])
            return {{0, 0, {osktest::rogue_text(asked, "Vega 3000 RT")}}};
        const unsigned char tag = c.tags.at(static_cast<std::size_t>(r.index) % c.tags.size());
        return {{0, 0, {osktest::RogueBinding{asked, tag, 0, {}}}}};
    });
    const std::uint8_t result = poll_rogue();
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(flag(), c.ready);
    EXPECT_EQ(rogue_.requests(), oid_request_rows);

    TDevice expected = preset_record();
    if (c.model_answered) {
        markers(expected);
        set_text(expected.UpsModel, "Vega 3000 RT");
        // Every flag bit of the record before the poll stays: no
        // upsOutputSource was stored, and no alarm walk cleared a bit.
        evaluated(expected, "Overload", without(kAllStatus, status_standby));
    } else {
        shown_lost(expected);
    }
    EXPECT_EQ(differences(expected, *record_), "");

    std::string expected_log;
    for (int row = 0; row < oid_request_rows; ++row) {
        const unsigned char tag = c.tags.at(static_cast<std::size_t>(row) % c.tags.size());
        if (tag != osktest::k_ber_null && !(c.model_answered && row == row_ident_model))
            expected_log += "Exception: " + std::to_string(tag) + " occured";
    }
    expected_log += c.ready == 0 ? kLost : kEstablished;
    EXPECT_EQ(log(), expected_log);
}

constexpr unsigned char kNull = osktest::k_ber_null;
constexpr unsigned char kNoSuchObject = osktest::k_ber_no_such_object;
constexpr unsigned char kNoSuchInstance = osktest::k_ber_no_such_instance;
constexpr unsigned char kEndOfMibView = osktest::k_ber_end_of_mib_view;

INSTANTIATE_TEST_SUITE_P(
    Values, NoValueAnswers,
    ::testing::Values(
        NoValueCase{"null", {kNull}, false, 2, 0},
        NoValueCase{"no_such_object", {kNoSuchObject}, false, 2, 0},
        NoValueCase{"no_such_instance", {kNoSuchInstance}, false, 2, 0},
        NoValueCase{"end_of_mib_view", {kEndOfMibView}, false, 2, 0},
        NoValueCase{"mixed", {kNull, kNoSuchObject, kNoSuchInstance, kEndOfMibView}, false, 2, 0},
        // One value is enough; the rows without one count as errors.
        NoValueCase{"one_value_among_nulls", {kNull}, true, 1, 1},
        NoValueCase{"one_value_among_exceptions", {kNoSuchInstance}, true, 1, 1}),
    [](const ::testing::TestParamInfo<NoValueCase> &info) { return std::string(info.param.name); });

// ---- one object answered without a value -------------------------------

struct OneRowCase {
    const char *name;
    const char *model;
    // The request whose answer holds no value: its type and the OID asked.
    unsigned char type;
    std::string asked;
    unsigned char tag;
    std::uint8_t result;
    std::uint8_t power_flags;
    const char *status_text;
    std::uint8_t status_flags;
    const char *log;
};

void PrintTo(const OneRowCase &c, std::ostream *os) { *os << c.name; }

class OneRowWithoutValue : public RoguePoll, public ::testing::WithParamInterface<OneRowCase> {};

// A UPS on battery with a low battery, as the record of its last poll
// says; this poll gets every value again but one, which keeps what it
// held.
TEST_P(OneRowWithoutValue, KeepsItsLastValue) {
    const OneRowCase &c = GetParam();
    start_rogue([&c](const RogueRequest &r) {
        RogueAnswer answer = osktest::rogue_low_battery_ups(r, c.model);
        if (r.type == c.type && r.oids.at(0) == c.asked)
            answer.bindings.at(0).type = c.tag;
        return std::vector<RogueAnswer>{answer};
    });
    set_text(record_->UpsModel, c.model);
    record_->PowerFlags = power_output_powered | power_on_battery | power_low_battery;
    record_->ModeFlags = 0;
    record_->BatteryFlags = 0;
    record_->ShutdownFlags = 0;
    record_->FaultFlags = 0;

    EXPECT_EQ(poll_rogue(), c.result);
    EXPECT_EQ(flag(), 1);
    EXPECT_EQ(record_->PowerFlags, c.power_flags);
    EXPECT_EQ(std::string(record_->StatusText), c.status_text);
    EXPECT_EQ(record_->StatusFlags, c.status_flags);
    EXPECT_EQ(log(), c.log);
}

constexpr std::uint8_t kOnBatteryLow = power_output_powered | power_on_battery | power_low_battery;

INSTANTIATE_TEST_SUITE_P(
    Rows, OneRowWithoutValue,
    ::testing::Values(
        OneRowCase{"output_source_null", "Vega 3000 RT", osktest::k_pdu_get,
                   OidRequest[row_output_source], kNull, 1, kOnBatteryLow,
                   "AC Fail, Low Battery !", status_on_battery | status_low_battery, kEstablished},
        OneRowCase{"output_source_no_such_object", "Vega 3000 RT", osktest::k_pdu_get,
                   OidRequest[row_output_source], kNoSuchObject, 1, kOnBatteryLow,
                   "AC Fail, Low Battery !", status_on_battery | status_low_battery,
                   "Exception: 128 occured\nComm established recognized"},
        // No walk and no reset: the alarm bits of the last poll stay.
        OneRowCase{"alarms_present_null", "Vega 3000 RT", osktest::k_pdu_get,
                   OidRequest[row_alarms_present], kNull, 1, kOnBatteryLow,
                   "AC Fail, Low Battery !", status_on_battery | status_low_battery, kEstablished},
        // The second alarm row without a value: nothing decoded for it
        // after the reset at the walk's start.
        OneRowCase{"alarm_row_null", "Vega 3000 RT", osktest::k_pdu_get_next,
                   osktest::k_ups_alarm_descr + ".1",
                   kNull, 1, power_output_powered | power_on_battery,
                   "AC Fail ! Remaining 42 min", status_on_battery, kEstablished},
        // These models read what their agent lacks as empty, whether the
        // object is missing or comes without a value: the empty output
        // source clears the output-powered bit.
        OneRowCase{"ptolve_output_source_null", "P.TOLVE 6000 HF", osktest::k_pdu_get,
                   OidRequest[row_output_source], kNull, 0, power_on_battery | power_low_battery,
                   "Standby", status_standby | status_on_battery | status_low_battery,
                   kEstablished}),
    [](const ::testing::TestParamInfo<OneRowCase> &info) { return std::string(info.param.name); });

// ---- texts with control bytes -------------------------------------------

// A UPS model text that would write lines of its own into the log.
const std::string kForgingModel = "Vega\r\n 12\\09 14:03:07  RESP Dev:00\x1B[2J\x7F\t\x01";
const std::string kForgingModelShown =
    "Vega\\x0D\\x0A 12\\x5C09 14:03:07  RESP Dev:00\\x1B[2J\\x7F\\x09\\x01";
// An alarm row's index, answered in upsAlarmId, that becomes part of the
// OID of the walk's next step.
const std::string kForgingIndex = "1\nComm established recognized\r";

// The value trace and the walk's error line show every control byte of
// the UPS's texts escaped, and nothing else of them changed; the record
// keeps the bytes as they came.
TEST_F(RoguePoll, ControlBytesOfUpsTextsAreEscapedInTheLogOnly) {
    k_monitor = 10;
    // The walk's first step, a GET-NEXT, is answered with upsAlarmId.1,
    // whose value the walk takes as the index of the alarm row to read.
    start_rogue([](const RogueRequest &r) -> std::vector<RogueAnswer> {
        const std::string &asked = r.oids.at(0);
        if (r.type == osktest::k_pdu_get_next)
            return {{0, 0, {osktest::rogue_text("1.3.6.1.2.1.33.1.6.2.1.1.1", kForgingIndex)}}};
        if (asked == OidRequest[row_ident_model])
            return {{0, 0, {osktest::rogue_text(asked, kForgingModel)}}};
        if (asked == OidRequest[row_alarms_present])
            return {{0, 0, {osktest::rogue_integer(asked, 2)}}};
        return {{0, 0, {osktest::rogue_integer(asked, 42)}}};
    });
    EXPECT_EQ(poll_rogue(), 1);
    EXPECT_EQ(flag(), 1);

    const std::string text = log();
    EXPECT_NE(text.find(std::string("\nOid = ") + OidRequest[row_ident_model] +
                        " Value = " + kForgingModelShown + "\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\nOid = 1.3.6.1.2.1.33.1.6.2.1.1.1 Value = 1\\x0AComm established "
                        "recognized\\x0D\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(std::string("\n") + rogue_.address() +
                        " AlarmPresent=1 Oid = 1.3.6.1.2.1.33.1.6.2.1.2.1\\x0AComm "
                        "established recognized\\x0D SNMP++ Get Error, "),
              std::string::npos)
        << text;
    // No byte of the UPS's texts breaks a line: every line feed begins a
    // line of the poll's own, and only one says communication holds.
    for (const char c : text)
        EXPECT_TRUE(c == '\n' || (c >= 0x20 && c != 0x7F)) << static_cast<int>(c);
    std::size_t established = 0;
    for (std::size_t at = text.find("\nComm established"); at != std::string::npos;
         at = text.find("\nComm established", at + 1))
        ++established;
    EXPECT_EQ(established, 1u) << text;

    EXPECT_EQ(std::string(record_->UpsModel), kForgingModel.substr(0, 15));
}

} // namespace
