// The debug log: printfc and the debug switches.
#include "shared/debug_log.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/text_file.h"
#include "shared/directories.h"

std::uint8_t bDebug = 0;
std::uint8_t bDebugLog = 0;
std::uint8_t k_monitor = 0;
std::uint8_t k_monitor1 = 0;
std::uint8_t k_errorlog = 0;

void printfc(const char *text) {
    static std::mutex writer;
    std::lock_guard<std::mutex> lock(writer);
    const size_t len = std::strlen(text);
    if (bDebug)
        std::fwrite(text, 1, len, stdout), std::fflush(stdout);
    if (!bDebugLog)
        return;
    std::string path = std::string(DataDir()) + "debugsnmp" + ".log";
    std::FILE *f = platform::fopen(path.c_str(), "a+t");
    if (f == nullptr)
        return;
    std::fwrite(text, 1, len, f);
    std::fclose(f);
}
