// The INI files' schema: each file's sections in section-index order and
// each key group's keys in key-index order, every key together with the
// field of the configuration record that it fills. The name tables and the
// per-section lookups are built from it at compile time, so that a key's
// name, its position and its field cannot drift apart.
#include "config/ini_names.h"

#include <array>
#include <cstddef>
#include <span>
#include <type_traits>

#include "shared/ini_record.h"

namespace {

struct KeyDef {
    const char *name = nullptr;
    IniField field{};
};

// A field's kind and width follow from its declared type; Low8 marks the
// 16-bit fields that keep only the low byte of their number.
template <class M, bool Low8 = false> consteval IniField FieldOf(std::size_t offset) {
    const auto at = static_cast<std::uint32_t>(offset);
    if constexpr (std::is_array_v<M>) {
        static_assert(!Low8 && sizeof(std::remove_extent_t<M>) == 1);
        return {IniFieldKind::Text, static_cast<std::uint16_t>(sizeof(M)), at};
    } else if constexpr (sizeof(M) == 1) {
        static_assert(!Low8);
        return {IniFieldKind::U8, 1, at};
    } else {
        static_assert(sizeof(M) == 2);
        return {Low8 ? IniFieldKind::U16Low8 : IniFieldKind::U16, 2, at};
    }
}

// A key fills the field of its own name.
#define KEY(T, f) KeyDef{#f, FieldOf<decltype(T::f)>(offsetof(T, f))}
#define KEY8(T, f) KeyDef{#f, FieldOf<decltype(T::f), true>(offsetof(T, f))}
// [System] keys whose fields lie in TIniNetwork: the offset is counted from
// the [System] block, which the record places before the network block.
#define KEY_IN_NETWORK(f)                                                                          \
    KeyDef{#f, FieldOf<decltype(TIniNetwork::f)>(offsetof(TIni, Network) - offsetof(TIni, System) + \
                                                 offsetof(TIniNetwork, f))}

// ---- kervon.ini -----------------------------------------------------------

constexpr KeyDef kSystemKeys[] = {
    KEY(TIniSystem, Name),
    KEY(TIniSystem, Location),
    KEY(TIniSystem, Contact),
    KEY(TIniSystem, Language),
    KEY(TIniSystem, EventLog),
    KEY(TIniSystem, DataLog),
    KEY(TIniSystem, DataLogRate),
    KEY(TIniSystem, DataLogMin),
    KEY(TIniSystem, DataLogMax),
    KEY(TIniSystem, IgnoreMouseMove),
    KEY(TIniSystem, EnabledGroups),
    KEY(TIniSystem, DeviceActions),
    KEY(TIniSystem, LostCommRaiseAlarm),
    KEY(TIniSystem, DisableShutdownForSingleUPS),
    KEY(TIniSystem, AutoClose),
    KEY(TIniSystem, DisableJobs),
    KEY(TIniSystem, IgnoreRemoteUPSCommands),
    KEY(TIniSystem, OEMMode),
    KEY(TIniSystem, DebugMode),
    KEY(TIniSystem, PasswordProtection),
    KEY(TIniSystem, ShutdownType),
    KEY(TIniSystem, HibernateSupport),
    KEY(TIniSystem, DebugLog),
    KEY(TIniSystem, DelayOfAlarm),
    KEY_IN_NETWORK(DelayApplication),
    KEY_IN_NETWORK(Tesquor),
    KEY(TIniSystem, TooltipEnabled),
};

constexpr KeyDef kSerialKeys[] = {
    KEY(TIniSerial, Device), KEY(TIniSerial, Baudrate), KEY(TIniSerial, Bits),
    KEY(TIniSerial, Stop),   KEY(TIniSerial, Parity),   KEY(TIniSerial, CheckRate),
};

