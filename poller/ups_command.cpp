// Execution of the pending UPS command of a slot: a shutdown after a delay,
// a shutdown with reboot or the cancel command, written to the UPS-MIB
// upsControl group with one SET.
#include "poller/ups_command.h"

#include <cstdarg>
#include <cstdio>
#include <iterator>

#include "shared/debug_log.h"
#include "shared/pending_commands.h"

const char OidSetShutdown[4][32] = {
    "0",
    "1.3.6.1.2.1.33.1.8.2.0", // upsShutdownAfterDelay
    "1.3.6.1.2.1.33.1.8.3.0", // upsStartupAfterDelay
    "1.3.6.1.2.1.33.1.8.4.0", // upsRebootWithDuration
};

namespace {

// Command number of the cancel command: -1 aborts a countdown in progress.
constexpr std::uint16_t command_cancel = 6;
constexpr std::uint8_t kind_shutdown = 1;

} // namespace

void ups_target_settings(CTarget &target, const OctetStr &read_community,
                         const OctetStr &write_community) {
    target.set_version(version1);
    target.set_retry(1);
    target.set_timeout(100);
    target.set_readcommunity(read_community);
    target.set_writecommunity(write_community);
}

void poll_printf(const char *format, ...) {
    char line[poll_line_size];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    printfc(line);
}

void ups_command_send(Snmp &snmp, UdpAddress &address, const OctetStr &read_community,
                      const OctetStr &write_community, const char *address_text,
                      std::uint8_t &result, std::uint16_t slot) {
    // One copy of all four entries, so that a request the network thread
    // stores meanwhile is neither mixed into this one nor lost.
    const TPendingCommand command = pending_command_take(slot);
    if (command.kind == 0 || command.kind >= std::size(OidSetShutdown))
        return;

    const Oid oid(OidSetShutdown[command.kind], true);
    long value;
    if (command.command == command_cancel)
        value = -1;
    else if (command.kind == kind_shutdown)
        value = command.delay;
    else
        value = command.reboot;
    Vb vb(oid);
    vb.set_value(SnmpInt32(value));
    Pdu pdu;
    pdu += vb;

    address.set_port(161);
    CTarget target(address);
    ups_target_settings(target, read_community, write_community);

    const char *oid_text = oid.get_printable();
    const char *value_text = vb.get_printable_value();
    if (k_monitor == 10)
        poll_printf("\nSHUTDOWN: Oid = %s Value = %s", oid_text, value_text);
    const int status = snmp.set(pdu, target);
    if (status == SNMP_CLASS_SUCCESS) {
        poll_printf("\nOidSet = %u Oid = %s Value = %s SUCCESS",
                    static_cast<unsigned>(command.kind), oid_text, value_text);
        pending_command_done(slot, command);
    } else {
        poll_printf("\n%s OidSet = %u Oid = %s SNMP++ Get Error, %s (%u)", address_text,
                    static_cast<unsigned>(command.kind), oid_text, Snmp::error_msg(status),
                    static_cast<unsigned>(status));
        result = 1;
    }
}
