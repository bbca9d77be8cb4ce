// The device table, the per-slot communication flags, and how the timer
// thread hands records and flags to the network thread without a reader
// ever seeing a half-written record.
#pragma once

#include <cstdint>

#include "shared/device_record.h"

// Number of device slots; slot n belongs to the configuration entry UPS_nn.
constexpr int device_slots = 32;

// One record per slot, from the set-up until the stop routine releases
// them; a slot whose record's Name is empty is not in use.
extern TDevice *SM_DEV[device_slots];

// The slot's communication flag: 1 while the last poll established
// communication, else 0. The network thread answers requests about a
// device only while it is 1.
extern std::int32_t ready_status[device_slots];

// Hand-over between the threads. The timer thread is the only writer of
// records and flags: it may read its own records directly, but once the
// agent port is open it changes them only through the three calls below,
// and every other thread reads them only through device_snapshot. The
// set-up stores the pointers and fills the records before the port
// exists; the stop routine releases them after both worker threads have
// ended. Each slot has its own lock, held only for a copy of one record.
// Slot numbers outside 0..31 are passed over; a slot without a record
// keeps its flag, which these calls still read and write.

// A consistent copy of the slot's record into *record and of its flag into
// *ready (either pointer may be null). False when the slot has no record;
// *record is then left untouched and *ready still receives the flag.
bool device_snapshot(std::uint16_t slot, TDevice *record, std::int32_t *ready);

// Replaces the slot's record whole with the writer's working copy.
void device_publish(std::uint16_t slot, const TDevice &record);

// Replaces the slot's record and its flag together, so that a reader sees
// both old or both new.
void device_publish_ready(std::uint16_t slot, const TDevice &record, std::int32_t ready);

// Sets the slot's communication flag alone.
void set_ready_status(std::uint16_t slot, std::int32_t ready);
