// getprgdir and file_exist.
#include "shared/file_helpers.h"

#include <cstdio>
#include <cstring>

#include "platform/crt/text_file.h"
#include "shared/debug_log.h"

char *getprgdir(const char *path, char *dir, std::size_t dir_size) {
    if (dir == nullptr || dir_size == 0)
        return nullptr;
    dir[0] = '\0';
    if (path == nullptr)
        return nullptr;
    const char *last = std::strrchr(path, '/');
    if (last == nullptr) {
        if (dir_size >= 3)
            std::memcpy(dir, "./", 3);
        return nullptr;
    }
    const std::size_t len = static_cast<std::size_t>(last - path) + 1; // with the '/'
    if (len + 1 > dir_size)
        return nullptr;
    std::memcpy(dir, path, len);
    dir[len] = '\0';
    return dir;
}

std::uint32_t file_exist(const char *path) {
    const bool trace = k_monitor >= 5;
    if (trace) {
        char line[300];
        std::snprintf(line, sizeof line, "\n\rFile %.255s exist: ", path ? path : "");
        printfc(line);
    }
    std::FILE *file = path ? platform::fopen(path, "r") : nullptr;
    if (file == nullptr) {
        if (trace)
            printfc("NO !!! ");
        return 0;
    }
    long end = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        end = std::ftell(file);
    std::fclose(file);
    std::uint32_t length = 0;
    if (end > 0)
        length = end > 0xFFFFFFFFL ? 0xFFFFFFFFu : static_cast<std::uint32_t>(end);
    if (trace) {
        char line[64];
        std::snprintf(line, sizeof line, "Yes - Length: %lu By", static_cast<unsigned long>(length));
        printfc(line);
    }
    return length;
}
