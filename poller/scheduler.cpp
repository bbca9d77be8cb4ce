// TimerProcessing: the walk over the slots, the missed-response accounting
// and the poll of the slot that is due, with its request and response
// lines in the communication log. The timer thread is the only writer of
// the records; it changes them through working copies that it publishes
// whole, so that the network thread never sees a half-written record.
#include "poller/scheduler.h"

#include <cstdio>
#include <cstring>

#include "platform/wait.h"
#include "poller/scheduler_clock.h"
#include "poller/scheduler_field_text.h"
#include "poller/snmp_poll.h"
#include "poller/status_eval.h"
#include "poller/timer_thread.h"
#include "server/comm_log.h"
#include "shared/debug_log.h"
#include "shared/device_table.h"

std::uint16_t tcpip_dev_index = 0;
std::uint8_t poll_busy = 0;

namespace {

constexpr platform::DWORD kSlotStep = 250; // ms per examined slot
constexpr std::uint16_t kLastSlot = 31;
constexpr std::int64_t kDueAfter = 1;      // s since the last request
constexpr std::int64_t kMissedAfter = 5;   // s since the last response
constexpr std::uint8_t kMissedLimit = 4;

bool stop_signalled() {
    return platform::WaitForSingleObject(g_hShutdownEvent, 0) == platform::WAIT_OBJECT_0;
}

bool is_snmp_slot(const TDevice *record) {
    return record != nullptr && record->Name[0] != '\0' && record->Connection == AGSNMP;
}

// "RQ Dev:" and "RESP Dev:" lines: the slot and the record's identity.
void log_poll_line(const char *kind, std::uint16_t slot, const TDevice &record) {
    const FieldText name(record.Name);
    const FieldText port(record.Port);
    char line[128];
    std::snprintf(line, sizeof line, "%s Dev:%02i %20s %15s %02u %02u CS:%u", kind, static_cast<int>(slot),
                  name.text, port.text, static_cast<unsigned>(record.Device),
                  static_cast<unsigned>(record.DeviceType), static_cast<unsigned>(record.CS));
    zapis_stat_com(line);
}

// Counts a missed response when the last one (or the last counted miss)
// lies 5 s or more back; at the limit the slot loses its communication
// flag instead, and its browse record shows the loss. True when the slot
// is due for a poll.
//
// Both decisions are taken on the tick count, not on the system clock
// that LastRequest and LastResponse keep: a clock set back would hold
// every slot unpolled, and its loss unseen, until the clock passed the
// last request again; one set forward would count misses that no time
// made. The record's times stay the system clock's, for clients.
bool examine(std::uint16_t slot, std::int64_t ticks) {
    TDevice work;
    std::memcpy(&work, SM_DEV[slot], sizeof work);
    if (ticks - work.ResponseTicks >= kMissedAfter && work.LastRequest != 0) {
        work.LastResponse = real_time;
        work.ResponseTicks = ticks;
        if (work.ErrorCount >= kMissedLimit) {
            printfc("\nERROR PACKET MAX");
            show_comm_lost(work);
            device_publish_ready(slot, work, 0);
        } else {
            ++work.ErrorCount;
            device_publish(slot, work);
        }
    }
    return work.LastRequest == 0 || ticks - work.RequestTicks >= kDueAfter;
}

// The times recorded for the poll are those taken at the examination,
// before it.
void poll(std::uint16_t slot, std::int64_t ticks) {
    if (k_monitor1 >= 2)
        log_poll_line("RQ", slot, *SM_DEV[slot]);
    // The poll publishes the record while it runs, so it gets its own copy
    // of the address.
    const FieldText port(SM_DEV[slot]->Port);
    const std::uint8_t result = snmp_rq_send(0, port.text, slot);

    TDevice work;
    std::memcpy(&work, SM_DEV[slot], sizeof work);
    const bool answered = result != 2;
    if (answered) {
        work.LastResponse = real_time;
        work.ResponseTicks = ticks;
        work.ErrorCount = 0;
    } else {
        ++work.ErrorCount; // 8 bits: wraps from 255 to 0
    }
    work.LastRequest = real_time;
    work.RequestTicks = ticks;
    device_publish(slot, work);
    if (answered)
        log_poll_line("RESP", slot, work);
}

} // namespace

std::uint8_t TimerProcessing() {
    if (poll_busy)
        return 1;
    poll_busy = 1;
    std::uint16_t slot = tcpip_dev_index;
    std::int64_t ticks = 0;
    if (stop_signalled()) {
        poll_busy = 0;
        return 0;
    }
    for (;;) {
        poll_pause(kSlotStep);
        slot = slot >= kLastSlot ? 0 : static_cast<std::uint16_t>(slot + 1);
        if (is_snmp_slot(SM_DEV[slot])) {
            real_time = poll_clock_now();
            ticks = poll_ticks_now();
            if (examine(slot, ticks))
                break;
        }
        if (stop_signalled()) {
            poll_busy = 0;
            return 0;
        }
    }
    poll(slot, ticks);
    tcpip_dev_index = slot;
    poll_busy = 0;
    return 1;
}
