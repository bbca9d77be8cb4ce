// Value storing: number conversion into the three kinds of number field,
// bounded text copies, the job files' Shutdown rule, the group-file and
// [System] routing, and the indices that store nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "config/ini_parser.h"
#include "config/ini_store.h"
#include "config_fixture.h"
#include "shared/ini_record.h"

namespace {

using config_test::BytesAreZero;
using config_test::IniTest;
using StoreTest = IniTest;
using config_test::RecordIsZero;
using config_test::Text;

void Store(std::uint8_t file, std::uint8_t section, std::uint8_t key, const std::string &text) {
    p_s = text.c_str();
    FillVar(file, section, key);
    p_s = nullptr;
}

// Section and key indices used below.
constexpr std::uint8_t kSystem = 0, kNetwork = 2, kSchedule00 = 26, kUps00 = 56;
constexpr std::uint8_t kCommon = 0, kGroupUps = 1, kEvent00 = 2;

struct NumberCase {
    const char *label;
    const char *text;
    unsigned u8;
    unsigned u16;
};
void PrintTo(const NumberCase &c, std::ostream *os) { *os << c.label; }

class StoreNumberTest : public IniTest, public ::testing::WithParamInterface<NumberCase> {};

// [System] Language is a uint8 field, [Network] Port a uint16 and a job's
// Execute a 16-bit field that keeps only the low byte.
TEST_P(StoreNumberTest, KeepsTheLowBitsOfTheField) {
    const NumberCase &c = GetParam();
    Store(0, kSystem, 3, c.text);  // Language
    Store(0, kNetwork, 2, c.text); // Port
    Store(1, 0, 2, c.text);        // [Job_00] Execute
    EXPECT_EQ(INI.System.Language, c.u8);
    EXPECT_EQ(INI.Network.Port, c.u16);
    EXPECT_EQ(INI.Jobs[0].Execute, c.u8);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, StoreNumberTest,
    ::testing::Values(NumberCase{"five", "5", 5, 5}, NumberCase{"n300", "300", 44, 300},
                      NumberCase{"n70000", "70000", 112, 4464},
                      NumberCase{"minus_one", "-1", 255, 65535}, NumberCase{"plus_seven", "+7", 7, 7},
                      NumberCase{"blanks_and_trailing_text", "  12abc", 12, 12},
                      NumberCase{"letters", "abc", 0, 0}, NumberCase{"empty", "", 0, 0},
                      NumberCase{"hex", "0x1F", 0, 0}, NumberCase{"n261", "261", 5, 261},
                      NumberCase{"minus_300", "-300", 212, 65236},
                      NumberCase{"two_to_32", "4294967296", 0, 0},
                      NumberCase{"two_to_32_plus_5", "4294967301", 5, 5},
                      NumberCase{"beyond_64_bits", "123456789012345678901", 53, 27701},
                      NumberCase{"negative_beyond_64_bits", "-123456789012345678901", 203, 37835},
                      NumberCase{"minus_two_to_32_minus_1", "-4294967297", 255, 65535},
                      NumberCase{"all_white_space", "\t\v\f\r 9", 9, 9},
                      NumberCase{"two_signs", "+-5", 0, 0}, NumberCase{"blank_after_sign", "- 5", 0, 0},
                      NumberCase{"high_bytes", "\xB9\xB2", 0, 0}),
    [](const auto &info) { return std::string(info.param.label); });

// Every 16-bit field of the record with the key that fills it, read from a
// file as the loader reads it. The action fields of jobs and events, an
// event's types and priorities and a module's BPU indices keep only the
// low byte of their number; every other 16-bit field keeps all 16 bits.
enum class Kept { LowByte, AllBits };

struct WordField {
    std::uint8_t file;
    std::string section;
    std::string key;
    std::uint16_t *field;
    Kept kept;
};

std::vector<WordField> WordFields(std::uint8_t group) {
    constexpr Kept L = Kept::LowByte, A = Kept::AllBits;
    TIniUps &ups = INI.UPS[31];
    TIniGroup &g = INI.Group[group];
    TIniEvent &event = g.Event[63];
    std::vector<WordField> rows = {
        {0, "System", "DataLog", &INI.System.DataLog, A},
        {0, "System", "DataLogRate", &INI.System.DataLogRate, A},
        {0, "System", "DataLogMin", &INI.System.DataLogMin, A},
        {0, "System", "DataLogMax", &INI.System.DataLogMax, A},
        {0, "System", "PasswordProtection", &INI.System.PasswordProtection, A},
        {0, "Serial", "Baudrate", &INI.Serial.Baudrate, A},
        {0, "Network", "Port", &INI.Network.Port, A},
        {0, "Network", "RemoteDevice", &INI.Network.RemoteDevice, A},
        {0, "EmailConfig", "Port", &INI.EmailConfig.Port, A},
        {0, "UPS_31", "Connection", &ups.Connection, A},
        {0, "UPS_31", "Device", &ups.Device, A},
        {0, "UPS_31", "MessageRate", &ups.MessageRate, A},
        {0, "UPS_31", "SystemShutdownDelay", &ups.SystemShutdownDelay, A},
        {0, "UPS_31", "SystemShutdownLead", &ups.SystemShutdownLead, A},
        {0, "UPS_31", "UPSShutdownDelay", &ups.UPSShutdownDelay, A},
        {0, "UPS_31", "Password", &ups.Password, A},
        {0, "UPS_31", "RTGConnTime", &ups.RTGConnTime, A},
        {0, "UPS_31", "RTGTimeout", &ups.RTGTimeout, A},
        {2, "Common", "BatteryRuntimeShutdown", &g.BatteryRuntimeShutdown, A},
        {2, "Common", "SystemShutdownDelay", &g.SystemShutdownDelay, A},
        {2, "Common", "UPSShutdownDelay", &g.UPSShutdownDelay, A},
        {2, "UPS", "UPS_00", &g.UPS_00, A},
        {2, "UPS", "UPS_01", &g.UPS_01, A},
        {2, "UPS", "UPS_02", &g.UPS_02, A},
        {2, "UPS", "UPS_03", &g.UPS_03, A},
        {2, "UPS", "UPS_04", &g.UPS_04, A},
        {2, "UPS", "UPS_05", &g.UPS_05, A},
        {2, "UPS", "UPS_06", &g.UPS_06, A},
        {2, "UPS", "UPS_07", &g.UPS_07, A},
        {2, "Event_63", "Type1", &event.Type1, L},
        {2, "Event_63", "Type2", &event.Type2, L},
        {2, "Event_63", "Type3", &event.Type3, L},
        {2, "Event_63", "Type4", &event.Type4, L},
        {2, "Event_63", "Type5", &event.Type5, L},
        {2, "Event_63", "Type6", &event.Type6, L},
        {2, "Event_63", "Priority1", &event.Priority1, L},
        {2, "Event_63", "Priority2", &event.Priority2, L},
        {2, "Event_63", "Priority3", &event.Priority3, L},
        {2, "Event_63", "Priority4", &event.Priority4, L},
        {2, "Event_63", "Priority5", &event.Priority5, L},
        {2, "Event_63", "Priority6", &event.Priority6, L},
        {3, "Sensor_31", "TempThrUp", &INI.Sensor[31].TempThrUp, A},
        {3, "Sensor_31", "TempThrDown", &INI.Sensor[31].TempThrDown, A},
        {5, "Mod_09", "BPUIndex1", &INI.Module[9].BPUIndex1, L},
        {5, "Mod_09", "BPUIndex2", &INI.Module[9].BPUIndex2, L},
        {5, "Mod_09", "BPUIndex3", &INI.Module[9].BPUIndex3, L},
        {5, "Mod_09", "BPUIndex4", &INI.Module[9].BPUIndex4, L},
    };

    // The job keys, alike in the four job files and at the end of an event.
    struct JobWord {
        const char *key;
        std::uint16_t TIniJob::*field;
        Kept kept;
    };
    constexpr JobWord kJobWords[] = {
        {"Log", &TIniJob::Log, L},
        {"LogDelay", &TIniJob::LogDelay, A},
        {"Execute", &TIniJob::Execute, L},
        {"ExecuteDelay", &TIniJob::ExecuteDelay, A},
        {"ExecuteInterval", &TIniJob::ExecuteInterval, A},
        {"LocalMessage", &TIniJob::LocalMessage, L},
        {"LocalMessageDelay", &TIniJob::LocalMessageDelay, A},
        {"LocalMessageInterval", &TIniJob::LocalMessageInterval, A},
        {"NetMessage", &TIniJob::NetMessage, L},
        {"NetMessageDelay", &TIniJob::NetMessageDelay, A},
        {"NetMessageInterval", &TIniJob::NetMessageInterval, A},
        {"Shutdown", &TIniJob::Shutdown, L},
        {"ShutdownDelay", &TIniJob::ShutdownDelay, A},
        {"Email", &TIniJob::Email, L},
        {"EmailDelay", &TIniJob::EmailDelay, A},
        {"SMS", &TIniJob::SMS, L},
        {"SMSDelay", &TIniJob::SMSDelay, A},
        {"Call", &TIniJob::Call, L},
        {"CallDelay", &TIniJob::CallDelay, A},
        {"Fax", &TIniJob::Fax, L},
        {"FaxDelay", &TIniJob::FaxDelay, A},
        {"Voice", &TIniJob::Voice, L},
        {"VoiceDelay", &TIniJob::VoiceDelay, A},
    };
    // jobsSTS.ini and jobsMPW.ini never keep a Shutdown (tested above), so
    // it is left out there.
    struct JobPlace {
        std::uint8_t file;
        const char *section;
        TIniJob &job;
        bool keeps_shutdown;
    };
    const JobPlace places[] = {
        {1, "Job_28", INI.Jobs[28], true},     {4, "Job_31", INI.JobsSTS[31], false},
        {6, "Job_11", INI.JobsMPW[11], false}, {7, "Job_34", INI.JobsMDU[34], true},
        {2, "Event_63", event.Job, true},
    };
    for (const JobPlace &place : places)
        for (const JobWord &word : kJobWords)
            if (place.keeps_shutdown || std::string(word.key) != "Shutdown")
                rows.push_back(
                    {place.file, place.section, word.key, &(place.job.*word.field), word.kept});
    return rows;
}

TEST_F(StoreTest, SixteenBitFieldsKeepTheLowByteOrAllBits) {
    g_index = 9;
    for (const WordField &row : WordFields(g_index)) {
        SCOPED_TRACE("file " + std::to_string(row.file) + " [" + row.section + "] " + row.key);
        *row.field = 0xA5A5; // a store that leaves the high byte shows
        ASSERT_EQ(Parse(row.file, "[" + row.section + "]\n" + row.key + "=4660\n"), 0);
        EXPECT_EQ(*row.field, row.kept == Kept::LowByte ? 0x34 : 0x1234);
    }
}

TEST_F(StoreTest, TextFillingTheFieldHasNoTerminator) {
    const std::string full(64, 'N');
    Store(0, kSystem, 0, full + "overflow");
    EXPECT_EQ(std::memcmp(INI.System.Name, full.data(), 64), 0);
    EXPECT_EQ(INI.System.Location[0], 0) << "the next field is untouched";

    Store(0, kSystem, 0, "ab");
    EXPECT_EQ(Text(INI.System.Name), "ab");
    for (std::size_t i = 2; i < sizeof INI.System.Name; ++i)
        ASSERT_EQ(INI.System.Name[i], 0) << "byte " << i << " of the old text is left";
}

TEST_F(StoreTest, CommunityIsCutAtItsWidth) {
    Store(0, kUps00 + 5, 25, "keep");             // SNMPSetComm
    Store(0, kUps00 + 5, 24, std::string(40, 'c')); // SNMPGetComm
    EXPECT_EQ(std::string(INI.UPS[5].SNMPGetComm, 32), std::string(32, 'c'));
    EXPECT_EQ(Text(INI.UPS[5].SNMPSetComm), "keep");
}

// The job files' Shutdown rule.
struct ShutdownCase {
    std::uint8_t file;
    std::uint8_t job;
    const char *text;
    unsigned stored;
};
void PrintTo(const ShutdownCase &c, std::ostream *os) {
    *os << "file" << int(c.file) << "_job" << int(c.job) << "_" << c.text;
}

class JobShutdownTest : public IniTest, public ::testing::WithParamInterface<ShutdownCase> {};

TIniJob &JobOf(std::uint8_t file, std::uint8_t job) {
    switch (file) {
    case 1: return INI.Jobs[job];
    case 4: return INI.JobsSTS[job];
    case 6: return INI.JobsMPW[job];
    default: return INI.JobsMDU[job];
    }
}

TEST_P(JobShutdownTest, StoresOnlyWhereTheFileAllows) {
    const ShutdownCase &c = GetParam();
    Store(c.file, c.job, 12, c.text); // Shutdown
    Store(c.file, c.job, 13, c.text); // ShutdownDelay is never forced
    EXPECT_EQ(JobOf(c.file, c.job).Shutdown, c.stored);
    EXPECT_NE(JobOf(c.file, c.job).ShutdownDelay, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, JobShutdownTest,
    ::testing::Values(
        ShutdownCase{1, 0, "1", 1}, ShutdownCase{1, 1, "1", 0}, ShutdownCase{1, 2, "1", 0},
        ShutdownCase{1, 3, "1", 0}, ShutdownCase{1, 4, "1", 0}, ShutdownCase{1, 5, "1", 0},
        ShutdownCase{1, 6, "1", 1}, ShutdownCase{1, 7, "1", 0}, ShutdownCase{1, 8, "1", 1},
        ShutdownCase{1, 0, "300", 44}, ShutdownCase{1, 28, "2", 2}, ShutdownCase{1, 29, "2", 0},
        ShutdownCase{7, 0, "1", 1}, ShutdownCase{7, 2, "1", 0}, ShutdownCase{7, 4, "1", 0},
        ShutdownCase{7, 5, "1", 0}, ShutdownCase{7, 6, "1", 1}, ShutdownCase{7, 34, "1", 1},
        ShutdownCase{7, 35, "1", 0}, ShutdownCase{4, 0, "1", 0}, ShutdownCase{4, 6, "1", 0},
        ShutdownCase{4, 31, "255", 0}, ShutdownCase{6, 0, "1", 0}, ShutdownCase{6, 8, "1", 0},
        ShutdownCase{6, 11, "300", 0}));

TEST_F(StoreTest, EventShutdownIsStoredPlainly) {
    g_index = 0;
    Store(2, kEvent00 + 1, 24, "1"); // [Event_01] Shutdown
    Store(2, kEvent00 + 2, 24, "300");
    EXPECT_EQ(INI.Group[0].Event[1].Job.Shutdown, 1);
    EXPECT_EQ(INI.Group[0].Event[2].Job.Shutdown, 44);
}

TEST_F(StoreTest, GroupFileKeysGoToTheGroupOfGIndex) {
    g_index = 3;
    Store(2, kCommon, 0, "third");          // Name
    Store(2, kCommon, 1, "1");              // AllowedBatteryShutdown
    Store(2, kGroupUps, 0, "300");          // UPS_00
    Store(2, kGroupUps, 7, "7");            // UPS_07
    Store(2, kEvent00 + 63, 0, "9");        // [Event_63] Type1
    Store(2, kEvent00 + 63, 36, "last");    // [Event_63] Message
    const TIniGroup &g = INI.Group[3];
    EXPECT_EQ(Text(g.Name), "third");
    EXPECT_EQ(g.AllowedBatteryShutdown, 1);
    EXPECT_EQ(g.UPS_00, 300);
    EXPECT_EQ(g.UPS_07, 7);
    EXPECT_EQ(g.Event[63].Type1, 9);
    EXPECT_EQ(Text(g.Event[63].Job.Message), "last");

    auto others = config_test::Snapshot();
    const std::size_t group3 = offsetof(TIni, Group) + 3 * sizeof(TIniGroup);
    std::fill_n(others.begin() + group3, sizeof(TIniGroup), 0);
    EXPECT_TRUE(BytesAreZero(others.data(), others.size())) << "nothing outside group 3 is written";
}

TEST_F(StoreTest, GIndexBeyondTheGroupsStoresNothing) {
    for (int g : {10, 99, 255}) {
        g_index = static_cast<std::uint8_t>(g);
        Store(2, kCommon, 0, "lost");
        Store(2, kEvent00 + 63, 36, std::string(200, 'x'));
    }
    EXPECT_TRUE(RecordIsZero());
}

TEST_F(StoreTest, DelayApplicationAndTesquorGoToTheNetworkBlock) {
    Store(0, kNetwork, 1, "11");     // Server
    Store(0, kNetwork, 3, "12");     // SNMP
    Store(0, kNetwork, 2, "5004");   // Port
    Store(0, kNetwork, 4, "13");     // HTTP
    Store(0, kNetwork, 5, "/http/"); // HTTPPath
    Store(0, kSystem, 24, "300");    // DelayApplication
    Store(0, kSystem, 25, "7");      // Tesquor
    EXPECT_EQ(INI.Network.DelayApplication, 44);
    EXPECT_EQ(INI.Network.Tesquor, 7);
    EXPECT_EQ(INI.Network.Server, 11);
    EXPECT_EQ(INI.Network.SNMP, 12);
    EXPECT_EQ(INI.Network.Port, 5004);
    EXPECT_EQ(INI.Network.HTTP, 13);
    EXPECT_EQ(Text(INI.Network.HTTPPath), "/http/");
    EXPECT_TRUE(BytesAreZero(&INI.System, sizeof INI.System)) << "[System] block untouched";
}

class ScheduleBeyondTableTest : public IniTest, public ::testing::WithParamInterface<int> {};

TEST_P(ScheduleBeyondTableTest, StoresNothing) {
    Store(0, kUps00, 0, "first UPS");
    Store(0, kSchedule00 + 15, 0, "last schedule");
    const auto before = config_test::Snapshot();
    Store(0, static_cast<std::uint8_t>(kSchedule00 + GetParam()), 0, "12345678901234567890xyz");
    EXPECT_EQ(config_test::Snapshot(), before);
    EXPECT_EQ(Text(INI.Schedule[15].Data), "last schedule");
    EXPECT_EQ(Text(INI.UPS[0].Name), "first UPS");
}

INSTANTIATE_TEST_SUITE_P(Sections16To19, ScheduleBeyondTableTest, ::testing::Range(16, 20));

struct IndexCase {
    const char *label;
    std::uint8_t file, section, key;
};
void PrintTo(const IndexCase &c, std::ostream *os) { *os << c.label; }

class IndexBeyondListTest : public IniTest, public ::testing::WithParamInterface<IndexCase> {};

TEST_P(IndexBeyondListTest, StoresNothing) {
    Store(GetParam().file, GetParam().section, GetParam().key, "77");
    EXPECT_TRUE(RecordIsZero());
}

INSTANTIATE_TEST_SUITE_P(
    Indices, IndexBeyondListTest,
    ::testing::Values(IndexCase{"file_8", 8, 0, 0}, IndexCase{"file_255", 255, 255, 255},
                      IndexCase{"kervon_section_89", 0, 89, 0},
                      IndexCase{"jobs_section_30", 1, 30, 0},
                      IndexCase{"group_section_66", 2, 66, 0},
                      IndexCase{"sensor_section_32", 3, 32, 0},
                      IndexCase{"jobssts_section_32", 4, 32, 0},
                      IndexCase{"modular_section_10", 5, 10, 0},
                      IndexCase{"jobsmpw_section_12", 6, 12, 0},
                      IndexCase{"jobsmdu_section_36", 7, 36, 0},
                      IndexCase{"system_key_27", 0, 0, 27},
                      IndexCase{"messconfig_key_1", 0, 88, 1},
                      IndexCase{"group_ups_key_8", 2, 1, 8}, IndexCase{"event_key_37", 2, 65, 37},
                      IndexCase{"mod_09_key_5", 5, 9, 5}, IndexCase{"job_key_25", 1, 0, 25},
                      IndexCase{"key_255", 0, 56, 255}),
    [](const auto &info) { return std::string(info.param.label); });

} // namespace
