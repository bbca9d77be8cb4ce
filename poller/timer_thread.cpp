// The timer thread and the device-table set-up: the thread creates its stop
// event, builds the 32 device slots from the configuration, opens the
// agent's UDP port, and then starts a scheduler run every 250 ms until the
// stop routine sets its exit flag.
#include "poller/timer_thread.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "config/model_code.h"
#include "platform/event.h"
#include "platform/handle.h"
#include "platform/security.h"
#include "platform/thread.h"
#include "platform/thread_create.h"
#include "poller/scheduler.h"
#include "poller/scheduler_clock.h"
#include "poller/scheduler_field_text.h"
#include "poller/status_eval.h"
#include "runtime/worker_threads.h"
#include "server/agent_port.h"
#include "shared/allocation.h"
#include "shared/debug_log.h"
#include "shared/device_table.h"
#include "shared/ini_record.h"
#include "shared/text_field.h"
#include "shared/timing.h"
#include "shared/version_code.h"
#include "snmp/snmp.h"

platform::HANDLE g_hShutdownEvent = nullptr;
std::int64_t real_time = 0;

namespace {

constexpr platform::DWORD kTick = 250; // ms between two scheduler runs

// Guards the event handle against the stop routine, which signals it from
// another thread while this thread creates and closes it.
std::mutex g_event_mutex;

// The bounded copy of a configured text into a record's field, which is
// no wider than the configured one.
template <std::size_t D, std::size_t S> void copy_text(char (&dst)[D], const char (&src)[S]) {
    static_assert(S >= D);
    fill_text_field(dst, src);
}

void fill_slot(TDevice &record, const TIniUps &ups) {
    copy_text(record.Name, ups.Name);
    copy_text(record.Port, ups.Port);
    copy_text(record.PRTK, ups.Type);
    copy_text(record.Serial, ups.Serial);
    record.Connection = static_cast<std::uint8_t>(ups.Connection & 0xFF);
    record.Device = ups.Device;
    record.Password = ups.Password;
    record.Address = ups.Address;
    record.DeviceType = static_cast<std::uint8_t>(FindUpsModelTxt(record.PRTK));
    record.SetupFlag = 1;
    if (record.DeviceType == 21)
        record.PowerFlags = power_output_powered;
    record.SystemShutdownDelay = static_cast<std::uint16_t>(ups.SystemShutdownDelay * 60);
    record.SystemShutdownLead = ups.SystemShutdownLead;
    record.RTGConnTime = ups.RTGConnTime;
    record.RTGTimeout = ups.RTGTimeout;
    record.UpsShutdownDelay = ups.UPSShutdown != 0 ? ups.UPSShutdownDelay : 0xFFFF;
    record.UpsRebootFlag = ups.UPSReboot != 0 ? 1 : 0xFFFF;
    record.SetupTime = real_time;
}

void list_slot(const TDevice &record) {
    char line[128];
    std::snprintf(line, sizeof line, "Device type: %u   ", static_cast<unsigned>(record.DeviceType));
    printfc(line);
    if (record.Connection == AGSNMP) {
        const FieldText port(record.Port);
        std::snprintf(line, sizeof line, "Connection: %s (%s)  ", "AGSNMP  ", port.text);
    } else {
        std::snprintf(line, sizeof line, "Connection: %s   ", "?     ");
    }
    printfc(line);
    const FieldText name(record.Name);
    const FieldText prtk(record.PRTK);
    std::snprintf(line, sizeof line, "Name: %s  PRTK: %s\n\r", name.text, prtk.text);
    printfc(line);
}

// Without the agent port no client can reach the records; the SNMP slots
// say so in their data block head.
void mark_port_failure() {
    for (TDevice *record : SM_DEV) {
        if (record == nullptr || record->Name[0] == '\0' || record->Connection != AGSNMP)
            continue;
        record->CS = 255;
        std::strncpy(record->CommText, "! General error !", sizeof record->CommText);
        show_comm_lost(*record);
        record->DataCS = record->CS;
        std::memcpy(record->DataStatusText, record->StatusText, sizeof record->DataStatusText);
        std::memcpy(record->DataCommText, record->CommText, sizeof record->DataCommText);
    }
}

} // namespace

void FillShared() {
    for (std::uint16_t n = 0; n < device_slots; ++n) {
        SM_DEV[n] = static_cast<TDevice *>(SHmalloc(sizeof(TDevice), 1, n));
        if (SM_DEV[n] == nullptr)
            return;
    }
    printfc("Detected system: ");
    printfc(VersionName(GetVersionWin()));
    printfc("\n\r");
    for (std::uint16_t n = 0; n < device_slots; ++n) {
        const TIniUps &ups = INI.UPS[n];
        if (ups.Name[0] == '\0')
            continue;
        set_ready_status(n, 0);
        fill_slot(*SM_DEV[n], ups);
        list_slot(*SM_DEV[n]);
    }
    printfc("\n\r");
    // The records are complete before the port exists, so the network
    // thread, which takes datagrams only once it does, never sees one
    // under construction.
    if (open_tcpip_port() != 0) {
        printfc("\n\rTCP/IP error: Maybe different Tarmisol running on machine! ");
        mark_port_failure();
    }
    Snmp::socket_startup();
    printfc("\n\r");
    if (bDebug)
        sleepp(1);
}

void SignalTimerShutdown() {
    std::lock_guard<std::mutex> lock(g_event_mutex);
    if (g_hShutdownEvent != nullptr)
        platform::SetEvent(g_hShutdownEvent);
}

platform::DWORD TimerProcess(void *) {
    platform::SECURITY_DESCRIPTOR descriptor;
    platform::InitializeSecurityDescriptor(&descriptor, platform::SECURITY_DESCRIPTOR_REVISION);
    platform::SetSecurityDescriptorDacl(&descriptor, platform::TRUE, nullptr, platform::FALSE);
    platform::SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, platform::FALSE};
    real_time = poll_clock_now();
    {
        std::lock_guard<std::mutex> lock(g_event_mutex);
        g_hShutdownEvent = platform::CreateEventA(&attributes, platform::TRUE, platform::FALSE, nullptr);
    }
    FillShared();
    while (ExitthreadhTimerProcess == 0) {
        platform::Sleep(kTick);
        TimerProcessing();
    }
    platform::SetEvent(g_hShutdownEvent);
    Snmp::socket_cleanup();
    printfc("\nThread Timer: exit thread");
    {
        std::lock_guard<std::mutex> lock(g_event_mutex);
        platform::CloseHandle(g_hShutdownEvent);
        g_hShutdownEvent = nullptr;
    }
    platform::ExitThread(0);
}
