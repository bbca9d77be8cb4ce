// The UPS-MIB (RFC 1628) object table of a poll and the storing of every
// answer: numbers, the identity texts, the output-source and phase flags,
// the model-class rules and the decoding of alarm descriptors.
#include "poller/ups_mib.h"

#include <cstring>

const char OidRequest[oid_request_rows][32] = {
    "1.3.6.1.2.1.33.1.1.1.0",     // 0 upsIdentManufacturer
    "1.3.6.1.2.1.33.1.1.2.0",     // 1 upsIdentModel
    "1.3.6.1.2.1.33.1.1.3.0",     // 2 upsIdentUPSSoftwareVersion
    "1.3.6.1.2.1.33.1.1.4.0",     // 3 upsIdentAgentSoftwareVersion
    "1.3.6.1.2.1.33.1.1.5.0",     // 4 upsIdentName
    "1.3.6.1.2.1.33.1.1.6.0",     // 5 upsIdentAttachedDevices
    "1.3.6.1.2.1.33.1.2.1.0",     // 6 upsBatteryStatus
    "1.3.6.1.2.1.33.1.2.2.0",     // 7 upsSecondsOnBattery
    "1.3.6.1.2.1.33.1.2.3.0",     // 8 upsEstimatedMinutesRemaining
    "1.3.6.1.2.1.33.1.2.4.0",     // 9 upsEstimatedChargeRemaining
    "1.3.6.1.2.1.33.1.2.5.0",     // 10 upsBatteryVoltage
    "1.3.6.1.2.1.33.1.2.6.0",     // 11 upsBatteryCurrent
    "1.3.6.1.2.1.33.1.2.7.0",     // 12 upsBatteryTemperature
    "1.3.6.1.2.1.33.1.3.2.0",     // 13 upsInputNumLines
    "1.3.6.1.2.1.33.1.3.3.1.2.1", // 14 upsInputFrequency.1
    "1.3.6.1.2.1.33.1.3.3.1.3.1", // 15 upsInputVoltage.1
    "1.3.6.1.2.1.33.1.3.3.1.3.2", // 16 upsInputVoltage.2
    "1.3.6.1.2.1.33.1.3.3.1.3.3", // 17 upsInputVoltage.3
    "1.3.6.1.2.1.33.1.3.3.1.4.1", // 18 upsInputCurrent.1
    "1.3.6.1.2.1.33.1.3.3.1.4.2", // 19 upsInputCurrent.2
    "1.3.6.1.2.1.33.1.3.3.1.4.3", // 20 upsInputCurrent.3
    "1.3.6.1.2.1.33.1.3.3.1.5.1", // 21 upsInputTruePower.1
    "1.3.6.1.2.1.33.1.4.1.0",     // 22 upsOutputSource
    "1.3.6.1.2.1.33.1.4.2.0",     // 23 upsOutputFrequency
    "1.3.6.1.2.1.33.1.4.3.0",     // 24 upsOutputNumLines
    "1.3.6.1.2.1.33.1.4.4.1.2.1", // 25 upsOutputVoltage.1
    "1.3.6.1.2.1.33.1.4.4.1.2.2", // 26 upsOutputVoltage.2
    "1.3.6.1.2.1.33.1.4.4.1.2.3", // 27 upsOutputVoltage.3
    "1.3.6.1.2.1.33.1.4.4.1.3.1", // 28 upsOutputCurrent.1
    "1.3.6.1.2.1.33.1.4.4.1.3.2", // 29 upsOutputCurrent.2
    "1.3.6.1.2.1.33.1.4.4.1.3.3", // 30 upsOutputCurrent.3
    "1.3.6.1.2.1.33.1.4.4.1.5.1", // 31 upsOutputPercentLoad.1
    "1.3.6.1.2.1.33.1.4.4.1.5.2", // 32 upsOutputPercentLoad.2
    "1.3.6.1.2.1.33.1.4.4.1.5.3", // 33 upsOutputPercentLoad.3
    "1.3.6.1.2.1.33.1.5.1.0",     // 34 upsBypassFrequency
    "1.3.6.1.2.1.33.1.5.3.1.2.1", // 35 upsBypassVoltage.1
    "1.3.6.1.2.1.33.1.5.3.1.2.2", // 36 upsBypassVoltage.2
    "1.3.6.1.2.1.33.1.5.3.1.2.3", // 37 upsBypassVoltage.3
    "1.3.6.1.2.1.33.1.6.1.0",     // 38 upsAlarmsPresent
    "1.3.6.1.2.1.33.1.9.3.0",     // 39 upsConfigOutputVoltage
    "1.3.6.1.2.1.33.1.9.4.0",     // 40 upsConfigOutputFreq
    "1.3.6.1.2.1.33.1.9.5.0",     // 41 upsConfigOutputVA
    "1.3.6.1.2.1.33.1.9.6.0",     // 42 upsConfigOutputPower
};

