// Queueing of the clients' UPS commands into the pending-command tables.
#include "server/command_queue.h"

#include "server/comm_log.h"
#include "server/net_trace.h"
#include "server/network_receive.h"
#include "server/protocol.h"
#include "shared/debug_log.h"
#include "shared/ini_record.h"
#include "shared/pending_commands.h"

namespace {

// Command number of the cancel command, the only one accepted.
constexpr std::uint16_t kCancelCommand = 6;
constexpr std::uint16_t kNoReboot = 0xFFFF;
constexpr std::uint8_t kShutdownKind = 1;
constexpr std::uint8_t kRebootOrCommandKind = 3;

// Payload value at the given payload offset, little-endian on any host.
std::uint16_t payload_word(int offset) {
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(in_packet_header) + datanet_size;
    return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

bool commands_ignored() {
    if (INI.System.IgnoreRemoteUPSCommands == 0)
        return false;
    zapis_stat_com(" !!! Ignored remote UPS command !!! \n\r");
    return true;
}

} // namespace

void SetUpsShutdown() {
    const std::uint16_t slot_number = in_packet_header->Dev;
    if (slot_number > device_slots) {
        if (k_monitor1 >= 2)
            net_log(" UPS SHUTDOWN : bad device number %u \n", slot_number);
        return;
    }
    const std::uint16_t delay = payload_word(0);
    const std::uint16_t reboot = payload_word(2);
    if (k_monitor1 >= 2)
        net_log(" UPS SHUTDOWN DELAY: %u sec     REBOOT:  %u min \n\r", delay, reboot);
    if (commands_ignored())
        return;
    const std::uint8_t kind = reboot == kNoReboot ? kShutdownKind : kRebootOrCommandKind;
    pending_command_store(static_cast<std::uint16_t>(slot_number - 1), kind, 0, delay, reboot);
}

void SetUpsCommand() {
    const std::uint16_t slot_number = in_packet_header->Dev;
    const std::uint16_t command = payload_word(0);
    if (slot_number > device_slots || command != kCancelCommand) {
        if (k_monitor1 >= 2)
            net_log(" UPS COMMAND : bad device number %u \n", slot_number);
        return;
    }
    const std::uint16_t delay = payload_word(2);
    if (k_monitor1 >= 2)
        net_log(" UPS COMMAND : %u     Delay:  %u sec \n", command, delay);
    if (commands_ignored())
        return;
    pending_command_store(static_cast<std::uint16_t>(slot_number - 1), kRebootOrCommandKind,
                          kCancelCommand, delay, 0);
}

bool cancel_command_request() {
    return in_packet_header->Ident == SET_UPSCOMMAND && payload_word(0) == kCancelCommand &&
           INI.System.IgnoreRemoteUPSCommands == 0;
}
