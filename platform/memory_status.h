// GlobalMemoryStatus on Linux: the machine's memory figures from sysinfo
// and the process's virtual address space.
#pragma once

#include <cstddef>

#include "platform/win_types.h"

namespace platform {

using SIZE_T = std::size_t;

struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad; // per cent of physical memory in use
    SIZE_T dwTotalPhys;
    SIZE_T dwAvailPhys;
    SIZE_T dwTotalPageFile;
    SIZE_T dwAvailPageFile;
    SIZE_T dwTotalVirtual;
    SIZE_T dwAvailVirtual;
};

// Fills the record, sizes in bytes. Physical memory is the machine's RAM,
// available being the free RAM and the buffers. The paging file is the
// commit limit as Windows counts it: RAM and swap together, available
// being the available RAM and the free swap. Virtual memory is the
// process's address space: its address-space limit (RLIMIT_AS), or the
// platform's user address space when there is none, available being what
// the process has not mapped. Figures that cannot be read are 0.
void GlobalMemoryStatus(MEMORYSTATUS *status);

} // namespace platform
