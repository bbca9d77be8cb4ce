// The UPS-MIB objects that a poll reads, and the storing of each answer
// into the device record by the row number of its object.
#pragma once

#include <cstdint>

#include "shared/decimal_text.h"

#include "shared/device_record.h"

// Rows of OidRequest, each named after its RFC 1628 object and, for the
// objects of a table, the line (the table's instance); the poll reads them
// in this order and prints their numbers in its error lines.
enum OidRow : std::uint8_t {
    row_ident_manufacturer,           // 0 upsIdentManufacturer
    row_ident_model,                  // 1 upsIdentModel
    row_ident_ups_software_version,   // 2 upsIdentUPSSoftwareVersion
    row_ident_agent_software_version, // 3 upsIdentAgentSoftwareVersion
    row_ident_name,                   // 4 upsIdentName
    row_ident_attached_devices,       // 5 upsIdentAttachedDevices
    row_battery_status,               // 6 upsBatteryStatus
    row_seconds_on_battery,           // 7 upsSecondsOnBattery
    row_estimated_minutes_remaining,  // 8 upsEstimatedMinutesRemaining
    row_estimated_charge_remaining,   // 9 upsEstimatedChargeRemaining
    row_battery_voltage,              // 10 upsBatteryVoltage
    row_battery_current,              // 11 upsBatteryCurrent
    row_battery_temperature,          // 12 upsBatteryTemperature
    row_input_num_lines,              // 13 upsInputNumLines
    row_input_frequency_1,            // 14 upsInputFrequency, line 1
    row_input_voltage_1,              // 15 upsInputVoltage, line 1
    row_input_voltage_2,              // 16 upsInputVoltage, line 2
    row_input_voltage_3,              // 17 upsInputVoltage, line 3
    row_input_current_1,              // 18 upsInputCurrent, line 1
    row_input_current_2,              // 19 upsInputCurrent, line 2
    row_input_current_3,              // 20 upsInputCurrent, line 3
    row_input_true_power_1,           // 21 upsInputTruePower, line 1
    row_output_source,                // 22 upsOutputSource
    row_output_frequency,             // 23 upsOutputFrequency
    row_output_num_lines,             // 24 upsOutputNumLines
    row_output_voltage_1,             // 25 upsOutputVoltage, line 1
    row_output_voltage_2,             // 26 upsOutputVoltage, line 2
    row_output_voltage_3,             // 27 upsOutputVoltage, line 3
    row_output_current_1,             // 28 upsOutputCurrent, line 1
    row_output_current_2,             // 29 upsOutputCurrent, line 2
    row_output_current_3,             // 30 upsOutputCurrent, line 3
    row_output_percent_load_1,        // 31 upsOutputPercentLoad, line 1
    row_output_percent_load_2,        // 32 upsOutputPercentLoad, line 2
    row_output_percent_load_3,        // 33 upsOutputPercentLoad, line 3
    row_bypass_frequency,             // 34 upsBypassFrequency
    row_bypass_voltage_1,             // 35 upsBypassVoltage, line 1
    row_bypass_voltage_2,             // 36 upsBypassVoltage, line 2
    row_bypass_voltage_3,             // 37 upsBypassVoltage, line 3
    row_alarms_present,               // 38 upsAlarmsPresent; also each alarm descriptor
    row_config_output_voltage,        // 39 upsConfigOutputVoltage
    row_config_output_freq,           // 40 upsConfigOutputFreq
    row_config_output_va,             // 41 upsConfigOutputVA
    row_config_output_power,          // 42 upsConfigOutputPower
};

// Rows of OidRequest: one for each object above.
constexpr int oid_request_rows = row_config_output_power + 1;
static_assert(oid_request_rows == 43, "a poll reads 43 objects");

// Dotted OIDs of the objects read by a poll, each followed by zero bytes.
extern const char OidRequest[oid_request_rows][32];

// What the identity rows of one poll decide for the rows after them. A
// poll starts with all three 0 and hands the same state to every call, so
// a row that failed in this poll never takes another poll's (or another
// device's) value.
struct TPollState {
    // 0 to 5, from the stored model text (row_ident_model).
    std::uint8_t model_class;
    // 1 when the stored software version (row_ident_ups_software_version) begins with "Zephrola".
    std::uint8_t sw_version_match;
    // 1 when the UPS reported a number of input lines other than 1
    // (row_input_num_lines).
    std::uint8_t three_phase_input;
};

// Stores one answer into the poll's working record. value is the answer as
// printable text, whatever its syntax (null counts as empty);
// row_alarms_present takes an alarm descriptor and may set commlost, which
// nothing here clears. Rows that store nothing and numbers beyond the table
// are accepted. Every call, whatever the row, leaves the six marker bytes
// at 0xFF.
void analyze_datasnmp(TDevice &record, TPollState &state, std::uint8_t row, const char *value,
                      std::uint8_t &commlost);

// Clears commlost and every flag bit that the alarm rule sets, except the
// on-battery bit, which upsOutputSource rewrites at every poll.
void resetAlarm(TDevice &record, std::uint8_t &commlost);
