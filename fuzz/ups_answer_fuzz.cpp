// libFuzzer target for the storing of a UPS's answers, every byte of which
// comes from the network. The input's first two bytes give a length up to
// the largest value an SNMP answer can carry (a UDP datagram holds at most
// 65507 bytes), and the rest, repeated or cut to that length, is the value
// text, as the poll takes it from an answer. It is stored under every row
// of the object table and under the input's own row number, decoded as an
// alarm descriptor, composed into the OID of an alarm row and taken as the
// walk's current OID; the lines of the input are also stored one row after
// the other, so that later rows see what earlier ones decided (a model
// class, the phase flag). Whatever the text, the record keeps its bounds:
// texts end inside their fields, no flag bit is set that has no meaning, no
// byte is written that no rule writes, and the status text fits its field.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "poller/alarm_walk_oid.h"
#include "poller/status_eval.h"
#include "poller/ups_mib.h"
#include "shared/device_record.h"
#include "snmp/oid.h"

namespace {

constexpr std::size_t kLargestValue = 65507;

void check(bool holds) {
    if (!holds)
        std::abort();
}

bool all_zero(const void *bytes, std::size_t size) {
    const auto *p = static_cast<const std::uint8_t *>(bytes);
    for (std::size_t i = 0; i < size; ++i)
        if (p[i] != 0)
            return false;
    return true;
}

bool ends_within(const char *field, std::size_t width) { return std::memchr(field, '\0', width) != nullptr; }

// What the storing may leave in a record that was all zero before.
void check_record(const TDevice &r) {
    check(ends_within(r.UpsModel, sizeof r.UpsModel));
    check(r.UpsModel[sizeof r.UpsModel - 1] == 0 && r.UpsModelEnd == 0);
    check(r.UpsSoftwareVersion[12] == 0);
    check((r.PowerFlags & ~(power_low_battery | power_on_battery | power_output_powered)) == 0);
    check((r.ModeFlags & ~mode_on_bypass) == 0);
    check((r.BatteryFlags & ~(battery_bad | battery_bypass_bad)) == 0);
    check((r.ShutdownFlags & ~(shutdown_test_in_progress | shutdown_imminent | shutdown_pending)) == 0);
    check((r.FaultFlags & ~(fault_temperature_bad | fault_output_overload | fault_failure)) == 0);
    check(r.PhaseMode == 0 || (r.PhaseMode >= '1' && r.PhaseMode <= '4'));
    for (int group = 0; group < 6; ++group) {
        check(r.MarkerBytes[group * 4] == 0xFF);
        check(all_zero(&r.MarkerBytes[group * 4 + 1], 3));
    }
    // Bytes that no storing rule writes, around and after the fields it
    // does: the head of the data block, the gaps, and the whole in-memory
    // part of the record.
    struct Untouched {
        std::size_t offset;
        std::size_t size;
    };
    const Untouched untouched[] = {
        {0, offsetof(TDevice, InputVoltage)},
        {offsetof(TDevice, Reserved282), sizeof r.Reserved282},
        {offsetof(TDevice, Reserved296), sizeof r.Reserved296},
        {offsetof(TDevice, Reserved332), sizeof r.Reserved332 + sizeof r.ZeroWord + sizeof r.Reserved338},
        {offsetof(TDevice, BitWordLow), sizeof r.BitWordLow + sizeof r.Reserved400},
        {offsetof(TDevice, ZeroByte), sizeof r.ZeroByte + sizeof r.Reserved422 + sizeof r.BitFlags +
                                          sizeof r.Reserved478},
        {offsetof(TDevice, Reserved523), sizeof r.Reserved523},
        {offsetof(TDevice, Reserved537), sizeof r.Reserved537},
        {offsetof(TDevice, DigitValue), sizeof r.DigitValue + sizeof r.Reserved556 + sizeof r.SetupFlag +
                                            sizeof r.Reserved565},
        {offsetof(TDevice, Reserved648), sizeof r.Reserved648},
        {offsetof(TDevice, FixedDigit), sizeof r.FixedDigit + sizeof r.Reserved660 + sizeof r.DigitChar +
                                            sizeof r.Reserved666},
        {offsetof(TDevice, Reserved672), sizeof r.Reserved672},
    };
    for (const Untouched &u : untouched)
        check(all_zero(reinterpret_cast<const std::uint8_t *>(&r) + u.offset, u.size));
    check(all_zero(reinterpret_cast<const std::uint8_t *>(&r) + device_data_size,
                   sizeof r - device_data_size));
}

// The status worked out from whatever was stored fits its field.
void check_status(TDevice r) {
    prepocet_Braxo_stat(r);
    check(ends_within(r.StatusText, sizeof r.StatusText));
    check(std::memcmp(r.DataStatusText, r.StatusText, sizeof r.StatusText) == 0);
}

// The walk's OIDs made from the text: the composed row OID is whole or
// refused, and the OID the SNMP layer makes of it (or of the text itself)
// always fits the walk's current OID.
void check_walk_oids(const std::string &value) {
    char composed[alarm_oid_text_size];
    if (alarm_descr_oid(composed, value.c_str())) {
        const std::string expected = std::string(OidDescrAlarm[0]) + "." + value.c_str();
        check(expected == composed);
        check(alarm_descr_answer(composed));
    }
    char current[alarm_oid_text_size] = "1.3.6.1.2.1.33.1.6.1.0";
    const std::size_t length = std::strlen(value.c_str());
    if (alarm_walk_position(current, value.c_str()))
        check(length < sizeof current && std::strcmp(current, value.c_str()) == 0);
    else
        check(length >= sizeof current && std::strcmp(current, "1.3.6.1.2.1.33.1.6.1.0") == 0);
    for (const char *text : {static_cast<const char *>(composed), value.c_str()}) {
        const Oid oid(text, true);
        if (!oid.valid())
            continue;
        check(alarm_walk_position(current, oid.get_printable()));
        check(Oid(current, true).len() == oid.len());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::size_t length = (static_cast<std::size_t>(data[0]) << 8 | data[1]) % (kLargestValue + 1);
    const std::string pattern(reinterpret_cast<const char *>(data + 2), size - 2);
    std::string value;
    if (!pattern.empty()) {
        value.reserve(length);
        while (value.size() < length)
            value.append(pattern, 0, length - value.size());
    }

    // The one value under every row, and under the row number the input
    // begins with (numbers beyond the table included).
    TDevice record{};
    TPollState state{};
    std::uint8_t commlost = 0;
    for (int row = 0; row < oid_request_rows; ++row)
        analyze_datasnmp(record, state, static_cast<std::uint8_t>(row), value.c_str(), commlost);
    analyze_datasnmp(record, state, data[0], value.c_str(), commlost);
    check(state.model_class <= 5 && state.sw_version_match <= 1 && state.three_phase_input <= 1);
    check(commlost <= 1);
    check_record(record);
    check_status(record);

    // The lines of the input, one row after the other, and each as an
    // alarm descriptor after the walk's reset.
    TDevice rows{};
    TPollState rows_state{};
    std::uint8_t rows_commlost = 0;
    std::size_t at = 0;
    for (int row = 0; at <= pattern.size(); row = (row + 1) % oid_request_rows) {
        std::size_t end = pattern.find('\n', at);
        if (end == std::string::npos)
            end = pattern.size();
        const std::string line = pattern.substr(at, end - at);
        analyze_datasnmp(rows, rows_state, static_cast<std::uint8_t>(row), line.c_str(), rows_commlost);
        analyze_datasnmp(rows, rows_state, row_alarms_present, line.c_str(), rows_commlost);
        at = end + 1;
    }
    check_record(rows);
    check_status(rows);
    resetAlarm(rows, rows_commlost);
    check(rows_commlost == 0);
    check_record(rows);

    check_walk_oids(value);
    return 0;
}
