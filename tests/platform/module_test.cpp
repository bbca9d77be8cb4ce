// The module table: which names find a module, the load count of WTSAPI32,
// and entry points that are found, missing, or gone with their module.
#include <gtest/gtest.h>

#include <string>

#include "platform/last_error.h"
#include "platform/module.h"
#include "platform/terminal_services.h"

namespace {

using namespace platform;

struct NameCase {
    const char *name;
    bool found;
};

class ModuleName : public ::testing::TestWithParam<NameCase> {};

TEST_P(ModuleName, AlwaysLoadedModulesAreFoundByTheirNames) {
    const NameCase &c = GetParam();
    SetLastError(0);
    HMODULE module = GetModuleHandleA(c.name);
    EXPECT_EQ(module != nullptr, c.found);
    if (!c.found) {
        EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    }
}

INSTANTIATE_TEST_SUITE_P(Names, ModuleName,
                         ::testing::Values(NameCase{"KERNEL32.DLL", true}, NameCase{"kernel32.dll", true},
                                           NameCase{"Kernel32", true}, NameCase{"ADVAPI32.DLL", true},
                                           NameCase{"KERNEL32.EXE", false}, NameCase{"KERNEL3", false},
                                           NameCase{"USER32.DLL", false}, NameCase{"", false},
                                           NameCase{nullptr, false}));

TEST(Module, WtsapiIsThereFromItsFirstLoadUntilItsLastFree) {
    EXPECT_EQ(GetModuleHandleA("WTSAPI32.DLL"), nullptr);
    HMODULE first = LoadLibraryA("WTSAPI32.DLL");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(LoadLibraryA("wtsapi32.dll"), first);
    EXPECT_EQ(GetModuleHandleA("WTSAPI32.DLL"), first);

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_NE(GetProcAddress(first, "WTSSendMessageA"), nullptr);
    EXPECT_TRUE(FreeLibrary(first));

    EXPECT_EQ(GetModuleHandleA("WTSAPI32.DLL"), nullptr);
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(first, "WTSSendMessageA"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_FALSE(FreeLibrary(first));
}

TEST(Module, UnknownLibrariesDoNotLoad) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("WTSAPI64.DLL"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST(Module, AlwaysLoadedModulesStayAfterFree) {
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    EXPECT_TRUE(FreeLibrary(kernel));
    EXPECT_EQ(GetModuleHandleA("KERNEL32.DLL"), kernel);
}

struct EntryCase {
    const char *module;
    const char *entry;
    bool found;
};

class EntryPoint : public ::testing::TestWithParam<EntryCase> {};

TEST_P(EntryPoint, IsFoundOnlyInItsOwnModuleWithItsExactName) {
    const EntryCase &c = GetParam();
    HMODULE module = LoadLibraryA(c.module);
    ASSERT_NE(module, nullptr);
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, c.entry) != nullptr, c.found);
    if (!c.found) {
        EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    }
    FreeLibrary(module);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, EntryPoint,
    ::testing::Values(EntryCase{"KERNEL32.DLL", "WTSGetActiveConsoleSessionId", true},
                      EntryCase{"WTSAPI32.DLL", "WTSSendMessageA", true},
                      EntryCase{"ADVAPI32.DLL", "RegisterServiceCtrlHandlerA", true},
                      EntryCase{"ADVAPI32.DLL", "RegisterServiceCtrlHandlerExA", true},
                      EntryCase{"WTSAPI32.DLL", "WTSGetActiveConsoleSessionId", false},
                      EntryCase{"KERNEL32.DLL", "WTSSendMessageA", false},
                      EntryCase{"WTSAPI32.DLL", "wtssendmessagea", false},
                      EntryCase{"WTSAPI32.DLL", "WTSSendMessageW", false},
                      EntryCase{"WTSAPI32.DLL", nullptr, false}));

TEST(Module, EntryPointsCallTheLayersFunctions) {
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    auto session = reinterpret_cast<DWORD (*)()>(GetProcAddress(kernel, "WTSGetActiveConsoleSessionId"));
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session(), WTSGetActiveConsoleSessionId());
}

} // namespace
