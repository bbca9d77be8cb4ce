// libFuzzer target for the configuration store: the input is the contents
// of a configuration file. It is parsed as each of the eight kinds of file,
// loaded through LoadINI as the main file and as optional files of a real
// data directory, and its bytes also drive one direct FillVar call with
// arbitrary indices. The model codes that end up in the record are then
// classified, as the device-table set-up does with full 32-byte fields.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "config/ini_load.h"
#include "config/ini_names.h"
#include "config/ini_parser.h"
#include "config/ini_store.h"
#include "config/model_code.h"
#include "shared/directories.h"
#include "shared/ini_record.h"

namespace {

// One data directory for the whole run, removed at exit.
class DataDirectory {
  public:
    DataDirectory() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "osk-config-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        path_ = pattern;
        std::snprintf(AllUserDir, sizeof AllUserDir, "%s/", path_.c_str());
    }
    ~DataDirectory() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string Write(const char *name, const std::uint8_t *data, std::size_t size) const {
        const std::string file = (path_ / name).string();
        std::FILE *f = std::fopen(file.c_str(), "wb");
        if (f == nullptr)
            std::abort();
        if (size != 0 && std::fwrite(data, 1, size, f) != size)
            std::abort();
        std::fclose(f);
        return file;
    }
    void Remove(const char *name) const {
        std::error_code ec;
        std::filesystem::remove(path_ / name, ec);
    }

  private:
    std::filesystem::path path_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const DataDirectory dir;

    // The parser on every kind of file, with any group number.
    const std::string input = dir.Write("input.ini", data, size);
    g_index = size != 0 ? data[size - 1] : 0;
    for (std::uint8_t file = 0; file < INI_FILE_COUNT; ++file)
        EncodeINIFile(file, input.c_str());

    // The real loader: first without a main file, then with the input as
    // the main file and as some of the optional ones.
    dir.Remove("kervon.ini");
    if (LoadINI() != 1)
        std::abort();
    for (const char *name : {"kervon.ini", "jobs.ini", "group_04.ini", "sensor.ini", "jobsMDU.ini"})
        dir.Write(name, data, size);
    if (LoadINI() != 0)
        std::abort();
    for (const TIniUps &ups : INI.UPS) {
        const int code = FindUpsModelTxt(ups.Type);
        if (code < 0 || code > 255)
            std::abort();
    }

    // Value storing on its own: indices from the first three bytes, any
    // value text from the rest.
    if (size >= 3) {
        const std::string text(reinterpret_cast<const char *>(data) + 3, size - 3);
        p_s = text.c_str();
        FillVar(data[0], data[1], data[2]);
        p_s = nullptr;
    }
    return 0;
}
