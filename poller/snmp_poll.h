// One complete SNMP version 1 poll of one UPS: the UPS-MIB object table,
// the alarm walk, status evaluation, the slot's communication flag and the
// slot's pending command.
#pragma once

#include <cstdint>

// Polls the UPS at the address text (at most 20 characters are read) for
// the device slot. 0 poll done, 1 done with SNMP errors, an answer
// without a value or a failed command SET, 2 no answer (bad address, no
// session, a time-out, or no row brought a value). A poll that ends with
// communication lost leaves "Communication is lost !" as the record's
// status text. The first argument is not read.
std::uint8_t snmp_rq_send(std::uint8_t unused, const char *address, std::uint16_t slot);

// Start and end of the SNMP library's socket use, for callers outside the
// timer thread; the timer thread does both itself. snmp_open returns 0.
int snmp_open();
void snmp_close();
