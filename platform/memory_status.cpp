// GlobalMemoryStatus over sysinfo, getrlimit and the process's own size in
// /proc/self/statm.
#include "platform/memory_status.h"

#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

namespace platform {

namespace {

// The part of the address space a process can map, as the kernel's task
// size gives it: 47 bits less a page on x86-64, 48 bits on 64-bit ARM,
// 3 GiB on 32-bit systems.
std::uint64_t user_address_space() {
#if defined(__x86_64__)
    return (std::uint64_t{1} << 47) - 4096;
#elif defined(__aarch64__)
    return std::uint64_t{1} << 48;
#else
    return sizeof(void *) >= 8 ? (std::uint64_t{1} << 47) - 4096 : std::uint64_t{3} << 30;
#endif
}

// Bytes mapped by the process: the first figure of /proc/self/statm.
std::uint64_t mapped_bytes() {
    std::FILE *file = std::fopen("/proc/self/statm", "r");
    if (file == nullptr)
        return 0;
    unsigned long long pages = 0;
    const bool ok = std::fscanf(file, "%llu", &pages) == 1;
    std::fclose(file);
    const long page = ::sysconf(_SC_PAGESIZE);
    return ok && page > 0 ? pages * static_cast<std::uint64_t>(page) : 0;
}

SIZE_T as_size(std::uint64_t bytes) {
    return bytes > SIZE_MAX ? SIZE_MAX : static_cast<SIZE_T>(bytes);
}

} // namespace

void GlobalMemoryStatus(MEMORYSTATUS *status) {
    if (status == nullptr)
        return;
    *status = MEMORYSTATUS{};
    status->dwLength = sizeof *status;

    struct sysinfo info {};
    if (::sysinfo(&info) == 0) {
        const std::uint64_t unit = info.mem_unit != 0 ? info.mem_unit : 1;
        const std::uint64_t total = std::uint64_t{info.totalram} * unit;
        std::uint64_t avail = (std::uint64_t{info.freeram} + info.bufferram) * unit;
        if (avail > total)
            avail = total;
        status->dwTotalPhys = as_size(total);
        status->dwAvailPhys = as_size(avail);
        status->dwTotalPageFile = as_size(total + std::uint64_t{info.totalswap} * unit);
        status->dwAvailPageFile = as_size(avail + std::uint64_t{info.freeswap} * unit);
        status->dwMemoryLoad = total != 0 ? static_cast<DWORD>((total - avail) * 100 / total) : 0;
    }

    std::uint64_t space = user_address_space();
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        limit.rlim_cur < space)
        space = limit.rlim_cur;
    const std::uint64_t used = mapped_bytes();
    status->dwTotalVirtual = as_size(space);
    status->dwAvailVirtual = as_size(used < space ? space - used : 0);
}

} // namespace platform
