// The pending-command tables and the per-slot locks under which a request
// is stored, taken and marked done whole.
#include "shared/pending_commands.h"

#include <mutex>

std::uint8_t snmp_shutdown[device_slots] = {};
std::uint16_t snmp_dev_shutdown[device_slots] = {};
std::uint16_t snmp_delay_shutdown[device_slots] = {};
std::uint16_t snmp_reboot_shutdown[device_slots] = {};

namespace {

std::mutex command_lock[device_slots];
// Counts the requests stored in each slot, so that a SET that was under way
// while a newer request arrived does not mark the newer one done.
std::uint32_t command_serial[device_slots] = {};

} // namespace

void pending_command_store(std::uint16_t slot, std::uint8_t kind, std::uint16_t command,
                           std::uint16_t delay, std::uint16_t reboot) {
    if (slot >= device_slots)
        return;
    std::lock_guard<std::mutex> lock(command_lock[slot]);
    snmp_shutdown[slot] = kind;
    snmp_dev_shutdown[slot] = command;
    snmp_delay_shutdown[slot] = delay;
    snmp_reboot_shutdown[slot] = reboot;
    ++command_serial[slot];
}

TPendingCommand pending_command_take(std::uint16_t slot) {
    TPendingCommand copy = {};
    if (slot >= device_slots)
        return copy;
    std::lock_guard<std::mutex> lock(command_lock[slot]);
    copy.kind = snmp_shutdown[slot];
    copy.command = snmp_dev_shutdown[slot];
    copy.delay = snmp_delay_shutdown[slot];
    copy.reboot = snmp_reboot_shutdown[slot];
    copy.serial = command_serial[slot];
    return copy;
}

bool pending_command_done(std::uint16_t slot, const TPendingCommand &sent) {
    if (slot >= device_slots)
        return false;
    std::lock_guard<std::mutex> lock(command_lock[slot]);
    if (command_serial[slot] != sent.serial)
        return false;
    snmp_shutdown[slot] = 0;
    return true;
}

void pending_commands_clear() {
    for (int slot = 0; slot < device_slots; ++slot) {
        std::lock_guard<std::mutex> lock(command_lock[slot]);
        snmp_shutdown[slot] = 0;
        snmp_dev_shutdown[slot] = 0;
        snmp_delay_shutdown[slot] = 0;
        snmp_reboot_shutdown[slot] = 0;
        ++command_serial[slot];
    }
}
