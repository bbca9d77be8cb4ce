// CmdInstallService, CmdRemoveService and the event-log source entries.
#include <cstdio>
#include <cstring>

#include "platform/crt/console_key.h"
#include "platform/module_file_name.h"
#include "platform/scm/registry.h"
#include "platform/scm/service_control.h"
#include "platform/thread.h"
#include "runtime/process_entry.h"
#include "service/service_commands.h"
#include "shared/debug_log.h"

namespace {

constexpr char kApplicationLogKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
constexpr platform::DWORD kTypesSupported = 7;
constexpr platform::DWORD kPathSize = 512;

// The program's path into a buffer of kPathSize bytes; false when it
// cannot be had whole (a cut path would name another program).
bool program_path(char (&path)[kPathSize]) {
    const platform::DWORD length = platform::GetModuleFileNameA(nullptr, path, kPathSize);
    return length != 0 && length < kPathSize;
}

void print_with_display_name(const char *format) {
    char line[128];
    std::snprintf(line, sizeof line, format, kServiceDisplayName);
    printfc(line);
}

// The description under the service's own key; 0, or the error code of
// the first call that failed.
platform::LONG write_description() {
    char key_name[128];
    std::snprintf(key_name, sizeof key_name, "SYSTEM\\CurrentControlSet\\Services\\%s", kServiceName);
    platform::HKEY key = nullptr;
    platform::LONG status =
        platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, key_name, 0, platform::KEY_ALL_ACCESS, &key);
    if (status != 0)
        return status;
    status = platform::RegSetValueExA(key, "Description", 0, platform::REG_SZ,
                                      reinterpret_cast<const platform::BYTE *>(kServiceDescription),
                                      sizeof kServiceDescription);
    if (status == 0)
        status = platform::RegFlushKey(key);
    platform::RegCloseKey(key);
    return status;
}

void delete_service(platform::SC_HANDLE service) {
    printfc("\nDelete service\n");
    if (platform::DeleteServiceA(service)) {
        print_with_display_name("%s removed.\n");
    } else {
        WriteLastError(0);
        printfc("DeleteService failed - ");
    }
}

} // namespace

void MakeRegistryEntry() {
    platform::HKEY application = nullptr;
    if (platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, kApplicationLogKey, 0, platform::KEY_ALL_ACCESS,
                                &application) != 0)
        return;
    platform::HKEY source = nullptr;
    platform::DWORD disposition = 0;
    if (platform::RegCreateKeyExA(application, kServiceName, 0, nullptr, platform::REG_OPTION_NON_VOLATILE,
                                  platform::KEY_ALL_ACCESS, nullptr, &source, &disposition) == 0) {
        char path[kPathSize];
        if (program_path(path))
            platform::RegSetValueExA(source, "EventMessageFile", 0, platform::REG_SZ,
                                     reinterpret_cast<const platform::BYTE *>(path),
                                     static_cast<platform::DWORD>(std::strlen(path) + 1));
        const platform::DWORD types = kTypesSupported;
        platform::RegSetValueExA(source, "TypesSupported", 0, platform::REG_DWORD,
                                 reinterpret_cast<const platform::BYTE *>(&types), sizeof types);
        platform::RegFlushKey(source);
        platform::RegCloseKey(source);
    }
    platform::RegFlushKey(application);
    platform::RegCloseKey(application);
}

int DeleteRegistryEntry() {
    platform::HKEY application = nullptr;
    platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, kApplicationLogKey, 0, platform::KEY_ALL_ACCESS,
                            &application);
    platform::RegDeleteKeyA(application, kServiceName);
    platform::RegFlushKey(application);
    return platform::RegCloseKey(application);
}

int CmdInstallService(int demand) {
    char path[kPathSize];
    if (!program_path(path)) {
        WriteLastError(1);
        print_with_display_name("Unable to install %s\n");
        printfc("....press any key to delete old installation and repeat.\n");
        platform::_getch();
        return 1;
    }
    const platform::SC_HANDLE manager = platform::OpenSCManagerA(nullptr, nullptr, platform::SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) {
        WriteLastError(1);
        MakeRegistryEntry();
        platform::Sleep(1000);
        return 0;
    }
    printfc("\n\rCreateService");
    char binary_path[kPathSize + 2];
    if (std::strchr(path, ' ') != nullptr)
        std::snprintf(binary_path, sizeof binary_path, "\"%s\"", path);
    else
        std::snprintf(binary_path, sizeof binary_path, "%s", path);
    const platform::SC_HANDLE service = platform::CreateServiceA(
        manager, kServiceName, kServiceDisplayName, platform::SERVICE_ALL_ACCESS,
        platform::SERVICE_WIN32_OWN_PROCESS | platform::SERVICE_INTERACTIVE_PROCESS,
        demand != 0 ? platform::SERVICE_DEMAND_START : platform::SERVICE_AUTO_START, platform::SERVICE_ERROR_NORMAL,
        binary_path, ProcessPriority, nullptr, "\0", nullptr, nullptr);
    if (service != nullptr) {
        print_with_display_name("%s installed.\n");
        platform::CloseServiceHandle(service);
    } else {
        WriteLastError(1);
    }
    platform::CloseServiceHandle(manager);
    const platform::LONG status = write_description();
    if (status != 0)
        return status;
    MakeRegistryEntry();
    platform::Sleep(1000);
    return 0;
}

void CmdRemoveService() {
    const platform::SC_HANDLE manager = platform::OpenSCManagerA(nullptr, nullptr, platform::SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) {
        WriteLastError(1);
        printfc("OpenSCManager failed - ");
    } else {
        const platform::SC_HANDLE service = OpenAgentService(manager, platform::SERVICE_ALL_ACCESS, 0);
        if (service != nullptr) {
            StopAndWait(service);
            delete_service(service);
            platform::CloseServiceHandle(service);
            platform::CloseServiceHandle(manager);
        }
    }
    DeleteRegistryEntry();
    platform::Sleep(1000);
}