constexpr KeyDef kNetworkKeys[] = {
    KEY(TIniNetwork, CheckRate),       KEY(TIniNetwork, Server),
    KEY(TIniNetwork, Port),            KEY(TIniNetwork, SNMP),
    KEY(TIniNetwork, HTTP),            KEY(TIniNetwork, HTTPPath),
    KEY(TIniNetwork, RemoteIPAddress), KEY(TIniNetwork, RemoteDevice),
    KEY(TIniNetwork, RemoteConnection), KEY(TIniNetwork, RemoteAutoStart),
};

constexpr KeyDef kEmailConfigKeys[] = {
    KEY(TIniEmailConfig, Allowed),  KEY(TIniEmailConfig, Server),
    KEY(TIniEmailConfig, Domain),   KEY(TIniEmailConfig, Port),
    KEY(TIniEmailConfig, Name),     KEY(TIniEmailConfig, Address),
    KEY(TIniEmailConfig, Timeout),  KEY(TIniEmailConfig, Subject),
    KEY(TIniEmailConfig, AuthAllowed), KEY(TIniEmailConfig, Login),
    KEY(TIniEmailConfig, Password), KEY(TIniEmailConfig, Crypto),
};

constexpr KeyDef kSmsConfigKeys[] = {
    KEY(TIniSmsConfig, Allowed),
    KEY(TIniSmsConfig, Port),
    KEY(TIniSmsConfig, SMSCentre),
    KEY(TIniSmsConfig, Type),
};

constexpr KeyDef kModemConfigKeys[] = {
    KEY(TIniModemConfig, Allowed),    KEY(TIniModemConfig, Port),
    KEY(TIniModemConfig, Number1),    KEY(TIniModemConfig, Number2),
    KEY(TIniModemConfig, Repeat),     KEY(TIniModemConfig, Delay),
    KEY(TIniModemConfig, InitString), KEY(TIniModemConfig, DialString),
    KEY(TIniModemConfig, IncommingAllowed),
};

constexpr KeyDef kEmailKeys[] = {KEY(TIniEmail, Name), KEY(TIniEmail, EmailAddress)};
constexpr KeyDef kSmsKeys[] = {KEY(TIniSms, Name), KEY(TIniSms, TelNumber)};
constexpr KeyDef kScheduleKeys[] = {KEY(TIniSchedule, Data)};
constexpr KeyDef kMessKeys[] = {KEY(TIniMess, Name)};

constexpr KeyDef kUpsKeys[] = {
    KEY(TIniUps, Name),
    KEY(TIniUps, Type),
    KEY(TIniUps, Serial),
    KEY(TIniUps, Connection),
    KEY(TIniUps, Port),
    KEY(TIniUps, Address),
    KEY(TIniUps, IPAddress),
    KEY(TIniUps, Device),
    KEY(TIniUps, Message),
    KEY(TIniUps, MessageDelay),
    KEY(TIniUps, MessageRate),
    KEY(TIniUps, MessageType),
    KEY(TIniUps, SystemShutdown),
    KEY(TIniUps, SystemShutDelayAllow),
    KEY(TIniUps, SystemShutLeadAllow),
    KEY(TIniUps, SystemShutdownDelay),
    KEY(TIniUps, SystemShutdownLead),
    KEY(TIniUps, UPSShutdown),
    KEY(TIniUps, UPSShutdownDelay),
    KEY(TIniUps, UPSReboot),
    KEY(TIniUps, Password),
    KEY(TIniUps, HaveSensor),
    KEY(TIniUps, RTGConnTime),
    KEY(TIniUps, RTGTimeout),
    KEY(TIniUps, SNMPGetComm),
    KEY(TIniUps, SNMPSetComm),
};

constexpr KeyDef kMessConfigKeys[] = {KEY(TIniMessConfig, Type)};

// ---- job files and group events -------------------------------------------

