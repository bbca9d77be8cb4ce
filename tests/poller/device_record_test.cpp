// The device data block as a client receives it: every named field lands
// at its wire offset, little-endian, and no field spills into the bytes
// that clients must read as zero; and the flag bits keep the values that
// clients decode.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "shared/device_record.h"

namespace {

struct FieldCase {
    const char *name;
    std::size_t offset;
    std::vector<std::uint8_t> bytes;
    void (*set)(TDevice &);
};

void fill_text(char *field, std::size_t size, char first) {
    for (std::size_t i = 0; i < size; ++i)
        field[i] = static_cast<char>(first + i % 26);
}

std::vector<std::uint8_t> text_bytes(std::size_t size, char first) {
    std::vector<std::uint8_t> v(size);
    for (std::size_t i = 0; i < size; ++i)
        v[i] = static_cast<std::uint8_t>(first + i % 26);
    return v;
}

// Three 16-bit values 0x0102, 0x0304, 0x0506 as they lie on the wire.
const std::vector<std::uint8_t> triple = {0x02, 0x01, 0x04, 0x03, 0x06, 0x05};
void set_triple(std::uint16_t (&f)[3]) { f[0] = 0x0102, f[1] = 0x0304, f[2] = 0x0506; }

const FieldCase field_cases[] = {
    {"DataCS", 0, {0xA1}, [](TDevice &d) { d.DataCS = 0xA1; }},
    {"DataStatusFlags", 1, {0xA2}, [](TDevice &d) { d.DataStatusFlags = 0xA2; }},
    {"DataCommText", 2, text_bytes(30, 'a'), [](TDevice &d) { fill_text(d.DataCommText, 30, 'a'); }},
    {"DataResponseTime", 32, {0x44, 0x33, 0x22, 0x11}, [](TDevice &d) { d.DataResponseTime = 0x11223344; }},
    {"DataAuxText", 36, text_bytes(30, 'b'), [](TDevice &d) { fill_text(d.DataAuxText, 30, 'b'); }},
    {"DataStatusText", 66, text_bytes(30, 'c'), [](TDevice &d) { fill_text(d.DataStatusText, 30, 'c'); }},
    {"InputVoltage", 250, triple, [](TDevice &d) { set_triple(d.InputVoltage); }},
    {"InputCurrent", 256, triple, [](TDevice &d) { set_triple(d.InputCurrent); }},
    {"InputFrequency", 262, {0x34, 0x12}, [](TDevice &d) { d.InputFrequency = 0x1234; }},
    {"OutputVoltage", 264, triple, [](TDevice &d) { set_triple(d.OutputVoltage); }},
    {"OutputCurrent", 270, triple, [](TDevice &d) { set_triple(d.OutputCurrent); }},
    {"OutputLoad", 276, triple, [](TDevice &d) { set_triple(d.OutputLoad); }},
    {"OutputFrequency", 288, {0x35, 0x12}, [](TDevice &d) { d.OutputFrequency = 0x1235; }},
    {"MinutesRemaining", 290, {0xFF, 0xFF}, [](TDevice &d) { d.MinutesRemaining = 0xFFFF; }},
    {"ChargeRemaining", 292, {0x57, 0x00}, [](TDevice &d) { d.ChargeRemaining = 87; }},
    {"BatteryVoltage", 294, {0x36, 0x12}, [](TDevice &d) { d.BatteryVoltage = 0x1236; }},
    {"BatteryTemperature", 330, {0x37, 0x12}, [](TDevice &d) { d.BatteryTemperature = 0x1237; }},
    {"ZeroWord", 336, {0x38, 0x12}, [](TDevice &d) { d.ZeroWord = 0x1238; }},
    {"BypassVoltage", 390, triple, [](TDevice &d) { set_triple(d.BypassVoltage); }},
    {"BypassFrequency", 396, {0x39, 0x12}, [](TDevice &d) { d.BypassFrequency = 0x1239; }},
    {"BitWordLow", 398, {0x3A, 0x12}, [](TDevice &d) { d.BitWordLow = 0x123A; }},
    {"PowerFlags", 416, {0x0B}, [](TDevice &d) { d.PowerFlags = 0x0B; }},
    {"ModeFlags", 417, {0x08}, [](TDevice &d) { d.ModeFlags = 0x08; }},
    {"BatteryFlags", 418, {0x09}, [](TDevice &d) { d.BatteryFlags = 0x09; }},
    {"ShutdownFlags", 419, {0x0E}, [](TDevice &d) { d.ShutdownFlags = 0x0E; }},
    {"FaultFlags", 420, {0x0E}, [](TDevice &d) { d.FaultFlags = 0x0E; }},
    {"ZeroByte", 421, {0x5A}, [](TDevice &d) { d.ZeroByte = 0x5A; }},
    {"BitFlags bit 9", 472, {1}, [](TDevice &d) { d.BitFlags[0] = 1; }},
    {"BitFlags bit 2", 473, {1}, [](TDevice &d) { d.BitFlags[1] = 1; }},
    {"BitFlags bit 1", 474, {1}, [](TDevice &d) { d.BitFlags[2] = 1; }},
    {"BitFlags bit 0", 477, {1}, [](TDevice &d) { d.BitFlags[5] = 1; }},
    {"UpsModel", 506, text_bytes(16, 'M'), [](TDevice &d) { fill_text(d.UpsModel, 16, 'M'); }},
    {"UpsModelEnd", 522, {0x5B}, [](TDevice &d) { d.UpsModelEnd = 0x5B; }},
    {"UpsSoftwareVersion", 524, text_bytes(13, 'S'), [](TDevice &d) { fill_text(d.UpsSoftwareVersion, 13, 'S'); }},
    {"ConfigOutputVA", 548, {0x3B, 0x12}, [](TDevice &d) { d.ConfigOutputVA = 0x123B; }},
    {"ConfigOutputPower", 550, {0x3C, 0x12}, [](TDevice &d) { d.ConfigOutputPower = 0x123C; }},
    {"BatteryNominal", 552, {0xF0, 0x00}, [](TDevice &d) { d.BatteryNominal = 240; }},
    {"DigitValue", 554, {0xD0, 0xFF}, [](TDevice &d) { d.DigitValue = 0xFFD0; }},
    {"SetupFlag", 564, {1}, [](TDevice &d) { d.SetupFlag = 1; }},
    {"ConfigOutputVoltage", 622, {0x3D, 0x12}, [](TDevice &d) { d.ConfigOutputVoltage = 0x123D; }},
    {"MarkerBytes", 624, {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0},
     [](TDevice &d) {
         for (int i = 0; i < 24; i += 4)
             d.MarkerBytes[i] = 0xFF;
     }},
    {"PhaseMode", 658, {'4'}, [](TDevice &d) { d.PhaseMode = '4'; }},
    {"FixedDigit", 659, {'3'}, [](TDevice &d) { d.FixedDigit = '3'; }},
    {"DigitChar", 665, {'7'}, [](TDevice &d) { d.DigitChar = '7'; }},
    {"ConfigOutputFreq", 670, {0x3E, 0x12}, [](TDevice &d) { d.ConfigOutputFreq = 0x123E; }},
};

// Every named bit of the flag bytes, alone, as a client reads it in the
// block: the names must keep the values that clients decode.
const FieldCase flag_bit_cases[] = {
    {"power_low_battery", 416, {0x01}, [](TDevice &d) { d.PowerFlags = power_low_battery; }},
    {"power_on_battery", 416, {0x02}, [](TDevice &d) { d.PowerFlags = power_on_battery; }},
    {"power_output_powered", 416, {0x08}, [](TDevice &d) { d.PowerFlags = power_output_powered; }},
    {"mode_poll_cleared", 417, {0x07}, [](TDevice &d) { d.ModeFlags = mode_poll_cleared; }},
    {"mode_on_bypass", 417, {0x08}, [](TDevice &d) { d.ModeFlags = mode_on_bypass; }},
    {"battery_bad", 418, {0x01}, [](TDevice &d) { d.BatteryFlags = battery_bad; }},
    {"battery_bypass_bad", 418, {0x08}, [](TDevice &d) { d.BatteryFlags = battery_bypass_bad; }},
    {"shutdown_test_in_progress", 419, {0x02}, [](TDevice &d) { d.ShutdownFlags = shutdown_test_in_progress; }},
    {"shutdown_imminent", 419, {0x04}, [](TDevice &d) { d.ShutdownFlags = shutdown_imminent; }},
    {"shutdown_pending", 419, {0x08}, [](TDevice &d) { d.ShutdownFlags = shutdown_pending; }},
    {"fault_temperature_bad", 420, {0x02}, [](TDevice &d) { d.FaultFlags = fault_temperature_bad; }},
    {"fault_output_overload", 420, {0x04}, [](TDevice &d) { d.FaultFlags = fault_output_overload; }},
    {"fault_failure", 420, {0x08}, [](TDevice &d) { d.FaultFlags = fault_failure; }},
    {"status_overload", 1, {0x01}, [](TDevice &d) { d.DataStatusFlags = status_overload; }},
    {"status_low_battery", 1, {0x02}, [](TDevice &d) { d.DataStatusFlags = status_low_battery; }},
    {"status_on_battery", 1, {0x04}, [](TDevice &d) { d.DataStatusFlags = status_on_battery; }},
    {"status_on_bypass", 1, {0x08}, [](TDevice &d) { d.DataStatusFlags = status_on_bypass; }},
    {"status_fault", 1, {0x10}, [](TDevice &d) { d.DataStatusFlags = status_fault; }},
    {"status_standby", 1, {0x20}, [](TDevice &d) { d.DataStatusFlags = status_standby; }},
    {"status_temperature", 1, {0x40}, [](TDevice &d) { d.DataStatusFlags = status_temperature; }},
};

void PrintTo(const FieldCase &c, std::ostream *os) { *os << c.name << " at " << c.offset; }

std::string case_name(const ::testing::TestParamInfo<FieldCase> &info) {
    std::string n = info.param.name;
    for (char &ch : n)
        if (ch == ' ')
            ch = '_';
    return n;
}

class DeviceDataLayout : public ::testing::TestWithParam<FieldCase> {};

TEST_P(DeviceDataLayout, FieldLandsAtItsWireOffsetAndNowhereElse) {
    const FieldCase &c = GetParam();
    TDevice d;
    std::memset(&d, 0, sizeof d);
    c.set(d);
    const auto *raw = reinterpret_cast<const std::uint8_t *>(&d);
    for (std::size_t i = 0; i < device_data_size; ++i) {
        const bool inside = i >= c.offset && i < c.offset + c.bytes.size();
        const std::uint8_t expected = inside ? c.bytes[i - c.offset] : 0;
        ASSERT_EQ(raw[i], expected) << c.name << " at byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, DeviceDataLayout, ::testing::ValuesIn(field_cases), case_name);
INSTANTIATE_TEST_SUITE_P(FlagBits, DeviceDataLayout, ::testing::ValuesIn(flag_bit_cases),
                         case_name);

} // namespace
