// The pending UPS command of a slot, carried out at the end of the slot's
// poll with one SNMP SET through the poll's own session, and what the poll
// and the command share: the settings of their target and the composing
// of their log lines.
#pragma once

#include <cstddef>
#include <cstdint>

#include "snmp/snmp_pp.h"

// The upsControl objects written, by command kind: 1 upsShutdownAfterDelay,
// 3 upsRebootWithDuration (2, upsStartupAfterDelay, is never queued; 0
// sends nothing).
extern const char OidSetShutdown[4][32];

// Every request to a UPS goes out as SNMP version 1 with one retry and a
// time-out of one second, reading with the slot's read community and
// writing with its write community.
void ups_target_settings(CTarget &target, const OctetStr &read_community,
                         const OctetStr &write_community);

// Composes one log line in the poll's 200-byte line buffer and writes it
// through printfc; a longer line is cut at the buffer.
constexpr std::size_t poll_line_size = 200;
void poll_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Sends the slot's pending command, if one is queued, to the UPS at address
// (its port set to 161 again) through snmp, and marks it done once the UPS
// has accepted it; a request stored meanwhile stays queued. A failed SET
// keeps the command for the next poll and sets result to 1; otherwise
// result is left as the poll made it. address_text is the poll's address
// text for the error line.
void ups_command_send(Snmp &snmp, UdpAddress &address, const OctetStr &read_community,
                      const OctetStr &write_community, const char *address_text,
                      std::uint8_t &result, std::uint16_t slot);
