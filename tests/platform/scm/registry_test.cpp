// The registry stand-in: keys and values kept under the state directory,
// names matched without regard to case, Win32 results for missing keys,
// small buffers and unwritable state, values that are never half-written
// and damaged value files that read as missing, and the read-only HARDWARE
// keys answered from a cpuinfo file.
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/scm/registry.h"
#include "tests/support/scratch_dir.h"

namespace {

using namespace platform;

constexpr const char *kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\Oskavelde";
constexpr const char *kApplicationKey =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";

// RegCreateKeyExA with the arguments the agent gives it.
LONG create_key(HKEY parent, const char *name, HKEY *key, DWORD *disposition = nullptr) {
    return RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, key, disposition);
}

LONG set_value(HKEY key, const char *name, DWORD type, const void *data, std::size_t size) {
    return RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data),
                          static_cast<DWORD>(size));
}

std::string data_file(const char *name) {
    return std::string(OSK_SOURCE_DIR) + "/tests/data/cpuinfo/" + name;
}

class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char *before = std::getenv("OSKAVELDE_SCM_DIR");
        had_dir_ = before != nullptr;
        if (had_dir_)
            saved_dir_ = before;
        state_ = state_dir_.file("state");
        ::setenv("OSKAVELDE_SCM_DIR", state_.c_str(), 1);
    }
    void TearDown() override {
        if (had_dir_)
            ::setenv("OSKAVELDE_SCM_DIR", saved_dir_.c_str(), 1);
        else
            ::unsetenv("OSKAVELDE_SCM_DIR");
        set_cpuinfo_path(nullptr);
    }

    // Creates the key and stores a text value in it.
    void store_text(const char *key_name, const char *value, const std::string &text) {
        HKEY key = nullptr;
        ASSERT_EQ(create_key(HKEY_LOCAL_MACHINE, key_name, &key), 0);
        ASSERT_EQ(set_value(key, value, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1)),
                  0);
        ASSERT_EQ(RegCloseKey(key), 0);
    }

    // The value's bytes read with a size query and then a read; the
    // status of the first call that fails otherwise.
    static LONG read_value(HKEY parent, const char *key_name, const char *value, DWORD &type,
                           std::string &bytes) {
        HKEY key = nullptr;
        LONG rc = RegOpenKeyExA(parent, key_name, 0, KEY_READ, &key);
        if (rc != 0)
            return rc;
        DWORD size = 0;
        rc = RegQueryValueExA(key, value, nullptr, &type, nullptr, &size);
        if (rc == 0) {
            bytes.assign(size, '\0');
            rc = RegQueryValueExA(key, value, nullptr, &type,
                                  reinterpret_cast<BYTE *>(bytes.data()), &size);
        }
        RegCloseKey(key);
        return rc;
    }

    std::string service_folder() const {
        return state_ + "/registry/system/currentcontrolset/services/oskavelde";
    }

    ScratchDir state_dir_;
    std::string state_;
    bool had_dir_ = false;
    std::string saved_dir_;
};

