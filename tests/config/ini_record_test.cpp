// The configuration record against the key tables: every key of every
// section of every file writes one contiguous field of its own, and all
// keys together cover every byte of the record exactly once, apart from
// the single alignment bytes before 16-bit fields; so no field overlaps
// another, none lies outside its block and none is left unfed. (The fixed
// offsets and sizes of the blocks are asserted at compile time beside the
// record's definition.)
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/ini_names.h"
#include "config/ini_store.h"
#include "config_fixture.h"
#include "shared/ini_record.h"

namespace {

constexpr unsigned char kPoison = 0x5A;

struct Written {
    std::size_t first = 0;
    std::size_t count = 0;
    bool contiguous = true;
};

// Bytes of INI that are no longer the poison, restored to it.
Written TakeWritten() {
    static const std::vector<unsigned char> poison(sizeof(TIni), kPoison);
    auto *record = reinterpret_cast<unsigned char *>(&INI);
    Written w;
    std::size_t last = 0;
    constexpr std::size_t kChunk = 4096;
    for (std::size_t at = 0; at < sizeof(TIni); at += kChunk) {
        const std::size_t n = std::min(kChunk, sizeof(TIni) - at);
        if (std::memcmp(record + at, poison.data(), n) == 0)
            continue;
        for (std::size_t i = at; i < at + n; ++i) {
            if (record[i] == kPoison)
                continue;
            if (w.count == 0)
                w.first = i;
            else if (i != last + 1)
                w.contiguous = false;
            last = i;
            ++w.count;
            record[i] = kPoison;
        }
    }
    return w;
}

TEST(IniRecord, KeysTileTheWholeRecord) {
    std::vector<unsigned char> covered(sizeof(TIni), 0);
    std::memset(&INI, kPoison, sizeof INI);
    for (std::uint8_t file = 0; file < INI_FILE_COUNT; ++file) {
        const int groups = file == INI_FILE_GROUP ? 10 : 1;
        for (int g = 0; g < groups; ++g) {
            g_index = static_cast<std::uint8_t>(g);
            for (std::uint8_t section = 0; section < 120 && SectionNames[file][section][0];
                 ++section) {
                const int group = SectionLineGroup(file, section);
                ASSERT_GE(group, 0);
                const bool kept = std::string(SectionNames[file][section]) < "Schedule_16" ||
                                  std::string(SectionNames[file][section]) > "Schedule_19";
                for (std::uint8_t key = 0; key < 37 && LineNames[file][group][key][0]; ++key) {
                    p_s = "";
                    FillVar(file, section, key);
                    const Written w = TakeWritten();
                    const std::string where = std::to_string(file) + " [" +
                                              SectionNames[file][section] + "] " +
                                              LineNames[file][group][key];
                    if (!kept) {
                        EXPECT_EQ(w.count, 0u) << where << " stored something";
                        continue;
                    }
                    ASSERT_GT(w.count, 0u) << where << " stored nothing";
                    ASSERT_TRUE(w.contiguous) << where << " wrote scattered bytes";
                    for (std::size_t i = w.first; i < w.first + w.count; ++i)
                        ++covered[i];
                }
            }
        }
    }
    p_s = nullptr;
    // Bytes no key writes may only be alignment: one byte at an odd offset.
    std::size_t overlaps = 0, first_overlap = 0, bad_gaps = 0, first_gap = 0;
    for (std::size_t i = 0; i < covered.size(); ++i) {
        if (covered[i] > 1 && overlaps++ == 0)
            first_overlap = i;
        const bool lone = i % 2 == 1 && (i + 1 == covered.size() || covered[i + 1] != 0);
        if (covered[i] == 0 && !lone && bad_gaps++ == 0)
            first_gap = i;
    }
    EXPECT_EQ(overlaps, 0u) << "bytes several keys write, first at offset " << first_overlap;
    EXPECT_EQ(bad_gaps, 0u) << "bytes no key writes, first at offset " << first_gap;
}

TEST(IniRecord, NameTablesHoldTheFilesSectionsAndKeys) {
    struct Expect {
        std::uint8_t file;
        int sections;
        const char *first;
        const char *last;
    };
    for (const Expect &e : {Expect{0, 89, "System", "MessConfig"}, Expect{1, 30, "Job_00", "Job_29"},
                            Expect{2, 66, "Common", "Event_63"}, Expect{3, 32, "Sensor_00", "Sensor_31"},
                            Expect{4, 32, "Job_00", "Job_31"}, Expect{5, 10, "Mod_00", "Mod_09"},
                            Expect{6, 12, "Job_00", "Job_11"}, Expect{7, 36, "Job_00", "Job_35"}}) {
        int n = 0;
        while (n < 120 && SectionNames[e.file][n][0])
            ++n;
        EXPECT_EQ(n, e.sections) << "file " << int(e.file);
        EXPECT_STREQ(SectionNames[e.file][0], e.first);
        EXPECT_STREQ(SectionNames[e.file][e.sections - 1], e.last);
    }
    // Named keys of each file's key groups, in group order.
    const std::vector<std::vector<int>> keys = {
        {27, 6, 10, 12, 4, 9, 2, 2, 1, 1, 26, 1}, {25}, {9, 8, 37}, {13}, {25}, {5}, {25}, {25}};
    for (std::uint8_t file = 0; file < INI_FILE_COUNT; ++file) {
        std::vector<int> counted;
        for (int g = 0; g < 16 && LineNames[file][g][0][0]; ++g) {
            int n = 0;
            while (n < 37 && LineNames[file][g][n][0])
                ++n;
            counted.push_back(n);
        }
        EXPECT_EQ(counted, keys[file]) << "file " << int(file);
    }
    EXPECT_STREQ(SectionNames[0][26], "Schedule_00");
    EXPECT_STREQ(SectionNames[0][56], "UPS_00");
    EXPECT_STREQ(SectionNames[2][1], "UPS");
    EXPECT_STREQ(LineNames[2][2][12], "Log");
    EXPECT_STREQ(LineNames[2][2][36], "Message");
    EXPECT_STREQ(LineNames[0][0][24], "DelayApplication");
    EXPECT_STREQ(LineNames[0][10][25], "SNMPSetComm");
    EXPECT_STREQ(LineNames[7][0][12], "Shutdown");
}

} // namespace
