// The communication log over printfc: entries stamped with the local date
// and time, and dump lines of up to 17 bytes, each shown as "<-XX" when
// received and "->XX" when sent.
#include "server/comm_log.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/local_time.h"
#include "shared/debug_log.h"

namespace {

constexpr int kItemsPerLine = 17;
constexpr int kItemWidth = 4;
constexpr int kMaxText = 1000;

// The pending dump: the count of pairs and the pairs, each a byte and its
// direction, in arrival order.
std::int32_t cnt_byte = 0;
std::uint8_t cnt_byt[kItemsPerLine][2] = {};
// The dump line being built (17 items, " ...", "\n\r", NUL) and one item.
char commb_str[kItemsPerLine * kItemWidth + 4 + 2 + 1] = {};
char c_str[kItemWidth + 4] = {};

// Serialises both routines over the shared dump state; zapis_stat_com
// flushes through the unlocked dump_pair below while it holds it.
std::mutex g_comm_mutex;

// Builds and writes the line of the pending pairs, then drops them.
void write_dump_line(bool cut) {
    std::size_t used = 0;
    for (std::int32_t i = 0; i < cnt_byte; ++i) {
        std::snprintf(c_str, sizeof c_str, "%s%2.2X", cnt_byt[i][1] == DUMP_RECEIVED ? "<-" : "->", cnt_byt[i][0]);
        std::memcpy(commb_str + used, c_str, kItemWidth);
        used += kItemWidth;
    }
    const char *end = cut ? " ...\n\r" : "\n\r";
    std::memcpy(commb_str + used, end, std::strlen(end) + 1);
    if (k_monitor >= 3)
        printfc(commb_str);
    cnt_byte = 0;
}

// detail_monitor's work; the caller holds the lock.
void dump_pair(std::uint8_t byte, std::uint8_t direction) {
    if (direction >= DUMP_FLUSH) {
        write_dump_line(direction == DUMP_FLUSH_CUT);
        return;
    }
    cnt_byt[cnt_byte][0] = byte;
    cnt_byt[cnt_byte][1] = direction;
    ++cnt_byte;
    if (cnt_byte >= kItemsPerLine)
        write_dump_line(false);
}

} // namespace

void detail_monitor(std::uint8_t byte, std::uint8_t direction) {
    std::lock_guard<std::mutex> lock(g_comm_mutex);
    dump_pair(byte, direction);
}

void zapis_stat_com(const char *text) {
    std::lock_guard<std::mutex> lock(g_comm_mutex);
    dump_pair(0, DUMP_FLUSH);
    platform::SYSTEMTIME now{};
    platform::GetLocalTime(&now);
    char date[16];
    char clock[24];
    std::snprintf(date, sizeof date, "%02d\\%02d", now.wMonth, now.wDay);
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", now.wHour, now.wMinute, now.wSecond);
    char entry[kMaxText + 64];
    std::snprintf(entry, sizeof entry, " %s %s  %.*s  \n", date, clock, kMaxText, text ? text : "");
    if (k_monitor != 0)
        printfc(entry);
}