namespace {

// Model-text prefixes and the class they give; the first match counts, so
// "4T4" is found through "4T" and "QW 9T8" through "QW 9T".
struct ModelPrefix {
    const char *prefix;
    std::uint8_t model_class;
};
constexpr ModelPrefix model_prefixes[] = {
    {"P.TOLVE", 1}, {"4T", 2},     {"4T4", 2},   {"6T", 2},    {"9T", 3},      {"9T8", 3},
    {"QW 4T", 4},   {"QW 4T4", 4}, {"QW 6T", 4}, {"QW 9T", 5}, {"QW 9T8", 5},
};

// Which flag byte and bit each RFC 1628 well-known alarm sets.
struct AlarmBit {
    std::uint16_t alarm;
    std::uint8_t TDevice::*byte;
    std::uint8_t bit;
};
constexpr AlarmBit alarm_bits[] = {
    {1, &TDevice::BatteryFlags, battery_bad},                 // upsAlarmBatteryBad
    {2, &TDevice::PowerFlags, power_on_battery},              // upsAlarmOnBattery
    {3, &TDevice::PowerFlags, power_low_battery},             // upsAlarmLowBattery
    {4, &TDevice::BatteryFlags, battery_bad},                 // upsAlarmDepletedBattery
    {5, &TDevice::FaultFlags, fault_temperature_bad},         // upsAlarmTempBad
    {8, &TDevice::FaultFlags, fault_output_overload},         // upsAlarmOutputOverload
    {9, &TDevice::ModeFlags, mode_on_bypass},                 // upsAlarmOnBypass
    {10, &TDevice::BatteryFlags, battery_bypass_bad},         // upsAlarmBypassBad
    {13, &TDevice::FaultFlags, fault_failure},                // upsAlarmChargerFailed
    {16, &TDevice::FaultFlags, fault_failure},                // upsAlarmFanFailure
    {17, &TDevice::FaultFlags, fault_failure},                // upsAlarmFuseFailure
    {18, &TDevice::FaultFlags, fault_failure},                // upsAlarmGeneralFault
    {22, &TDevice::ShutdownFlags, shutdown_pending},          // upsAlarmShutdownPending
    {23, &TDevice::ShutdownFlags, shutdown_imminent},         // upsAlarmShutdownImminent
    {24, &TDevice::ShutdownFlags, shutdown_test_in_progress}, // upsAlarmTestInProgress
};
// upsAlarmCommunicationsLost: the agent has lost contact with the UPS itself.
constexpr std::uint16_t alarm_communications_lost = 20;

std::uint16_t number(const char *value) { return static_cast<std::uint16_t>(decimal_text_value(value)); }

std::uint8_t model_class_of(const char *model) {
    for (const ModelPrefix &p : model_prefixes)
        if (std::strncmp(model, p.prefix, std::strlen(p.prefix)) == 0)
            return p.model_class;
    return 0;
}

std::uint16_t battery_nominal(std::uint8_t model_class) {
    switch (model_class) {
    case 2:
    case 4:
        return 72;
    case 3:
    case 5:
        return 36;
    default:
        return 240;
    }
}

void store_output_source(TDevice &record, std::uint16_t source) {
    if (source <= 2) {
        record.PowerFlags &= static_cast<std::uint8_t>(~(power_output_powered | power_on_battery));
        return;
    }
    record.PowerFlags |= power_output_powered;
    if (source == 5)
        record.PowerFlags |= power_on_battery;
    else
        record.PowerFlags &= static_cast<std::uint8_t>(~power_on_battery);
}

// An alarm descriptor is normally a well-known alarm OID; only the number
// after its last dot counts, so an OID of another subtree is decoded by its
// last arc and a text without a dot is passed over.
void store_alarm(TDevice &record, const char *value, std::uint8_t &commlost) {
    const char *dot = std::strrchr(value, '.');
    if (dot == nullptr)
        return;
    const std::uint16_t alarm = number(dot + 1);
    if (alarm == alarm_communications_lost) {
        commlost = 1;
        return;
    }
    for (const AlarmBit &a : alarm_bits)
        if (a.alarm == alarm)
            record.*a.byte |= a.bit;
}

void set_markers(TDevice &record) {
    for (int group = 0; group < 6; ++group)
        record.MarkerBytes[group * 4] = 0xFF;
}

} // namespace

