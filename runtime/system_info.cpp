// The diagnostic dump. Every line goes through printfc, so the debug
// switches decide where it goes; the processor figures come from the
// registry's HARDWARE keys and the memory figures from GlobalMemoryStatus.
// It also holds the agent's version and platform texts, and is the one
// routine that writes local_version.
#include "shared/system_info.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/memory_status.h"
#include "platform/scm/registry.h"
#include "platform/win_types.h"
#include "server/protocol.h"
#include "shared/debug_log.h"
#include "shared/device_record.h"
#include "shared/directories.h"
#include "shared/ini_record.h"

char local_version[32] = {};
char local_platform[122] = {};

namespace {

constexpr const char *kSystemKey = "HARDWARE\\Description\\System";
constexpr const char *kProcessorKey = "HARDWARE\\Description\\System\\CentralProcessor\\0";
constexpr unsigned long long kMegabyte = 1048576;

[[gnu::format(printf, 1, 2)]] void dump(const char *format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    printfc(line);
}

// Reads a value of a key opened for this one value: a size query, then a
// read of at most room bytes. False when the key cannot be opened, the
// value is missing, or it is larger than room.
bool read_value(const char *key_name, const char *value, void *buffer, platform::DWORD room,
                platform::DWORD &type, platform::DWORD &size) {
    platform::HKEY key = nullptr;
    if (platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, key_name, 0, platform::KEY_ALL_ACCESS,
                                &key) != 0)
        return false;
    size = 0;
    bool ok =
        platform::RegQueryValueExA(key, value, nullptr, &type, nullptr, &size) == 0 && size <= room;
    if (ok) {
        size = room;
        ok = platform::RegQueryValueExA(key, value, nullptr, &type,
                                        static_cast<platform::BYTE *>(buffer), &size) == 0;
    }
    platform::RegCloseKey(key);
    return ok;
}

// A text line from the registry; left out when the value cannot be read
// or does not fit the text buffer.
void registry_text_line(const char *format, const char *key_name, const char *value) {
    char text[256];
    platform::DWORD type = 0;
    platform::DWORD size = 0;
    if (!read_value(key_name, value, text, sizeof text - 1, type, size))
        return;
    text[size] = '\0';
    dump(format, text);
}

void registry_number_line(const char *format, const char *key_name, const char *value) {
    platform::DWORD number = 0;
    platform::DWORD type = 0;
    platform::DWORD size = 0;
    if (!read_value(key_name, value, &number, sizeof number, type, size) ||
        type != platform::REG_DWORD || size != sizeof number)
        return;
    dump(format, static_cast<unsigned long>(number));
}

unsigned long long megabytes(platform::SIZE_T bytes) {
    return static_cast<unsigned long long>(bytes) / kMegabyte;
}

} // namespace

int system_info() {
    printfc("\n");
    local_platform[sizeof local_platform - 1] = '\0';
    printfc(local_platform);
    printfc("\n");

    std::snprintf(local_version, sizeof local_version, "KERVON - %s", "Version 2.1.0");
    local_version[sizeof local_version - 1] = '\0';
    printfc(local_version);
    printfc("\n");
    printfc("\n");

    const void *dir_end = std::memchr(ProgramDir, '\0', sizeof ProgramDir);
    const int dir_len = dir_end != nullptr
                            ? static_cast<int>(static_cast<const char *>(dir_end) - ProgramDir)
                            : static_cast<int>(sizeof ProgramDir);
    dump("Dir: %.*s \n", dir_len, ProgramDir);
    dump("DataLogFile: %sxx%s \n", "data_", ".log");
    dump("INI structure size: %u \n", static_cast<unsigned>(sizeof INI));
    dump("Device data size: %u (%u) \n", static_cast<unsigned>(device_data_size),
         static_cast<unsigned>(offsetof(TDevice, StatusByte)));
    dump("Debug mode: %u [DM:%u,DL:%u,INI.DM:%u,INI.DL:%u]\n", k_monitor, bDebug, bDebugLog,
         INI.System.DebugMode, INI.System.DebugLog);

    if (k_monitor >= 3) {
        dump("\n UDP header size: %i By", static_cast<int>(sizeof(DataNet)));
        DataNet probe{};
        probe.Ident = 0x0102;
        probe.Dev = 0x0203;
        probe.ActualPacket = 0x0405;
        probe.TotalPackets = 0x0607;
        probe.Size = 0x08090A0B;
        probe.Password = 0x0C0D;
        probe.RR = 0x0E0F;
        swap_udp_header(&probe);
        printfc("\n");
        dump("\n WORD size: %i By   BYTE size: %i By", static_cast<int>(sizeof(platform::WORD)),
             static_cast<int>(sizeof(platform::BYTE)));
        dump("\n Time_t size: %i By   Long size: %i By", static_cast<int>(sizeof(std::time_t)),
             static_cast<int>(sizeof(long)));
        dump("\n DWORD size: %i By   Pointer size: %i By",
             static_cast<int>(sizeof(platform::DWORD)), static_cast<int>(sizeof(void *)));
        printfc("\n Byte order : LITTLE ENDIAN \n");
    }

    printfc("\nComputer information ...");
    registry_text_line("\n     PC Identifier: %s", kSystemKey, "Identifier");
    registry_text_line("\n     CPU Vendor Identifier: %s", kProcessorKey, "VendorIdentifier");
    registry_text_line("\n     CPU model: %s", kProcessorKey, "Identifier");
    registry_number_line("\n     CPU frequency: %lu Mhz", kProcessorKey, "~MHz");

    platform::MEMORYSTATUS memory{};
    platform::GlobalMemoryStatus(&memory);
    dump("\n     Memory load: %lu %%", static_cast<unsigned long>(memory.dwMemoryLoad));
    dump("\n     Physical memory: %llu MB [free: %llu MB]", megabytes(memory.dwTotalPhys),
         megabytes(memory.dwAvailPhys));
    dump("\n     Paging file: %llu MB [free: %llu MB]", megabytes(memory.dwTotalPageFile),
         megabytes(memory.dwAvailPageFile));
    dump("\n     Virtual memory: %llu MB [free: %llu MB]", megabytes(memory.dwTotalVirtual),
         megabytes(memory.dwAvailVirtual));

    printfc("\n\r");
    return 0;
}
