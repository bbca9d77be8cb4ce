// The module table: each module a fixed record with its entry points; a
// handle is the address of its record. Load counts are kept under one lock.
#include "platform/module.h"

#include <cstring>
#include <mutex>
#include <strings.h>

#include "platform/last_error.h"
#include "platform/scm/service_dispatcher.h"
#include "platform/terminal_services.h"

namespace platform {

struct EntryPoint {
    const char *name;
    FARPROC address;
};

struct ModuleRecord {
    const char *name;
    bool always_loaded;
    const EntryPoint *entries;
    std::size_t entry_count;
    int loads;
};

namespace {

template <typename F> FARPROC entry(F *function) { return reinterpret_cast<FARPROC>(function); }

const EntryPoint kKernelEntries[] = {
    {"WTSGetActiveConsoleSessionId", entry(&WTSGetActiveConsoleSessionId)},
};
const EntryPoint kAdvapiEntries[] = {
    {"RegisterServiceCtrlHandlerA", entry(&RegisterServiceCtrlHandlerA)},
    {"RegisterServiceCtrlHandlerExA", entry(&RegisterServiceCtrlHandlerExA)},
};
const EntryPoint kWtsEntries[] = {
    {"WTSSendMessageA", entry(&WTSSendMessageA)},
};

template <std::size_t N> constexpr std::size_t count(const EntryPoint (&)[N]) { return N; }

ModuleRecord g_modules[] = {
    {"KERNEL32.DLL", true, kKernelEntries, count(kKernelEntries), 0},
    {"ADVAPI32.DLL", true, kAdvapiEntries, count(kAdvapiEntries), 0},
    {"WTSAPI32.DLL", false, kWtsEntries, count(kWtsEntries), 0},
};

std::mutex g_modules_mutex;

// "WTSAPI32.DLL", "wtsapi32.dll" and "wtsapi32" name the same module.
bool names_module(const char *name, const ModuleRecord &module) {
    const std::size_t full = std::strlen(module.name);
    const std::size_t base = full - 4; // without ".DLL"
    const std::size_t given = std::strlen(name);
    if (given != full && given != base)
        return false;
    return ::strncasecmp(name, module.name, given) == 0;
}

ModuleRecord *find_module(LPCSTR name) {
    if (name == nullptr)
        return nullptr;
    for (ModuleRecord &module : g_modules)
        if (names_module(name, module))
            return &module;
    return nullptr;
}

// The caller holds the lock.
bool is_loaded(const ModuleRecord *module) {
    for (const ModuleRecord &known : g_modules)
        if (&known == module)
            return known.always_loaded || known.loads > 0;
    return false;
}

} // namespace

HMODULE GetModuleHandleA(LPCSTR name) {
    std::lock_guard<std::mutex> lock(g_modules_mutex);
    ModuleRecord *module = find_module(name);
    if (module == nullptr || !is_loaded(module)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return module;
}

HMODULE LoadLibraryA(LPCSTR name) {
    std::lock_guard<std::mutex> lock(g_modules_mutex);
    ModuleRecord *module = find_module(name);
    if (module == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (!module->always_loaded)
        ++module->loads;
    return module;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    std::lock_guard<std::mutex> lock(g_modules_mutex);
    if (!is_loaded(module)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (name != nullptr)
        for (std::size_t i = 0; i < module->entry_count; ++i)
            if (std::strcmp(module->entries[i].name, name) == 0)
                return module->entries[i].address;
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
    std::lock_guard<std::mutex> lock(g_modules_mutex);
    if (!is_loaded(module)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (!module->always_loaded)
        --module->loads;
    return TRUE;
}

} // namespace platform