TEST_F(RegistryTest, InstallEntriesRoundTrip) {
    // The service's key with its description.
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(create_key(HKEY_LOCAL_MACHINE, kServiceKey, &key, &disposition), 0);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    const char description[] = "UPS SNMP monitoring service";
    EXPECT_EQ(set_value(key, "Description", REG_SZ, description, sizeof description), 0);
    EXPECT_EQ(RegFlushKey(key), 0);
    EXPECT_EQ(RegCloseKey(key), 0);
    ASSERT_EQ(create_key(HKEY_LOCAL_MACHINE, kServiceKey, &key, &disposition), 0);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(RegCloseKey(key), 0);

    DWORD type = 0;
    std::string bytes;
    ASSERT_EQ(read_value(HKEY_LOCAL_MACHINE, kServiceKey, "Description", type, bytes), 0);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(bytes, std::string(description, sizeof description));
    EXPECT_TRUE(std::filesystem::is_regular_file(service_folder() + "/=description"));
    EXPECT_EQ(read_file_bytes(service_folder() + "/#name"), "Oskavelde\n");

    // The event-log source: the Application key exists on every machine,
    // before anything was stored under it.
    HKEY application = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApplicationKey, 0, KEY_ALL_ACCESS, &application),
              0);
    HKEY source = nullptr;
    ASSERT_EQ(create_key(application, "Oskavelde", &source, &disposition), 0);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    const char path[] = "/opt/oskavelde dir/oskavelde";
    EXPECT_EQ(set_value(source, "EventMessageFile", REG_SZ, path, sizeof path), 0);
    const DWORD types = 7;
    EXPECT_EQ(set_value(source, "TypesSupported", REG_DWORD, &types, sizeof types), 0);
    EXPECT_EQ(RegFlushKey(source), 0);
    EXPECT_EQ(RegCloseKey(source), 0);
    EXPECT_EQ(RegFlushKey(application), 0);

    ASSERT_EQ(read_value(application, "Oskavelde", "TypesSupported", type, bytes), 0);
    EXPECT_EQ(type, REG_DWORD);
    ASSERT_EQ(bytes.size(), 4u);
    DWORD read_types = 0;
    std::memcpy(&read_types, bytes.data(), 4);
    EXPECT_EQ(read_types, 7u);
    ASSERT_EQ(read_value(application, "Oskavelde", "EventMessageFile", type, bytes), 0);
    EXPECT_EQ(bytes, std::string(path, sizeof path));

    // Removal of the source key with its values; the Application key stays.
    EXPECT_EQ(RegDeleteKeyA(application, "Oskavelde"), 0);
    EXPECT_EQ(read_value(application, "Oskavelde", "TypesSupported", type, bytes), 2);
    EXPECT_EQ(RegDeleteKeyA(application, "Oskavelde"), 2);
    EXPECT_EQ(RegCloseKey(application), 0);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApplicationKey, 0, KEY_READ, &application), 0);
    EXPECT_EQ(RegCloseKey(application), 0);
}

TEST_F(RegistryTest, SizeQueryAndSmallBuffer) {
    store_text(kServiceKey, "Description", "twelve chars");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_READ, &key), 0);

    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Description", nullptr, &type, nullptr, &size), 0);
    EXPECT_EQ(size, 13u);
    EXPECT_EQ(type, REG_SZ);

    char buffer[32];
    std::memset(buffer, 'x', sizeof buffer);
    size = 12;
    EXPECT_EQ(RegQueryValueExA(key, "Description", nullptr, &type, reinterpret_cast<BYTE *>(buffer),
                               &size),
              static_cast<LONG>(ERROR_MORE_DATA));
    EXPECT_EQ(size, 13u);
    EXPECT_EQ(buffer[0], 'x'); // nothing copied

    size = 13;
    EXPECT_EQ(RegQueryValueExA(key, "Description", nullptr, nullptr,
                               reinterpret_cast<BYTE *>(buffer), &size),
              0);
    EXPECT_STREQ(buffer, "twelve chars");

    EXPECT_EQ(RegQueryValueExA(key, "Description", nullptr, nullptr,
                               reinterpret_cast<BYTE *>(buffer), nullptr),
              static_cast<LONG>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegCloseKey(key), 0);
}

TEST_F(RegistryTest, MissingKeysAndValuesAndBadHandles) {
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_READ, &key), 2);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kServiceKey), 2);

    store_text(kServiceKey, "Description", "x");
    DWORD type = 0;
    std::string bytes;
    EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, kServiceKey, "ImagePath", type, bytes), 2);

    // Names that would leave the registry folder are names like any other.
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\..\\..\\registry", 0, KEY_READ, &key), 2);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\\\Services", 0, KEY_READ, &key),
              static_cast<LONG>(ERROR_INVALID_PARAMETER));

    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_READ, &key), 0);
    EXPECT_EQ(set_value(key, "Description", REG_SZ, "y", 2),
              static_cast<LONG>(ERROR_ACCESS_DENIED)); // opened for reading
    EXPECT_EQ(RegCloseKey(key), 0);
    EXPECT_EQ(RegCloseKey(key), static_cast<LONG>(ERROR_INVALID_HANDLE));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Description", nullptr, nullptr, nullptr, &size),
              static_cast<LONG>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegSetValueExA(nullptr, "x", 0, REG_SZ, nullptr, 0),
              static_cast<LONG>(ERROR_INVALID_HANDLE));
}

