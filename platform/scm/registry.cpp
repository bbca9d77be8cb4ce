// The registry's stored keys: folders under the state directory, values as
// files written through a temporary file and a rename, and key handles in
// the layer's handle table. See registry.h for the layout on disk.
#include "platform/scm/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/handle.h"
#include "platform/last_error.h"
#include "platform/scm/registry_hardware.h"
#include "platform/scm/state_file.h"

namespace platform {

namespace {

// Longest key name Windows takes, and the longest encoded name that still
// leaves room for the '=' of a value file within a file name's 255 bytes.
constexpr std::size_t kMaxKeyName = 255;
constexpr std::size_t kMaxEncodedName = 254;
constexpr char kValuePrefix = '=';
constexpr char kOwnFilePrefix = '#'; // "#name" and temporary files
constexpr const char *kDisplayFile = "#name";

// The keys that exist on every Windows machine, with their spelling.
const char *const kStandardKeys[] = {"SYSTEM", "CurrentControlSet", "Services", "EventLog",
                                     "Application"};
constexpr std::size_t kStandardDepth = sizeof kStandardKeys / sizeof kStandardKeys[0];

constexpr char kMagic[8] = {'O', 'S', 'K', 'R', 'E', 'G', '1', '\n'};

// Where a key is and what its handle may do.
struct KeyPlace {
    std::vector<std::string> path; // lower-cased names below HKEY_LOCAL_MACHINE
    std::string root;              // the registry folder when the key was opened
    std::string folder;            // stored keys only
    bool hardware = false;
    REGSAM access = 0;
};

struct RegistryKey : KernelObject {
    explicit RegistryKey(KeyPlace p) : place(std::move(p)) {}
    const KeyPlace place;
};

std::string registry_root() { return state_dir() + "/registry"; }

bool is_standard(const std::vector<std::string> &path) {
    if (path.size() > kStandardDepth)
        return false;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] != lowered(kStandardKeys[i]))
            return false;
    }
    return true;
}

bool is_hardware(const std::vector<std::string> &path) {
    return !path.empty() && path[0] == "hardware";
}