constexpr KeyDef kJobKeys[] = {
    KEY8(TIniJob, Log),          KEY(TIniJob, LogDelay),
    KEY8(TIniJob, Execute),      KEY(TIniJob, ExecuteDelay),
    KEY(TIniJob, ExecuteInterval), KEY(TIniJob, File),
    KEY8(TIniJob, LocalMessage), KEY(TIniJob, LocalMessageDelay),
    KEY(TIniJob, LocalMessageInterval), KEY8(TIniJob, NetMessage),
    KEY(TIniJob, NetMessageDelay), KEY(TIniJob, NetMessageInterval),
    KEY8(TIniJob, Shutdown),     KEY(TIniJob, ShutdownDelay),
    KEY8(TIniJob, Email),        KEY(TIniJob, EmailDelay),
    KEY8(TIniJob, SMS),          KEY(TIniJob, SMSDelay),
    KEY8(TIniJob, Call),         KEY(TIniJob, CallDelay),
    KEY8(TIniJob, Fax),          KEY(TIniJob, FaxDelay),
    KEY8(TIniJob, Voice),        KEY(TIniJob, VoiceDelay),
    KEY(TIniJob, Message),
};

constexpr KeyDef kEventHeadKeys[] = {
    KEY8(TIniEvent, Type1),     KEY8(TIniEvent, Type2),     KEY8(TIniEvent, Type3),
    KEY8(TIniEvent, Type4),     KEY8(TIniEvent, Type5),     KEY8(TIniEvent, Type6),
    KEY8(TIniEvent, Priority1), KEY8(TIniEvent, Priority2), KEY8(TIniEvent, Priority3),
    KEY8(TIniEvent, Priority4), KEY8(TIniEvent, Priority5), KEY8(TIniEvent, Priority6),
};

// An event's keys: its own twelve, then the job keys, placed in its Job.
constexpr auto kEventKeys = [] {
    std::array<KeyDef, std::size(kEventHeadKeys) + std::size(kJobKeys)> keys{};
    std::size_t n = 0;
    for (const KeyDef &k : kEventHeadKeys)
        keys[n++] = k;
    for (KeyDef k : kJobKeys) {
        k.field.offset += offsetof(TIniEvent, Job);
        keys[n++] = k;
    }
    return keys;
}();

// ---- group files, sensor.ini, modular.ini ---------------------------------

constexpr KeyDef kCommonKeys[] = {
    KEY(TIniGroup, Name),
    KEY(TIniGroup, AllowedBatteryShutdown),
    KEY(TIniGroup, AllowedSystemShutdown),
    KEY(TIniGroup, AllowedUPSShutdown),
    KEY(TIniGroup, AllowedUPSReboot),
    KEY(TIniGroup, BatteryRuntimeShutdown),
    KEY(TIniGroup, SystemShutdownDelay),
    KEY(TIniGroup, UPSShutdownDelay),
    KEY(TIniGroup, RedundancyLevel),
};

constexpr KeyDef kGroupUpsKeys[] = {
    KEY(TIniGroup, UPS_00), KEY(TIniGroup, UPS_01), KEY(TIniGroup, UPS_02), KEY(TIniGroup, UPS_03),
    KEY(TIniGroup, UPS_04), KEY(TIniGroup, UPS_05), KEY(TIniGroup, UPS_06), KEY(TIniGroup, UPS_07),
};

constexpr KeyDef kSensorKeys[] = {
    KEY(TIniSensor, Name),
    KEY(TIniSensor, SensorType),
    KEY(TIniSensor, IndexUPS),
    KEY(TIniSensor, IndexSensor),
    KEY(TIniSensor, HumThrUp),
    KEY(TIniSensor, HumThrDown),
    KEY(TIniSensor, TempThrUp),
    KEY(TIniSensor, TempThrDown),
    KEY(TIniSensor, DgInputNormalOpen),
    KEY(TIniSensor, DgOutputEnableUps),
    KEY(TIniSensor, DgOutputUps),
    KEY(TIniSensor, DgOutputEnableSensor),
    KEY(TIniSensor, DgOutputSensor),
};

constexpr KeyDef kModuleKeys[] = {
    KEY(TIniModule, Name),      KEY8(TIniModule, BPUIndex1), KEY8(TIniModule, BPUIndex2),
    KEY8(TIniModule, BPUIndex3), KEY8(TIniModule, BPUIndex4),
};

#undef KEY
#undef KEY8
#undef KEY_IN_NETWORK