TEST_F(RegistryTest, NamesMatchWithoutRegardToCase) {
    store_text("SYSTEM\\CurrentControlSet\\Services\\MixedCase", "ImagePath", "first");
    for (const char *spelling : {"system\\currentcontrolset\\services\\mixedcase",
                                 "SYSTEM\\CURRENTCONTROLSET\\SERVICES\\MIXEDCASE",
                                 "System\\CurrentControlSet\\Services\\mIXEDcASE"}) {
        DWORD type = 0;
        std::string bytes;
        EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, spelling, "imagepath", type, bytes), 0)
            << spelling;
        EXPECT_EQ(bytes, std::string("first", 6)) << spelling;
    }
    // Another spelling of the same names replaces the value, in the same key.
    DWORD disposition = 0;
    HKEY key = nullptr;
    ASSERT_EQ(create_key(HKEY_LOCAL_MACHINE, "system\\currentcontrolset\\services\\MIXEDCASE", &key,
                         &disposition),
              0);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(set_value(key, "IMAGEPATH", REG_SZ, "second", 7), 0);
    EXPECT_EQ(RegCloseKey(key), 0);
    DWORD type = 0;
    std::string bytes;
    EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\MixedCase",
                         "ImagePath", type, bytes),
              0);
    EXPECT_EQ(bytes, std::string("second", 7));
    // The folder keeps the spelling of its creation.
    EXPECT_EQ(
        read_file_bytes(state_ + "/registry/system/currentcontrolset/services/mixedcase/#name"),
        "MixedCase\n");
}

TEST_F(RegistryTest, DeletesOnlyKeysWithoutSubkeys) {
    store_text("SYSTEM\\CurrentControlSet\\Services\\Parent\\Child", "v", "x");
    store_text("SYSTEM\\CurrentControlSet\\Services\\Parent", "v", "x");
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Parent"),
              static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\parent\\CHILD"), 0);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Parent"), 0);
    EXPECT_FALSE(
        std::filesystem::exists(state_ + "/registry/system/currentcontrolset/services/parent"));
    // A handle to a deleted key stores nothing and brings the key back with
    // no subkey.
    store_text("SYSTEM\\CurrentControlSet\\Services\\Gone", "v", "x");
    HKEY gone = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Gone", 0,
                            KEY_ALL_ACCESS, &gone),
              0);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Gone"), 0);
    EXPECT_EQ(set_value(gone, "v", REG_SZ, "y", 2), static_cast<LONG>(ERROR_KEY_DELETED));
    HKEY child = nullptr;
    EXPECT_EQ(create_key(gone, "Child", &child), static_cast<LONG>(ERROR_KEY_DELETED));
    EXPECT_EQ(RegCloseKey(gone), 0);
    EXPECT_FALSE(
        std::filesystem::exists(state_ + "/registry/system/currentcontrolset/services/gone"));
    // The keys every machine has stay.
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kApplicationKey),
              static_cast<LONG>(ERROR_ACCESS_DENIED));
}

// Runs the body with the rights of an ordinary user when the test runs as
// root, for whom no directory is unwritable.
template <class Body> void as_ordinary_user(Body body) {
    const uid_t was = ::geteuid();
    if (was == 0 && ::seteuid(65534) != 0)
        GTEST_SKIP() << "cannot take an ordinary user's rights";
    body();
    if (was == 0) {
        ASSERT_EQ(::seteuid(was), 0);
    }
}

