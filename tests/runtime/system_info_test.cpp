// The diagnostic dump: its lines at the two verbosities, the processor
// lines from a fixture cpuinfo and their absence on a machine without
// them, the memory lines with and without an address-space limit, and the
// version text set even when nothing is written.
#include <sys/resource.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/memory_status.h"
#include "platform/scm/registry.h"
#include "shared/debug_log.h"
#include "shared/directories.h"
#include "shared/ini_record.h"
#include "shared/system_info.h"
#include "tests/support/console_capture.h"
#include "tests/support/scratch_dir.h"

namespace {

std::string cpuinfo(const char *name) {
    return std::string(OSK_SOURCE_DIR) + "/tests/data/cpuinfo/" + name;
}

std::string machine() {
    struct utsname name {};
    return ::uname(&name) == 0 ? name.machine : "";
}

class SystemInfoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::snprintf(ProgramDir, sizeof ProgramDir, "%s", "/opt/oskavelde/");
        std::snprintf(AllUserDir, sizeof AllUserDir, "%s/", data_.path().c_str());
        INI.System.DebugMode = 5;
        INI.System.DebugLog = 1;
        bDebug = 1;
        bDebugLog = 0;
        k_monitor1 = 0;
        std::memset(local_version, 0, sizeof local_version);
        platform::set_cpuinfo_path(cpuinfo("x86_64").c_str());
    }
    void TearDown() override {
        platform::set_cpuinfo_path(nullptr);
        bDebug = bDebugLog = k_monitor = k_monitor1 = 0;
        INI.System.DebugMode = INI.System.DebugLog = 0;
        ProgramDir[0] = AllUserDir[0] = '\0';
        std::memset(local_version, 0, sizeof local_version);
    }

    std::string run(std::uint8_t monitor) {
        k_monitor = monitor;
        console_.clear();
        EXPECT_EQ(system_info(), 0);
        return console_.text();
    }

    // What comes before the computer information at the given verbosity.
    static std::string head(unsigned monitor) {
        return "\n\nKERVON - Version 2.1.0\n\nDir: /opt/oskavelde/ \nDataLogFile: data_xx.log \n"
               "INI structure size: " +
               std::to_string(sizeof INI) +
               " \nDevice data size: 676 (676) \nDebug mode: " + std::to_string(monitor) +
               " [DM:1,DL:0,INI.DM:5,INI.DL:1]\n";
    }

    ScratchDir data_;
    ConsoleCapture console_;
};

const std::string kProbe = "\n UDP header size: 16 By\n"
                           "\n WORD size: 2 By   BYTE size: 1 By"
                           "\n Time_t size: " +
                           std::to_string(sizeof(time_t)) +
                           " By   Long size: " + std::to_string(sizeof(long)) +
                           " By"
                           "\n DWORD size: 4 By   Pointer size: " +
                           std::to_string(sizeof(void *)) +
                           " By"
                           "\n Byte order : LITTLE ENDIAN \n";

TEST_F(SystemInfoTest, LinesAtEachVerbosity) {
    const std::string computer = "\nComputer information ..."
                                 "\n     PC Identifier: " +
                                 machine() +
                                 "\n     CPU Vendor Identifier: GenuineIntel"
                                 "\n     CPU model: Intel(R) Xeon(R) Gold 6148 CPU @ 2.40GHz"
                                 "\n     CPU frequency: 2394 Mhz"
                                 "\n     Memory load: ";
    for (unsigned monitor : {0u, 2u, 3u, 10u}) {
        const std::string text = run(static_cast<std::uint8_t>(monitor));
        const std::string expected = head(monitor) + (monitor >= 3 ? kProbe : "") + computer;
        EXPECT_EQ(text.substr(0, expected.size()), expected) << "k_monitor " << monitor;
        EXPECT_EQ(text.find(" UDP header size") != std::string::npos, monitor >= 3);
        EXPECT_EQ(text.find("Byte order") != std::string::npos, monitor >= 3);
        EXPECT_EQ(text.substr(text.size() - 2), "\n\r");
    }
}

