// Status evaluation of one device record after a poll, and the status
// text of a UPS whose communication is lost.
#include "poller/status_eval.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "shared/text_field.h"

void prepocet_Braxo_stat(TDevice &record) {
    // Each later condition that holds replaces the text while the flag bits
    // accumulate: the text names the most pressing state, the flags all.
    char text[32] = "On Line";
    std::uint8_t code = 0;
    if (record.PowerFlags & power_on_battery) {
        if (record.MinutesRemaining == 0xFFFF)
            std::snprintf(text, sizeof text, "%s", "AC Fail !");
        else
            std::snprintf(text, sizeof text, "%s %s %u %s", "AC Fail !", "Remaining",
                          static_cast<unsigned>(record.MinutesRemaining), "min");
        code = status_on_battery;
    }
    constexpr std::uint8_t low_on_battery = power_low_battery | power_on_battery;
    if ((record.PowerFlags & low_on_battery) == low_on_battery) {
        std::snprintf(text, sizeof text, "%s", "AC Fail, Low Battery !");
        code |= status_low_battery;
    }
    if (!(record.PowerFlags & power_output_powered)) {
        std::snprintf(text, sizeof text, "%s", "Standby");
        code |= status_standby;
    }
    if (record.ModeFlags & mode_on_bypass) {
        std::snprintf(text, sizeof text, "%s", "On Bypass");
        code |= status_on_bypass;
    }
    if (record.FaultFlags & fault_output_overload) {
        std::snprintf(text, sizeof text, "%s", "Overload");
        code |= status_overload;
    }
    if (record.FaultFlags & fault_failure)
        code |= status_fault;
    if (record.FaultFlags & fault_temperature_bad)
        code |= status_temperature;
    record.StatusFlags = code;
    // The longest text, with 65534 minutes, has 29 characters: it always
    // keeps its terminator, and the rest of the field is cleared.
    std::memset(record.StatusText, 0, sizeof record.StatusText);
    std::memcpy(record.StatusText, text, std::min(std::strlen(text), sizeof record.StatusText));

    record.DataStatusFlags = record.StatusFlags;
    std::memcpy(record.DataStatusText, record.StatusText, sizeof record.DataStatusText);
    record.DataCS = record.CS;
    std::memcpy(record.DataCommText, record.CommText, sizeof record.DataCommText);
    record.DataResponseTime = static_cast<std::uint32_t>(record.LastResponse);
    std::memcpy(record.DataAuxText, record.AuxText, sizeof record.DataAuxText);

    const std::uint16_t w = record.BitWord;
    record.BitWordLow = w & 0xFF;
    record.BitFlags[0] = (w >> 9) & 1;
    record.BitFlags[1] = (w >> 2) & 1;
    record.BitFlags[2] = (w >> 1) & 1;
    record.BitFlags[5] = w & 1;
}

void show_comm_lost(TDevice &record) { fill_text_field(record.StatusText, "Communication is lost !"); }