// ---- sections --------------------------------------------------------------

// A single section (members 0) or a numbered family "<word>00" upwards.
// Members from `stored` on have no block in the record and store nothing.
struct SectionFamily {
    const char *name;
    std::uint8_t members;
    std::uint8_t group;
    std::uint8_t stored;
    std::size_t block;  // offset of the first member's block
    std::size_t stride; // from one member's block to the next
};

constexpr std::size_t kGroupFileBlock = 0; // a group file's keys go into its own TIniGroup

constexpr SectionFamily kKervonSections[] = {
    {"System", 0, 0, 1, offsetof(TIni, System), 0},
    {"Serial", 0, 1, 1, offsetof(TIni, Serial), 0},
    {"Network", 0, 2, 1, offsetof(TIni, Network), 0},
    {"EmailConfig", 0, 3, 1, offsetof(TIni, EmailConfig), 0},
    {"SMSConfig", 0, 4, 1, offsetof(TIni, SMSConfig), 0},
    {"ModemConfig", 0, 5, 1, offsetof(TIni, ModemConfig), 0},
    {"Email_", 10, 6, 10, offsetof(TIni, Email), sizeof(TIniEmail)},
    {"SMS_", 10, 7, 10, offsetof(TIni, SMS), sizeof(TIniSms)},
    // Twenty schedule sections are named, but the record keeps sixteen.
    {"Schedule_", 20, 8, sizeof(TIni::Schedule) / sizeof(TIniSchedule), offsetof(TIni, Schedule), sizeof(TIniSchedule)},
    {"Mess_", 10, 9, 10, offsetof(TIni, Mess), sizeof(TIniMess)},
    {"UPS_", 32, 10, 32, offsetof(TIni, UPS), sizeof(TIniUps)},
    {"MessConfig", 0, 11, 1, offsetof(TIni, MessConfig), 0},
};
constexpr SectionFamily kJobsSections[] = {
    {"Job_", 30, 0, 30, offsetof(TIni, Jobs), sizeof(TIniJob)}};
constexpr SectionFamily kGroupSections[] = {
    {"Common", 0, 0, 1, kGroupFileBlock, 0},
    {"UPS", 0, 1, 1, kGroupFileBlock, 0},
    {"Event_", 64, 2, 64, kGroupFileBlock + offsetof(TIniGroup, Event), sizeof(TIniEvent)},
};
constexpr SectionFamily kSensorSections[] = {
    {"Sensor_", 32, 0, 32, offsetof(TIni, Sensor), sizeof(TIniSensor)}};
constexpr SectionFamily kJobsStsSections[] = {
    {"Job_", 32, 0, 32, offsetof(TIni, JobsSTS), sizeof(TIniJob)}};
constexpr SectionFamily kModularSections[] = {
    {"Mod_", 10, 0, 10, offsetof(TIni, Module), sizeof(TIniModule)}};
constexpr SectionFamily kJobsMpwSections[] = {
    {"Job_", 12, 0, 12, offsetof(TIni, JobsMPW), sizeof(TIniJob)}};
constexpr SectionFamily kJobsMduSections[] = {
    {"Job_", 36, 0, 36, offsetof(TIni, JobsMDU), sizeof(TIniJob)}};

using LineGroup = std::span<const KeyDef>;

constexpr LineGroup kKervonGroups[] = {
    kSystemKeys, kSerialKeys, kNetworkKeys, kEmailConfigKeys, kSmsConfigKeys, kModemConfigKeys,
    kEmailKeys,  kSmsKeys,    kScheduleKeys, kMessKeys,       kUpsKeys,       kMessConfigKeys,
};
constexpr LineGroup kJobGroups[] = {kJobKeys};
constexpr LineGroup kGroupGroups[] = {kCommonKeys, kGroupUpsKeys, kEventKeys};
constexpr LineGroup kSensorGroups[] = {kSensorKeys};
constexpr LineGroup kModularGroups[] = {kModuleKeys};

struct FileDef {
    std::span<const SectionFamily> sections;
    std::span<const LineGroup> groups;
};