void analyze_datasnmp(TDevice &record, TPollState &state, std::uint8_t row, const char *value,
                      std::uint8_t &commlost) {
    if (value == nullptr)
        value = "";
    switch (row) {
    case row_ident_model:
        // A shorter text clears the rest of the field, so nothing of a
        // longer earlier model survives.
        std::strncpy(record.UpsModel, value, sizeof record.UpsModel);
        record.UpsModel[sizeof record.UpsModel - 1] = 0;
        record.UpsModelEnd = 0;
        state.model_class = model_class_of(record.UpsModel);
        break;
    case row_ident_ups_software_version:
        std::strncpy(record.UpsSoftwareVersion, value, 12);
        record.UpsSoftwareVersion[12] = 0;
        state.sw_version_match = std::strncmp(record.UpsSoftwareVersion, "Zephrola", 8) == 0 ? 1 : 0;
        break;
    case row_estimated_minutes_remaining:
        // These models and software report no usable remaining time.
        record.MinutesRemaining = (state.sw_version_match == 1 || state.model_class == 2 || state.model_class == 3)
                                      ? 0xFFFF
                                      : number(value);
        break;
    case row_estimated_charge_remaining:
        record.ChargeRemaining = number(value);
        break;
    case row_battery_voltage:
        record.BatteryVoltage = number(value);
        record.BatteryNominal = battery_nominal(state.model_class);
        break;
    case row_battery_temperature:
        record.BatteryTemperature = number(value);
        break;
    case row_input_num_lines:
        state.three_phase_input = number(value) == 1 ? 0 : 1;
        break;
    case row_input_frequency_1:
        record.InputFrequency = number(value);
        break;
    case row_input_voltage_1:
    case row_input_voltage_2:
    case row_input_voltage_3:
        record.InputVoltage[row - row_input_voltage_1] = number(value);
        break;
    case row_input_current_1:
    case row_input_current_2:
    case row_input_current_3:
        record.InputCurrent[row - row_input_current_1] = number(value);
        break;
    case row_output_source:
        store_output_source(record, number(value));
        break;
    case row_output_frequency:
        // Class 1 reports no usable output frequency: a fixed 50.0 Hz.
        record.OutputFrequency = state.model_class == 1 ? 500 : number(value);
        break;
    case row_output_num_lines:
        if (state.three_phase_input == 0)
            record.PhaseMode = number(value) == 1 ? '1' : '2';
        else
            record.PhaseMode = number(value) == 1 ? '3' : '4';
        break;
    case row_output_voltage_1:
    case row_output_voltage_2:
    case row_output_voltage_3:
        record.OutputVoltage[row - row_output_voltage_1] = number(value);
        break;
    case row_output_current_1:
    case row_output_current_2:
    case row_output_current_3:
        record.OutputCurrent[row - row_output_current_1] = number(value);
        break;
    case row_output_percent_load_1:
    case row_output_percent_load_2:
    case row_output_percent_load_3:
        record.OutputLoad[row - row_output_percent_load_1] = number(value);
        break;
    case row_bypass_frequency:
        // Class 1 has no bypass readings of its own: the input stands in.
        record.BypassFrequency = state.model_class == 1 ? record.InputFrequency : number(value);
        break;
    case row_bypass_voltage_1:
    case row_bypass_voltage_2:
    case row_bypass_voltage_3: {
        const int line = row - row_bypass_voltage_1;
        record.BypassVoltage[line] =
            state.model_class == 1 ? record.InputVoltage[line] : number(value);
        break;
    }
    case row_alarms_present:
        store_alarm(record, value, commlost);
        break;
    case row_config_output_voltage:
        record.ConfigOutputVoltage = number(value);
        break;
    case row_config_output_freq:
        record.ConfigOutputFreq = number(value);
        break;
    case row_config_output_va:
        record.ConfigOutputVA = number(value);
        break;
    case row_config_output_power:
        record.ConfigOutputPower = number(value);
        break;
    default:
        break;
    }
    set_markers(record);
}

void resetAlarm(TDevice &record, std::uint8_t &commlost) {
    commlost = 0;
    for (const AlarmBit &a : alarm_bits)
        if (a.byte != &TDevice::PowerFlags || a.bit != power_on_battery)
            record.*a.byte &= static_cast<std::uint8_t>(~a.bit);
}
