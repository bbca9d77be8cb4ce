// The pending UPS command of every device slot, queued by the network
// thread from client requests and carried out with SNMP SET by the timer
// thread at the end of the slot's next poll.
#pragma once

#include <cstdint>

#include "shared/device_table.h"

// The four tables, one entry per slot index. They are read and written
// only through the calls below, which keep a slot's four entries together.
// Kind: 0 none, 1 shutdown after a delay, 3 reboot or command.
extern std::uint8_t snmp_shutdown[device_slots];
// Command number: 6 for the cancel command, else 0.
extern std::uint16_t snmp_dev_shutdown[device_slots];
// Delay in seconds.
extern std::uint16_t snmp_delay_shutdown[device_slots];
// Reboot value; 0xFFFF means no reboot.
extern std::uint16_t snmp_reboot_shutdown[device_slots];

// A consistent copy of one slot's entries. Serial tells which request the
// copy came from, so that the command can be marked done only while no
// newer request has replaced it.
struct TPendingCommand {
    std::uint8_t kind;
    std::uint16_t command;
    std::uint16_t delay;
    std::uint16_t reboot;
    std::uint32_t serial;
};

// Stores a request whole, replacing whatever was pending in the slot.
// Slot indexes outside 0..31 store nothing.
void pending_command_store(std::uint16_t slot, std::uint8_t kind, std::uint16_t command,
                           std::uint16_t delay, std::uint16_t reboot);

// The slot's four entries as one copy; kind 0 (and all zero) for a slot
// index outside 0..31.
TPendingCommand pending_command_take(std::uint16_t slot);

// Marks the command of a copy taken before as done after its SET
// succeeded: clears the slot's kind, leaving the other three entries, but
// only if no request was stored since the copy was taken. Returns whether
// the kind was cleared; a newer request stays queued for the next poll.
bool pending_command_done(std::uint16_t slot, const TPendingCommand &sent);

// Clears all four tables of every slot to zero bytes, as the creation of
// the agent socket does before any request can arrive.
void pending_commands_clear();
