// Queueing of the clients' UPS commands into the pending-command tables.
#include "server/command_queue.h"

#include "server/comm_log.h"
#include "server/net_trace.h"
#include "server/network_receive.h"
#include "server/protocol.h"
#include "server/ups_command_request.h"
#include "shared/debug_log.h"
#include "shared/pending_commands.h"

namespace {

constexpr std::uint16_t kNoReboot = 0xFFFF;
constexpr std::uint8_t kShutdownKind = 1;
constexpr std::uint8_t kRebootOrCommandKind = 3;

// The line of a refused command, whatever the trace level.
void log_ignored() { zapis_stat_com(" !!! Ignored remote UPS command !!! \n\r"); }

} // namespace

void SetUpsShutdown() {
    const std::uint16_t slot_number = in_packet_header->Dev;
    if (slot_number > device_slots) {
        if (k_monitor1 >= 2)
            net_log(" UPS SHUTDOWN : bad device number %u \n", slot_number);
        return;
    }
    const std::uint16_t delay = request_payload_word(in_packet_header, 0);
    const std::uint16_t reboot = request_payload_word(in_packet_header, 2);
    if (k_monitor1 >= 2)
        net_log(" UPS SHUTDOWN DELAY: %u sec     REBOOT:  %u min \n\r", delay, reboot);
    if (remote_commands_ignored()) {
        log_ignored();
        return;
    }
    const std::uint8_t kind = reboot == kNoReboot ? kShutdownKind : kRebootOrCommandKind;
    pending_command_store(static_cast<std::uint16_t>(slot_number - 1), kind, 0, delay, reboot);
}

void SetUpsCommand() {
    const std::uint16_t slot_number = in_packet_header->Dev;
    const UpsCommandRequest request = decode_ups_command(in_packet_header);
    if (slot_number > device_slots || !request.cancel) {
        if (k_monitor1 >= 2)
            net_log(" UPS COMMAND : bad device number %u \n", slot_number);
        return;
    }
    if (k_monitor1 >= 2)
        net_log(" UPS COMMAND : %u     Delay:  %u sec \n", request.command, request.delay);
    if (request.ignored) {
        log_ignored();
        return;
    }
    pending_command_store(static_cast<std::uint16_t>(slot_number - 1), kRebootOrCommandKind,
                          request.command, request.delay, 0);
}
