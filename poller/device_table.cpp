// The device table and communication flags, and the per-slot locks under
// which records and flags pass from the timer thread to its readers.
#include "shared/device_table.h"

#include <cstring>
#include <mutex>

TDevice *SM_DEV[device_slots] = {};
std::int32_t ready_status[device_slots] = {};

namespace {

std::mutex slot_lock[device_slots];

bool valid_slot(std::uint16_t slot) { return slot < device_slots; }

} // namespace

bool device_snapshot(std::uint16_t slot, TDevice *record, std::int32_t *ready) {
    if (!valid_slot(slot))
        return false;
    std::lock_guard<std::mutex> lock(slot_lock[slot]);
    if (ready != nullptr)
        *ready = ready_status[slot];
    if (SM_DEV[slot] == nullptr)
        return false;
    if (record != nullptr)
        std::memcpy(record, SM_DEV[slot], sizeof(TDevice));
    return true;
}

namespace {

// Copies the working record over the published one (not onto itself) and,
// when asked, sets the flag in the same locked step.
void publish(std::uint16_t slot, const TDevice &record, const std::int32_t *ready) {
    if (!valid_slot(slot))
        return;
    std::lock_guard<std::mutex> lock(slot_lock[slot]);
    if (SM_DEV[slot] != nullptr && SM_DEV[slot] != &record)
        std::memcpy(SM_DEV[slot], &record, sizeof(TDevice));
    if (ready != nullptr)
        ready_status[slot] = *ready;
}

} // namespace

void device_publish(std::uint16_t slot, const TDevice &record) { publish(slot, record, nullptr); }

void device_publish_ready(std::uint16_t slot, const TDevice &record, std::int32_t ready) {
    publish(slot, record, &ready);
}

void set_ready_status(std::uint16_t slot, std::int32_t ready) {
    if (!valid_slot(slot))
        return;
    std::lock_guard<std::mutex> lock(slot_lock[slot]);
    ready_status[slot] = ready;
}
