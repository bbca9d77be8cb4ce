// The program and data directories and the data-directory rule.
#include "shared/directories.h"

#include <cstdio>
#include <cstring>

#include "shared/version_code.h"

char ProgramDir[256] = {};
char AllUserDir[256] = {};

const char *DataDir() { return GetVersionWin() > 5 ? AllUserDir : ProgramDir; }

bool DataFilePath(const char *name, char (&path)[256]) {
    // The directory texts are 256-byte fields: never read past them.
    const char *dir = DataDir();
    const void *end = std::memchr(dir, '\0', sizeof AllUserDir);
    if (end == nullptr)
        return false;
    const int length = static_cast<int>(static_cast<const char *>(end) - dir);
    const int n = std::snprintf(path, sizeof path, "%.*s%s", length, dir, name);
    return n > 0 && static_cast<std::size_t>(n) < sizeof path;
}
