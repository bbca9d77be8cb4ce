// Stand-in for the SNMP poll until it is merged: no UPS ever answers.
#include "poller/snmp_poll.h"

std::uint8_t snmp_rq_send(std::uint8_t, const char *, std::uint16_t) { return 2; }
