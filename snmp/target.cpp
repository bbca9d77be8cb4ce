// Targets take a copy of the address they are made from.
#include "snmp/target.h"

SnmpTarget::SnmpTarget(const Address &address) {
    if (const auto *udp = dynamic_cast<const UdpAddress *>(&address))
        address_ = *udp;
}
