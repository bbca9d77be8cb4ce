// HARDWARE\Description\System and its CentralProcessor\0 on Linux. The
// system key's "Identifier" is the machine architecture (uname); the
// processor key answers "VendorIdentifier", "Identifier" and "~MHz" from the
// first processor's block of /proc/cpuinfo ("vendor_id", "model name" and
// "cpu MHz" without its fraction). A value the block lacks is missing, and
// so is the processor key when the block holds none of the three. The file
// is read afresh at every call, as the figures are asked for seldom.
#include "platform/scm/registry_hardware.h"

#include <sys/utsname.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/scm/registry.h"

namespace platform {

namespace {

std::mutex g_cpuinfo_mutex;
std::string g_cpuinfo_path = "/proc/cpuinfo";

std::string cpuinfo_path() {
    std::lock_guard<std::mutex> lock(g_cpuinfo_mutex);
    return g_cpuinfo_path;
}

struct Processor {
    bool has_vendor = false;
    bool has_model = false;
    bool has_mhz = false;
    std::string vendor;
    std::string model;
    std::string mhz;
};

std::string trimmed(const char *begin, const char *end) {
    while (begin < end && (*begin == ' ' || *begin == '\t'))
        ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\n' || end[-1] == '\r'))
        --end;
    return std::string(begin, end);
}

// The three figures of the first block (lines up to the first blank line
// after some content). Lines longer than the buffer are cut; no figure the
// agent asks for comes near that length.
Processor first_processor() {
    Processor cpu;
    std::FILE *file = std::fopen(cpuinfo_path().c_str(), "r");
    if (file == nullptr)
        return cpu;
    char line[512];
    bool in_block = false;
    while (std::fgets(line, sizeof line, file) != nullptr) {
        const std::size_t len = std::strlen(line);
        if (len > 0 && line[len - 1] != '\n') {
            int c;
            while ((c = std::fgetc(file)) != EOF && c != '\n') {
            }
        }
        const std::string whole = trimmed(line, line + len);
        if (whole.empty()) {
            if (in_block)
                break;
            continue;
        }
        in_block = true;
        const char *colon = std::strchr(line, ':');
        if (colon == nullptr)
            continue;
        const std::string key = trimmed(line, colon);
        const std::string value = trimmed(colon + 1, line + len);
        if (key == "vendor_id" && !cpu.has_vendor) {
            cpu.has_vendor = true;
            cpu.vendor = value;
        } else if (key == "model name" && !cpu.has_model) {
            cpu.has_model = true;
            cpu.model = value;
        } else if (key == "cpu MHz" && !cpu.has_mhz) {
            cpu.has_mhz = true;
            cpu.mhz = value;
        }
    }
    std::fclose(file);
    return cpu;
}

// "2596.146" as 2596; false for anything but a decimal number that fits
// 32 bits.
bool whole_megahertz(const std::string &text, DWORD &mhz) {
    std::uint64_t value = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
        if (value > 0xFFFFFFFFu)
            return false;
    }
    if (i == 0)
        return false;
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        }
    }
    if (i != text.size())
        return false;
    mhz = static_cast<DWORD>(value);
    return true;
}

std::string with_nul(const std::string &text) { return std::string(text.c_str(), text.size() + 1); }

// hardware, description, system, centralprocessor, 0
const char *const kKeyNames[] = {"hardware", "description", "system", "centralprocessor", "0"};
constexpr std::size_t kSystemDepth = 3;
constexpr std::size_t kProcessorDepth = 5;

bool on_known_road(const std::vector<std::string> &path) {
    if (path.empty() || path.size() > kProcessorDepth)
        return false;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] != kKeyNames[i])
            return false;
    }
    return true;
}

} // namespace

void set_cpuinfo_path(const char *path) {
    std::lock_guard<std::mutex> lock(g_cpuinfo_mutex);
    g_cpuinfo_path = path != nullptr ? path : "/proc/cpuinfo";
}

namespace registry_detail {

bool hardware_key_exists(const std::vector<std::string> &path) {
    if (!on_known_road(path))
        return false;
    if (path.size() < kProcessorDepth)
        return true;
    const Processor cpu = first_processor();
    return cpu.has_vendor || cpu.has_model || cpu.has_mhz;
}

bool hardware_value(const std::vector<std::string> &path, const std::string &name, DWORD &type,
                    std::string &data) {
    if (!on_known_road(path))
        return false;
    if (path.size() == kSystemDepth) {
        struct utsname machine {};
        if (name != "identifier" || ::uname(&machine) != 0 || machine.machine[0] == '\0')
            return false;
        type = REG_SZ;
        data = with_nul(machine.machine);
        return true;
    }
    if (path.size() != kProcessorDepth)
        return false;
    const Processor cpu = first_processor();
    if (name == "vendoridentifier" && cpu.has_vendor) {
        type = REG_SZ;
        data = with_nul(cpu.vendor);
        return true;
    }
    if (name == "identifier" && cpu.has_model) {
        type = REG_SZ;
        data = with_nul(cpu.model);
        return true;
    }
    DWORD mhz = 0;
    if (name == "~mhz" && cpu.has_mhz && whole_megahertz(cpu.mhz, mhz)) {
        type = REG_DWORD;
        data.assign(reinterpret_cast<const char *>(&mhz), sizeof mhz);
        return true;
    }
    return false;
}

} // namespace registry_detail

} // namespace platform