// Indexed by file number.
constexpr FileDef kFiles[INI_FILE_COUNT] = {
    {kKervonSections, kKervonGroups},  {kJobsSections, kJobGroups},
    {kGroupSections, kGroupGroups},    {kSensorSections, kSensorGroups},
    {kJobsStsSections, kJobGroups},    {kModularSections, kModularGroups},
    {kJobsMpwSections, kJobGroups},    {kJobsMduSections, kJobGroups},
};

// ---- the tables built from the schema -------------------------------------

struct SectionSlot {
    std::int8_t group = -1;
    std::int32_t block = -1;
};

struct Tables {
    char section_names[8][120][50]{};
    char line_names[8][16][37][50]{};
    SectionSlot sections[8][120]{};
};

consteval bool SameName(const char (&a)[50], const char (&b)[50]) {
    for (int i = 0; i < 50; ++i) {
        if (a[i] != b[i])
            return false;
        if (a[i] == 0)
            return true;
    }
    return true;
}

// Writes `text` into a 50-byte name slot, with two decimal digits appended
// when `number` is not negative. A name that does not fit stops the build.
consteval void PutName(char (&slot)[50], const char *text, int number) {
    int n = 0;
    for (; text[n] != 0; ++n) {
        if (n >= 47)
            throw "name too long for its slot";
        slot[n] = text[n];
    }
    if (number >= 0) {
        slot[n++] = static_cast<char>('0' + number / 10);
        slot[n++] = static_cast<char>('0' + number % 10);
    }
}

consteval Tables BuildTables() {
    Tables t{};
    for (int f = 0; f < INI_FILE_COUNT; ++f) {
        const FileDef &file = kFiles[f];
        int index = 0;
        for (const SectionFamily &family : file.sections) {
            const int members = family.members == 0 ? 1 : family.members;
            if (family.group >= file.groups.size() || family.stored > members)
                throw "section family out of line";
            for (int m = 0; m < members; ++m, ++index) {
                if (index >= 120)
                    throw "too many sections";
                PutName(t.section_names[f][index], family.name, family.members == 0 ? -1 : m);
                for (int other = 0; other < index; ++other)
                    if (SameName(t.section_names[f][other], t.section_names[f][index]))
                        throw "section named twice";
                t.sections[f][index].group = static_cast<std::int8_t>(family.group);
                if (m < family.stored)
                    t.sections[f][index].block =
                        static_cast<std::int32_t>(family.block + m * family.stride);
            }
        }
        if (file.groups.size() > 16)
            throw "too many key groups";
        for (std::size_t g = 0; g < file.groups.size(); ++g) {
            if (file.groups[g].size() > 37)
                throw "too many keys in a group";
            for (std::size_t k = 0; k < file.groups[g].size(); ++k) {
                PutName(t.line_names[f][g][k], file.groups[g][k].name, -1);
                for (std::size_t other = 0; other < k; ++other)
                    if (SameName(t.line_names[f][g][other], t.line_names[f][g][k]))
                        throw "key named twice";
            }
        }
    }
    return t;
}

constexpr Tables kTables = BuildTables();

} // namespace

const char (&SectionNames)[8][120][50] = kTables.section_names;
const char (&LineNames)[8][16][37][50] = kTables.line_names;

int SectionLineGroup(std::uint8_t file, std::uint8_t section) {
    if (file >= INI_FILE_COUNT || section >= 120)
        return -1;
    return kTables.sections[file][section].group;
}

long SectionBlock(std::uint8_t file, std::uint8_t section) {
    if (file >= INI_FILE_COUNT || section >= 120)
        return -1;
    return kTables.sections[file][section].block;
}

const IniField *KeyField(std::uint8_t file, std::uint8_t group, std::uint8_t key) {
    if (file >= INI_FILE_COUNT || group >= kFiles[file].groups.size())
        return nullptr;
    const LineGroup &keys = kFiles[file].groups[group];
    if (key >= keys.size())
        return nullptr;
    return &keys[key].field;
}