TEST_F(RegistryTest, UnwritableStateDirectoryIsAccessDenied) {
    ASSERT_EQ(::mkdir(state_.c_str(), 0555), 0);
    ASSERT_EQ(::chmod(state_dir_.path().c_str(), 0755), 0);
    as_ordinary_user([&] {
        HKEY key = nullptr;
        EXPECT_EQ(create_key(HKEY_LOCAL_MACHINE, kServiceKey, &key),
                  static_cast<LONG>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(key, nullptr);
        // The Application key opens, as on any machine, but takes no value.
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApplicationKey, 0, KEY_ALL_ACCESS, &key), 0);
        const DWORD types = 7;
        EXPECT_EQ(set_value(key, "TypesSupported", REG_DWORD, &types, sizeof types),
                  static_cast<LONG>(ERROR_ACCESS_DENIED));
        HKEY source = nullptr;
        EXPECT_EQ(create_key(key, "Oskavelde", &source), static_cast<LONG>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(RegFlushKey(key), 0);
        EXPECT_EQ(RegCloseKey(key), 0);
    });
}

struct Damage {
    const char *name;
    void (*apply)(std::string &bytes);
};

class DamagedValueTest : public RegistryTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedValueTest, ReadsAsMissing) {
    store_text(kServiceKey, "Description", "UPS SNMP monitoring service");
    const std::string file = service_folder() + "/=description";
    std::string bytes = read_file_bytes(file);
    ASSERT_FALSE(bytes.empty());
    GetParam().apply(bytes);
    write_file_bytes(file, bytes);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_READ, &key), 0);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Description", nullptr, nullptr, nullptr, &size), 2);
    EXPECT_EQ(RegCloseKey(key), 0);
    // A fresh write mends it.
    store_text(kServiceKey, "Description", "again");
    DWORD type = 0;
    std::string value;
    EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, kServiceKey, "Description", type, value), 0);
    EXPECT_EQ(value, std::string("again", 6));
}

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedValueTest,
    ::testing::Values(Damage{"Empty", [](std::string &b) { b.clear(); }},
                      Damage{"CutByOne", [](std::string &b) { b.pop_back(); }},
                      Damage{"CutToHalf", [](std::string &b) { b.resize(b.size() / 2); }},
                      Damage{"ByteChanged", [](std::string &b) { b[b.size() - 8] ^= 0x20; }},
                      Damage{"TrailingBytes", [](std::string &b) { b += "xx"; }},
                      Damage{"LengthTooLarge", [](std::string &b) { b[12] = '\x7f'; }},
                      Damage{"PlainText",
                             [](std::string &b) { b = "UPS SNMP monitoring service"; }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(RegistryTest, ConcurrentWritersNeverLeaveAHalfWrittenValue) {
    // Every value has the same size, so that a read after the size query
    // always fits, and each is one letter over and over.
    constexpr std::size_t kSize = 64 * 1024;
    auto write_letter = [](char letter, int times) {
        HKEY key = nullptr;
        if (create_key(HKEY_LOCAL_MACHINE, kServiceKey, &key) != 0)
            return;
        const std::string text(kSize, letter);
        for (int i = 0; i < times; ++i)
            set_value(key, "Description", REG_BINARY, text.data(), kSize);
        RegCloseKey(key);
    };
    write_letter('a', 1);
    std::vector<std::thread> writers;
    for (char letter = 'b'; letter <= 'e'; ++letter)
        writers.emplace_back(write_letter, letter, 40);
    int torn = 0;
    int missing = 0;
    for (int i = 0; i < 200; ++i) {
        DWORD type = 0;
        std::string bytes;
        if (read_value(HKEY_LOCAL_MACHINE, kServiceKey, "Description", type, bytes) != 0) {
            ++missing;
            continue;
        }
        if (bytes.size() != kSize || bytes.find_first_not_of(bytes[0]) != std::string::npos)
            ++torn;
    }
    for (std::thread &t : writers)
        t.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(missing, 0);
    // No temporary file is left behind.
    for (const auto &entry : std::filesystem::directory_iterator(service_folder())) {
        EXPECT_NE(entry.path().filename().string().rfind("#tmp", 0), 0u) << entry.path();
    }
}

struct CpuCase {
    const char *file;
    bool processor_key; // CentralProcessor\0 opens
    const char *vendor; // null: missing
    const char *model;
    long mhz; // -1: missing
};

class HardwareKeyTest : public RegistryTest, public ::testing::WithParamInterface<CpuCase> {};

TEST_P(HardwareKeyTest, AnswersFromCpuinfo) {
    const CpuCase &c = GetParam();
    set_cpuinfo_path(data_file(c.file).c_str());
    constexpr const char *kSystem = "HARDWARE\\Description\\System";
    constexpr const char *kProcessor = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

    struct utsname machine {};
    ASSERT_EQ(::uname(&machine), 0);
    DWORD type = 0;
    std::string bytes;
    ASSERT_EQ(read_value(HKEY_LOCAL_MACHINE, kSystem, "Identifier", type, bytes), 0);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(bytes, std::string(machine.machine) + '\0');

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProcessor, 0, KEY_ALL_ACCESS, &key),
              c.processor_key ? 0 : 2);
    if (!c.processor_key)
        return;
    EXPECT_EQ(RegCloseKey(key), 0);

    const LONG vendor = read_value(HKEY_LOCAL_MACHINE, kProcessor, "VendorIdentifier", type, bytes);
    EXPECT_EQ(vendor, c.vendor != nullptr ? 0 : 2);
    if (c.vendor != nullptr) {
        EXPECT_EQ(bytes, std::string(c.vendor) + '\0');
    }
    const LONG model = read_value(HKEY_LOCAL_MACHINE, kProcessor, "Identifier", type, bytes);
    EXPECT_EQ(model, c.model != nullptr ? 0 : 2);
    if (c.model != nullptr) {
        EXPECT_EQ(bytes, std::string(c.model) + '\0');
    }
    const LONG mhz = read_value(HKEY_LOCAL_MACHINE, kProcessor, "~MHz", type, bytes);
    EXPECT_EQ(mhz, c.mhz >= 0 ? 0 : 2);
    if (c.mhz >= 0) {
        EXPECT_EQ(type, REG_DWORD);
        ASSERT_EQ(bytes.size(), 4u);
        DWORD value = 0;
        std::memcpy(&value, bytes.data(), 4);
        EXPECT_EQ(value, static_cast<DWORD>(c.mhz));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, HardwareKeyTest,
                         ::testing::Values(CpuCase{"x86_64", true, "GenuineIntel",
                                                   "Intel(R) Xeon(R) Gold 6148 CPU @ 2.40GHz",
                                                   2394},
                                           CpuCase{"aarch64", false, nullptr, nullptr, -1},
                                           // Only processor 0's block counts, and a frequency that
                                           // is no number is missing.
                                           CpuCase{"partial", true, "HygonGenuine", nullptr, -1},
                                           CpuCase{"no-such-file", false, nullptr, nullptr, -1}),
                         [](const auto &info) {
                             std::string name = info.param.file;
                             for (char &ch : name)
                                 if (ch == '-')
                                     ch = '_';
                             return name;
                         });

TEST_F(RegistryTest, HardwareKeysAreReadOnly) {
    set_cpuinfo_path(data_file("x86_64").c_str());
    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\Description\\System", 0, KEY_ALL_ACCESS, &key),
        0);
    EXPECT_EQ(set_value(key, "Identifier", REG_SZ, "x", 2), static_cast<LONG>(ERROR_ACCESS_DENIED));
    HKEY sub = nullptr;
    EXPECT_EQ(create_key(key, "Other", &sub), static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(RegDeleteKeyA(key, "CentralProcessor"), static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(RegOpenKeyExA(key, "CentralProcessor\\1", 0, KEY_READ, &sub), 2);
    EXPECT_EQ(RegCloseKey(key), 0);
    EXPECT_FALSE(std::filesystem::exists(state_ + "/registry/hardware"));
}

} // namespace
