// The protocol server's line buffer, its two ways out, and the datagram
// dump.
#include "server/net_trace.h"

#include <cstdarg>
#include <cstdio>

#include "server/comm_log.h"
#include "shared/debug_log.h"

char out_txt_net[out_txt_net_size] = {};

namespace {

constexpr int kCutDumpBytes = 30;

void compose(const char *format, va_list arguments) {
    std::vsnprintf(out_txt_net, sizeof out_txt_net, format, arguments);
}

} // namespace

void net_log(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    compose(format, arguments);
    va_end(arguments);
    zapis_stat_com(out_txt_net);
}

void net_print(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    compose(format, arguments);
    va_end(arguments);
    printfc(out_txt_net);
}

void dump_datagram(const std::uint8_t *data, int length, std::uint8_t direction) {
    if (k_monitor1 < 3 || data == nullptr || length < 0)
        return;
    const bool whole = k_monitor1 >= 4;
    const int count = whole || length <= kCutDumpBytes ? length : kCutDumpBytes;
    for (int i = 0; i < count; ++i)
        detail_monitor(data[i], direction);
    detail_monitor(0, count < length ? DUMP_FLUSH_CUT : DUMP_FLUSH);
}