bool is_dir(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

LONG from_errno(int err) { return static_cast<LONG>(error_from_errno(err)); }

// The key below key that subkey names: names split at '\', each 1 to 255
// characters. The HKEY_LOCAL_MACHINE pseudo-handle is the root with every
// right.
LONG resolve(HKEY key, LPCSTR subkey, KeyPlace &out, std::vector<std::string> *spelling) {
    if (key == HKEY_LOCAL_MACHINE) {
        out.access = KEY_ALL_ACCESS;
        out.root = registry_root();
    } else {
        auto object = std::dynamic_pointer_cast<RegistryKey>(object_from_handle(key));
        if (!object)
            return static_cast<LONG>(ERROR_INVALID_HANDLE);
        out.path = object->place.path;
        out.root = object->place.root;
        out.access = object->place.access;
    }
    if (spelling != nullptr) {
        spelling->clear();
        for (std::size_t i = 0; i < out.path.size(); ++i)
            spelling->push_back(i < kStandardDepth && is_standard(out.path) ? kStandardKeys[i]
                                                                            : out.path[i]);
    }
    if (subkey != nullptr && subkey[0] != '\0') {
        const char *p = subkey;
        for (;;) {
            const char *end = std::strchr(p, '\\');
            const std::size_t len =
                end != nullptr ? static_cast<std::size_t>(end - p) : std::strlen(p);
            if (len == 0 || len > kMaxKeyName)
                return static_cast<LONG>(ERROR_INVALID_PARAMETER);
            const std::string name(p, len);
            out.path.push_back(lowered(name));
            if (spelling != nullptr)
                spelling->push_back(name);
            if (end == nullptr)
                break;
            p = end + 1;
        }
    }
    out.hardware = is_hardware(out.path);
    out.folder = out.root;
    for (const std::string &name : out.path) {
        const std::string file = encoded_name(name);
        if (file.size() > kMaxEncodedName)
            return static_cast<LONG>(ERROR_INVALID_PARAMETER);
        out.folder += '/';
        out.folder += file;
    }
    return static_cast<LONG>(ERROR_SUCCESS);
}

// The key an open handle (or the root pseudo-handle) stands for; false
// for a value that is not an open key.
bool key_of(HKEY key, KeyPlace &out) {
    if (key == HKEY_LOCAL_MACHINE)
        return resolve(key, nullptr, out, nullptr) == static_cast<LONG>(ERROR_SUCCESS);
    auto object = std::dynamic_pointer_cast<RegistryKey>(object_from_handle(key));
    if (!object)
        return false;
    out = object->place;
    return true;
}

HKEY handle_of(KeyPlace place, REGSAM access) {
    place.access = access;
    return reinterpret_cast<HKEY>(
        handle_from_object(std::make_shared<RegistryKey>(std::move(place))));
}

// Creates the folders of the root and of every key of the path that does
// not have one yet; a key created here keeps its spelling. *created tells
// whether the last key was created by this call.
LONG make_key_folders(const KeyPlace &key, const std::vector<std::string> &spelling,
                      bool *created) {
    if (created != nullptr)
        *created = false;
    // The state directory and the registry folder.
    const std::string &root = key.root;
    const DWORD made = make_folders(root);
    if (made != ERROR_SUCCESS)
        return static_cast<LONG>(made);
    std::string folder = root;
    for (std::size_t i = 0; i < key.path.size(); ++i) {
        folder += '/';
        folder += encoded_name(key.path[i]);
        if (::mkdir(folder.c_str(), 0755) == 0) {
            // The spelling is for people reading the folder; a key without
            // it still works.
            write_whole_file(folder, kDisplayFile, spelling[i] + "\n");
            if (created != nullptr && i + 1 == key.path.size())
                *created = true;
        } else if (errno != EEXIST) {
            return from_errno(errno);
        } else if (!is_dir(folder)) {
            return static_cast<LONG>(ERROR_PATH_NOT_FOUND);
        }
    }
    return static_cast<LONG>(ERROR_SUCCESS);
}

void put_u32(std::string &out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint32_t get_u32(const std::string &in, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
    return v;
}

// A value file: magic, type, name length and name, data length and data,
// all lengths little-endian, then the checksum of everything before it.
std::string value_record(DWORD type, const std::string &name, const BYTE *data, DWORD size) {
    std::string out(kMagic, sizeof kMagic);
    put_u32(out, type);
    put_u32(out, static_cast<std::uint32_t>(name.size()));
    out += name;
    put_u32(out, size);
    if (size > 0)
        out.append(reinterpret_cast<const char *>(data), size);
    put_u32(out, state_checksum(out.data(), out.size()));
    return out;
}

// Reads a value file. False for a missing file and for one that is
// damaged or cut short, or holds another name's value.
bool read_value(const std::string &path, const std::string &lower_name, DWORD &type,
                std::string &data) {
    constexpr std::size_t kFixed = sizeof kMagic + 4 * 4;
    constexpr std::size_t kLargest = kFixed + kMaxEncodedName + registry_max_value_size;
    std::string bytes;
    const bool ok = read_whole_file(path, bytes, kLargest) && bytes.size() >= kFixed;
    if (!ok || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return false;
    const std::size_t size = bytes.size();
    if (get_u32(bytes, size - 4) != state_checksum(bytes.data(), size - 4))
        return false;
    std::size_t at = sizeof kMagic;
    const DWORD stored_type = get_u32(bytes, at);
    const std::size_t name_len = get_u32(bytes, at + 4);
    at += 8;
    if (name_len > size - kFixed)
        return false;
    const std::string name = bytes.substr(at, name_len);
    at += name_len;
    const std::size_t data_len = get_u32(bytes, at);
    at += 4;
    if (data_len != size - kFixed - name_len || lowered(name) != lower_name)
        return false;
    type = stored_type;
    data = bytes.substr(at, data_len);
    return true;
}

std::string value_file(const std::string &lower_name) { return kValuePrefix + encoded_name(lower_name); }

} // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subkey, DWORD /*options*/, REGSAM desired, PHKEY result) {
    if (result == nullptr)
        return static_cast<LONG>(ERROR_INVALID_PARAMETER);
    *result = nullptr;
    KeyPlace target;
    const LONG status = resolve(key, subkey, target, nullptr);
    if (status != static_cast<LONG>(ERROR_SUCCESS))
        return status;
    const bool exists = target.hardware ? registry_detail::hardware_key_exists(target.path)
                                        : is_standard(target.path) || is_dir(target.folder);
    if (!exists)
        return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    *result = handle_of(target, desired);
    return static_cast<LONG>(ERROR_SUCCESS);
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subkey, DWORD /*reserved*/, LPSTR /*key_class*/,
                     DWORD /*options*/, REGSAM desired, const void * /*security*/, PHKEY result,
                     LPDWORD disposition) {
    if (result == nullptr)
        return static_cast<LONG>(ERROR_INVALID_PARAMETER);
    *result = nullptr;
    KeyPlace target;
    std::vector<std::string> spelling;
    const LONG status = resolve(key, subkey, target, &spelling);
    if (status != static_cast<LONG>(ERROR_SUCCESS))
        return status;
    // A key deleted since it was opened takes no subkeys, as on Windows.
    KeyPlace parent;
    if (key_of(key, parent) && !parent.hardware && !is_standard(parent.path) &&
        !is_dir(parent.folder))
        return static_cast<LONG>(ERROR_KEY_DELETED);
    bool created = false;
    if (target.hardware) {
        if (!registry_detail::hardware_key_exists(target.path))
            return static_cast<LONG>(ERROR_ACCESS_DENIED);
    } else if (!is_dir(target.folder)) {
        if (!is_standard(target.path) && (target.access & KEY_CREATE_SUB_KEY) == 0)
            return static_cast<LONG>(ERROR_ACCESS_DENIED);
        const LONG made = make_key_folders(target, spelling, &created);
        if (made != static_cast<LONG>(ERROR_SUCCESS))
            return made;
        // The keys every machine has were there all along.
        created = created && !is_standard(target.path);
    }
    if (disposition != nullptr)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = handle_of(target, desired);
    return static_cast<LONG>(ERROR_SUCCESS);
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD /*reserved*/, DWORD type, const BYTE *data,
                    DWORD size) {
    KeyPlace place;
    if (!key_of(key, place))
        return static_cast<LONG>(ERROR_INVALID_HANDLE);
    if (place.hardware || (place.access & KEY_SET_VALUE) == 0)
        return static_cast<LONG>(ERROR_ACCESS_DENIED);
    if ((data == nullptr && size > 0) || size > registry_max_value_size)
        return static_cast<LONG>(ERROR_INVALID_PARAMETER);
    const std::string given = name != nullptr ? name : "";
    const std::string file = value_file(lowered(given));
    if (file.size() > kMaxEncodedName + 1)
        return static_cast<LONG>(ERROR_INVALID_PARAMETER);
    if (!is_dir(place.folder)) {
        // Only the keys every machine has may still lack their folder;
        // any other key was deleted since it was opened.
        if (!is_standard(place.path))
            return static_cast<LONG>(ERROR_KEY_DELETED);
        std::vector<std::string> spelling(kStandardKeys, kStandardKeys + place.path.size());
        const LONG made = make_key_folders(place, spelling, nullptr);
        if (made != static_cast<LONG>(ERROR_SUCCESS))
            return made;
    }
    const auto status =
        static_cast<LONG>(write_whole_file(place.folder, file, value_record(type, given, data, size)));
    if (status == static_cast<LONG>(ERROR_FILE_NOT_FOUND))
        return static_cast<LONG>(ERROR_KEY_DELETED);
    return status;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD /*reserved*/, LPDWORD type, LPBYTE data,
                      LPDWORD size) {
    KeyPlace place;
    if (!key_of(key, place))
        return static_cast<LONG>(ERROR_INVALID_HANDLE);
    if ((place.access & KEY_QUERY_VALUE) == 0)
        return static_cast<LONG>(ERROR_ACCESS_DENIED);
    if (data != nullptr && size == nullptr)
        return static_cast<LONG>(ERROR_INVALID_PARAMETER);
    const std::string lower_name = lowered(name != nullptr ? name : "");
    DWORD stored_type = REG_NONE;
    std::string bytes;
    const bool found =
        place.hardware ? registry_detail::hardware_value(place.path, lower_name, stored_type, bytes)
                       : read_value(place.folder + "/" + value_file(lower_name), lower_name,
                                    stored_type, bytes);
    if (!found)
        return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    if (type != nullptr)
        *type = stored_type;
    const auto needed = static_cast<DWORD>(bytes.size());
    if (data != nullptr) {
        const DWORD room = *size;
        *size = needed;
        if (room < needed)
            return static_cast<LONG>(ERROR_MORE_DATA);
        std::memcpy(data, bytes.data(), needed);
    } else if (size != nullptr) {
        *size = needed;
    }
    return static_cast<LONG>(ERROR_SUCCESS);
}

LONG RegFlushKey(HKEY key) {
    KeyPlace place;
    if (!key_of(key, place))
        return static_cast<LONG>(ERROR_INVALID_HANDLE);
    if (place.hardware)
        return static_cast<LONG>(ERROR_SUCCESS);
    const int fd = ::open(place.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        // A key every machine has holds nothing to flush before its folder exists.
        if (errno == ENOENT)
            return static_cast<LONG>(is_standard(place.path) ? ERROR_SUCCESS : ERROR_KEY_DELETED);
        return from_errno(errno);
    }
    const int err = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return err == 0 ? static_cast<LONG>(ERROR_SUCCESS) : from_errno(err);
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subkey) {
    if (subkey == nullptr || subkey[0] == '\0')
        return static_cast<LONG>(ERROR_INVALID_PARAMETER);
    KeyPlace target;
    const LONG status = resolve(key, subkey, target, nullptr);
    if (status != static_cast<LONG>(ERROR_SUCCESS))
        return status;
    if (target.hardware) {
        return static_cast<LONG>(registry_detail::hardware_key_exists(target.path)
                                     ? ERROR_ACCESS_DENIED
                                     : ERROR_FILE_NOT_FOUND);
    }
    if (is_standard(target.path))
        return static_cast<LONG>(ERROR_ACCESS_DENIED);
    if (!is_dir(target.folder))
        return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    // A writer may add a value while the key is emptied; the folder is
    // emptied again until it can go, or a subkey shows.
    for (int attempt = 0; attempt < 8; ++attempt) {
        DIR *dir = ::opendir(target.folder.c_str());
        if (dir == nullptr)
            return errno == ENOENT ? static_cast<LONG>(ERROR_SUCCESS) : from_errno(errno);
        std::vector<std::string> files;
        bool has_subkey = false;
        while (const dirent *entry = ::readdir(dir)) {
            const std::string entry_name = entry->d_name;
            if (entry_name == "." || entry_name == "..")
                continue;
            if (entry_name[0] == kValuePrefix || entry_name[0] == kOwnFilePrefix)
                files.push_back(entry_name);
            else if (is_dir(target.folder + "/" + entry_name))
                has_subkey = true;
        }
        ::closedir(dir);
        if (has_subkey)
            return static_cast<LONG>(ERROR_ACCESS_DENIED);
        for (const std::string &file : files) {
            if (::unlink((target.folder + "/" + file).c_str()) != 0 && errno != ENOENT)
                return from_errno(errno);
        }
        if (::rmdir(target.folder.c_str()) == 0 || errno == ENOENT)
            return static_cast<LONG>(ERROR_SUCCESS);
        if (errno != ENOTEMPTY && errno != EEXIST)
            return from_errno(errno);
    }
    return static_cast<LONG>(ERROR_ACCESS_DENIED);
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE)
        return static_cast<LONG>(ERROR_SUCCESS);
    if (!std::dynamic_pointer_cast<RegistryKey>(object_from_handle(key)))
        return static_cast<LONG>(ERROR_INVALID_HANDLE);
    CloseHandle(key);
    return static_cast<LONG>(ERROR_SUCCESS);
}

} // namespace platform
