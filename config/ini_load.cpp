// LoadINI and the single-file loaders. A file's path is the data directory
// text followed directly by the file name; a path that would not fit in
// 255 characters is not opened at all, since cutting it would name a
// different file.
#include "config/ini_load.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "config/ini_names.h"
#include "config/ini_parser.h"
#include "config/ini_store.h"
#include "shared/directories.h"
#include "shared/ini_record.h"

namespace {

constexpr char kKervonName[] = "kervon.ini";

int LoadFile(std::uint8_t file, const char *name) {
    char path[256];
    if (!DataFilePath(name, path)) {
        errno = ENAMETOOLONG;
        return 1;
    }
    return EncodeINIFile(file, path);
}

} // namespace

bool KervonINIPath(char (&path)[256]) { return DataFilePath(kKervonName, path); }

int LoadKervonINI() { return LoadFile(INI_FILE_KERVON, kKervonName); }
int LoadJobsINI() { return LoadFile(INI_FILE_JOBS, "jobs.ini"); }
int LoadJobsSTSINI() { return LoadFile(INI_FILE_JOBSSTS, "jobsSTS.ini"); }
int LoadSensorINI() { return LoadFile(INI_FILE_SENSOR, "sensor.ini"); }
int LoadModularINI() { return LoadFile(INI_FILE_MODULAR, "modular.ini"); }
int LoadJobsMPWINI() { return LoadFile(INI_FILE_JOBSMPW, "jobsMPW.ini"); }
int LoadJobsMDUINI() { return LoadFile(INI_FILE_JOBSMDU, "jobsMDU.ini"); }

int LoadGroupsINI() {
    int result = 1;
    for (std::uint8_t g = 0; g < 10; ++g) {
        char name[] = "group_xx.ini";
        name[6] = static_cast<char>('0' + g / 10);
        name[7] = static_cast<char>('0' + g % 10);
        g_index = g;
        result = LoadFile(INI_FILE_GROUP, name);
    }
    return result;
}

int LoadINI() {
    std::memset(&INI, 0, sizeof INI);
    const int result = LoadKervonINI();
    if (result != 0)
        return result;
    LoadJobsINI();
    LoadJobsSTSINI();
    LoadGroupsINI();
    LoadSensorINI();
    LoadModularINI();
    LoadJobsMPWINI();
    LoadJobsMDUINI();
    return 0;
}
