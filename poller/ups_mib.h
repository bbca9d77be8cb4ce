// The UPS-MIB objects that a poll reads, and the storing of each answer
// into the device record by the row number of its object.
#pragma once

#include <cstdint>

#include "shared/decimal_text.h"

#include "shared/device_record.h"

// Rows of OidRequest; the poll reads them in this order.
constexpr int oid_request_rows = 43;
// The row of upsAlarmsPresent, under which alarm descriptors are decoded.
constexpr std::uint8_t alarm_row = 38;

// Dotted OIDs of the objects read by a poll, each followed by zero bytes.
extern const char OidRequest[oid_request_rows][32];

// What the identity rows of one poll decide for the rows after them. A
// poll starts with all three 0 and hands the same state to every call, so
// a row that failed in this poll never takes another poll's (or another
// device's) value.
struct TPollState {
    // 0 to 5, from the stored model text (row 1).
    std::uint8_t model_class;
    // 1 when the stored software version (row 2) begins with "Zephrola".
    std::uint8_t sw_version_match;
    // 1 when the UPS reported a number of input lines other than 1 (row 13).
    std::uint8_t three_phase_input;
};

// Stores one answer into the poll's working record. value is the answer as
// printable text, whatever its syntax (null counts as empty); row 38 takes
// an alarm descriptor and may set commlost, which nothing here clears. Rows
// that store nothing and rows above 42 are accepted. Every call, whatever
// the row, leaves the six marker bytes at 0xFF.
void analyze_datasnmp(TDevice &record, TPollState &state, std::uint8_t row, const char *value,
                      std::uint8_t &commlost);

// Clears commlost and every flag bit that the alarm rule sets, except the
// on-battery bit, which upsOutputSource rewrites at every poll.
void resetAlarm(TDevice &record, std::uint8_t &commlost);