TEST_F(SystemInfoTest, ProbeHeaderIsTracedAtTheProtocolTraceLevel) {
    k_monitor1 = 4;
    const std::string text = run(3);
    for (const char *field :
         {"\n  Ident: 258 [102]", "\n  Dev: 515 [203]", "\n  ActualPacket: 1029 [405]",
          "\n  TotalPackets: 1543 [607]", "\n  Size: 134810123 [8090A0B]",
          "\n  Password: 3085 [C0D]", "\n  RR: 3599 [E0F]"})
        EXPECT_NE(text.find(field), std::string::npos) << field;
}

TEST_F(SystemInfoTest, MachineWithoutProcessorKeys) {
    platform::set_cpuinfo_path(cpuinfo("aarch64").c_str());
    const std::string text = run(2);
    EXPECT_EQ(text.find("CPU "), std::string::npos);
    const std::string expected =
        "\nComputer information ...\n     PC Identifier: " + machine() + "\n     Memory load: ";
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    for (const char *line :
         {"\n     Physical memory: ", "\n     Paging file: ", "\n     Virtual memory: "})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST_F(SystemInfoTest, VersionTextIsSetWithOutputOff) {
    bDebug = 0;
    bDebugLog = 0;
    EXPECT_EQ(run(3), "");
    EXPECT_STREQ(local_version, "KERVON - Version 2.1.0");
    EXPECT_FALSE(std::filesystem::exists(data_.file("debugsnmp.log")));
}

// The four memory figures of the dump, in MB.
struct MemoryLines {
    unsigned long load = 0;
    unsigned long long phys = 0, phys_free = 0, page = 0, page_free = 0, virt = 0, virt_free = 0;
};

bool parse_memory(const std::string &text, MemoryLines &m) {
    const std::size_t at = text.find("\n     Memory load: ");
    return at != std::string::npos && std::sscanf(text.c_str() + at,
                                                  "\n     Memory load: %lu %%"
                                                  "\n     Physical memory: %llu MB [free: %llu MB]"
                                                  "\n     Paging file: %llu MB [free: %llu MB]"
                                                  "\n     Virtual memory: %llu MB [free: %llu MB]",
                                                  &m.load, &m.phys, &m.phys_free, &m.page,
                                                  &m.page_free, &m.virt, &m.virt_free) == 7;
}

TEST_F(SystemInfoTest, MemoryFigures) {
    MemoryLines m;
    ASSERT_TRUE(parse_memory(run(2), m));
    EXPECT_LE(m.load, 100u);
    EXPECT_GT(m.phys, 0u);
    EXPECT_LE(m.phys_free, m.phys);
    EXPECT_GE(m.page, m.phys); // RAM and swap together
    EXPECT_LE(m.page_free, m.page);
    EXPECT_LE(m.virt_free, m.virt);

    struct rlimit limit {};
    ASSERT_EQ(::getrlimit(RLIMIT_AS, &limit), 0);
    if (limit.rlim_cur == RLIM_INFINITY) {
        platform::MEMORYSTATUS status{};
        platform::GlobalMemoryStatus(&status);
        EXPECT_EQ(m.virt, status.dwTotalVirtual / 1048576);
        EXPECT_GE(status.dwTotalVirtual, std::size_t{1} << 46); // the user address space
    }
}

TEST_F(SystemInfoTest, VirtualMemoryIsTheAddressSpaceLimit) {
    struct rlimit before {};
    ASSERT_EQ(::getrlimit(RLIMIT_AS, &before), 0);
    platform::MEMORYSTATUS status{};
    platform::GlobalMemoryStatus(&status);
    const std::size_t mapped = status.dwTotalVirtual - status.dwAvailVirtual;
    // Room enough for the test to go on, far below the address space.
    const rlim_t cap = (mapped / 1048576 + 2048) * 1048576;
    if (before.rlim_max != RLIM_INFINITY && before.rlim_max < cap)
        GTEST_SKIP() << "the hard address-space limit is too low";
    struct rlimit limited = before;
    limited.rlim_cur = cap;
    ASSERT_EQ(::setrlimit(RLIMIT_AS, &limited), 0);
    MemoryLines m;
    const bool parsed = parse_memory(run(2), m);
    ASSERT_EQ(::setrlimit(RLIMIT_AS, &before), 0);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(m.virt, cap / 1048576);
    EXPECT_LE(m.virt_free, 2048u);
    EXPECT_GT(m.virt_free, 0u);
}

} // namespace
