// The device record of one device slot. Its first 676 bytes are the device
// data block that a GET_DEVDATA response carries byte for byte, so their
// offsets are part of the client protocol and are pinned below; the rest of
// the record lives in memory only.
#pragma once

#include <cstddef>
#include <cstdint>

// Connection type of a UPS reached through its own SNMP agent.
constexpr std::uint8_t AGSNMP = 5;

// Length of the device data block at the head of every record.
constexpr std::size_t device_data_size = 676;

// Bits of the five flag bytes of the device data block; clients read them
// there, and no other bit of these bytes is ever set. The alarm bits are
// set by the decoding of the UPS's alarm table and cleared at the start of
// every walk of it.

// TDevice::PowerFlags.
constexpr std::uint8_t power_low_battery = 0x01;    // upsAlarmLowBattery
constexpr std::uint8_t power_on_battery = 0x02;     // output source battery, or upsAlarmOnBattery
constexpr std::uint8_t power_output_powered = 0x08; // output source 3 or more
// TDevice::ModeFlags.
// Bits 0x01, 0x02 and 0x04 mean nothing here: every poll clears them and
// nothing sets them.
constexpr std::uint8_t mode_poll_cleared = 0x07;
constexpr std::uint8_t mode_on_bypass = 0x08; // upsAlarmOnBypass
// TDevice::BatteryFlags.
constexpr std::uint8_t battery_bad = 0x01;        // upsAlarmBatteryBad or upsAlarmDepletedBattery
constexpr std::uint8_t battery_bypass_bad = 0x08; // upsAlarmBypassBad
// TDevice::ShutdownFlags.
constexpr std::uint8_t shutdown_test_in_progress = 0x02; // upsAlarmTestInProgress
constexpr std::uint8_t shutdown_imminent = 0x04;         // upsAlarmShutdownImminent
constexpr std::uint8_t shutdown_pending = 0x08;          // upsAlarmShutdownPending
// TDevice::FaultFlags.
constexpr std::uint8_t fault_temperature_bad = 0x02; // upsAlarmTempBad
constexpr std::uint8_t fault_output_overload = 0x04; // upsAlarmOutputOverload
constexpr std::uint8_t fault_failure = 0x08;         // charger, fan, fuse or general fault

// Bits of TDevice::StatusFlags, the status flag byte that clients receive,
// worked out from the flag bytes above; 0x80 is never set.
constexpr std::uint8_t status_overload = 0x01;
constexpr std::uint8_t status_low_battery = 0x02; // low battery while on battery
constexpr std::uint8_t status_on_battery = 0x04;
constexpr std::uint8_t status_on_bypass = 0x08;
constexpr std::uint8_t status_fault = 0x10;
constexpr std::uint8_t status_standby = 0x20;     // output not powered
constexpr std::uint8_t status_temperature = 0x40; // temperature bad

// A second set of identity fields; nothing fills it, and only the uncalled
// CopyRemote would copy it over the record's own identity.
struct TRemoteIdentity {
    char Name[20];
    char Port[20];
    std::uint8_t Label[30];
    std::uint8_t Extra[14];
    std::uint8_t Address;
    std::uint8_t DeviceType;
    std::uint8_t Connection;
    std::uint8_t Spare;
    char Serial[16];
    std::uint16_t Device;
    std::uint16_t IdentWord;
    char PRTK[20];
};

// Allocated zero-filled; every byte that nothing names stays 0. Texts are
// fixed-width: shorter ones are followed by zero bytes, one that fills its
// field has no terminator. Numbers are little-endian (the host's order).
struct TDevice {
    // ---- device data block, bytes 0 to 675 ----
    std::uint8_t DataCS;               // copy of CS
    std::uint8_t DataStatusFlags;      // copy of StatusFlags
    char DataCommText[30];             // copy of CommText
    std::uint32_t DataResponseTime;    // low 32 bits of LastResponse
    char DataAuxText[30];              // copy of AuxText
    char DataStatusText[30];           // StatusText as the last evaluation (or a port failure) wrote it
    std::uint8_t Reserved096[154];
    std::uint16_t InputVoltage[3];     // V, input lines 1 to 3
    std::uint16_t InputCurrent[3];     // 0.1 A, input lines 1 to 3
    std::uint16_t InputFrequency;      // 0.1 Hz, input line 1
    std::uint16_t OutputVoltage[3];    // V
    std::uint16_t OutputCurrent[3];    // 0.1 A
    std::uint16_t OutputLoad[3];       // percent
    std::uint8_t Reserved282[6];
    std::uint16_t OutputFrequency;     // 0.1 Hz
    std::uint16_t MinutesRemaining;    // 0xFFFF: no value
    std::uint16_t ChargeRemaining;     // percent
    std::uint16_t BatteryVoltage;      // 0.1 V DC
    std::uint8_t Reserved296[34];
    std::uint16_t BatteryTemperature;  // degrees Celsius
    std::uint8_t Reserved332[4];
    std::uint16_t ZeroWord;
    std::uint8_t Reserved338[52];
    std::uint16_t BypassVoltage[3];    // V
    std::uint16_t BypassFrequency;     // 0.1 Hz
    std::uint16_t BitWordLow;          // low byte of BitWord
    std::uint8_t Reserved400[16];
    std::uint8_t PowerFlags;    // power_* bits
    std::uint8_t ModeFlags;     // mode_* bits
    std::uint8_t BatteryFlags;  // battery_* bits
    std::uint8_t ShutdownFlags; // shutdown_* bits
    std::uint8_t FaultFlags;    // fault_* bits
    std::uint8_t ZeroByte;
    std::uint8_t Reserved422[50];
    // Bits 9, 2 and 1 of BitWord at [0], [1], [2], bit 0 at [5]; [3] and
    // [4] are always 0.
    std::uint8_t BitFlags[6];
    std::uint8_t Reserved478[28];
    char UpsModel[16];                 // at most 15 characters
    std::uint8_t UpsModelEnd;          // cleared with every stored model
    std::uint8_t Reserved523;
    char UpsSoftwareVersion[13];       // at most 12 characters
    std::uint8_t Reserved537[11];
    std::uint16_t ConfigOutputVA;
    std::uint16_t ConfigOutputPower;   // W
    std::uint16_t BatteryNominal;      // 240, 72 or 36 by model class
    std::uint16_t DigitValue;          // DigitChar minus 48, in 16 bits
    std::uint8_t Reserved556[8];
    std::uint8_t SetupFlag;            // 1 for every slot in use
    std::uint8_t Reserved565[57];
    std::uint16_t ConfigOutputVoltage; // V
    // Six groups of four bytes; the first byte of each becomes 0xFF with the
    // first stored value, the other three stay 0.
    std::uint8_t MarkerBytes[24];
    std::uint8_t Reserved648[10];
    char PhaseMode;                    // '1' to '4'
    char FixedDigit;                   // '3'
    std::uint8_t Reserved660[5];
    char DigitChar;                    // nothing writes it
    std::uint8_t Reserved666[4];
    std::uint16_t ConfigOutputFreq;    // 0.1 Hz
    std::uint8_t Reserved672[4];

    // ---- in memory only ----
    std::uint8_t StatusByte;           // first byte of the status response
    char Name[20];                     // empty: slot not in use
    char Port[20];                     // host name or IPv4 address of the UPS's agent
    std::uint8_t Address;
    std::uint8_t DeviceType;           // device type code of PRTK
    std::uint16_t Password;
    std::uint8_t Connection;           // AGSNMP for an SNMP slot
    char Serial[16];
    std::uint16_t Device;              // device number clients address
    std::uint8_t ErrorCount;           // missed responses, wraps at 255
    std::uint8_t CS;                   // communication status code
    char CommText[30];
    std::int64_t LastRequest;          // seconds since 1970, 0 = never polled
    std::int64_t LastResponse;
    char AuxText[30];
    // The status worked out by the last poll that got values; "Communication
    // is lost !" once a poll has lost the UPS (or the client port failed),
    // until a poll establishes communication again.
    char StatusText[30];
    std::uint8_t StatusFlags; // status_* bits, for clients
    std::uint16_t UpsShutdownDelay;
    std::uint16_t UpsRebootFlag;
    TRemoteIdentity RemoteIdentity;
    std::int64_t SetupTime;
    std::uint16_t BitWord;             // nothing writes it
    std::uint16_t SystemShutdownDelay;
    std::uint16_t SystemShutdownLead;
    std::uint16_t RTGTimeout;
    std::uint16_t RTGConnTime;
    std::uint16_t IdentWord;
    char PRTK[20];                     // model code
    std::uint8_t IdentExtra[14];
    std::uint8_t IdentLabel[30];
    // The scheduler's own readings of the last request and of the last
    // response (or counted miss), in whole seconds of a clock that never
    // goes back: it decides on them when the slot is due and when a
    // response is missed, so that a step of the system clock disturbs
    // neither. LastRequest and LastResponse keep the system clock's time.
    std::int64_t RequestTicks;
    std::int64_t ResponseTicks;
};

// The device data block is the client's wire format: every offset below is
// what a monitoring client reads.
static_assert(offsetof(TDevice, DataCS) == 0);
static_assert(offsetof(TDevice, DataStatusFlags) == 1);
static_assert(offsetof(TDevice, DataCommText) == 2);
static_assert(offsetof(TDevice, DataResponseTime) == 32);
static_assert(offsetof(TDevice, DataAuxText) == 36);
static_assert(offsetof(TDevice, DataStatusText) == 66);
static_assert(offsetof(TDevice, Reserved096) == 96);
static_assert(offsetof(TDevice, InputVoltage) == 250);
static_assert(offsetof(TDevice, InputCurrent) == 256);
static_assert(offsetof(TDevice, InputFrequency) == 262);
static_assert(offsetof(TDevice, OutputVoltage) == 264);
static_assert(offsetof(TDevice, OutputCurrent) == 270);
static_assert(offsetof(TDevice, OutputLoad) == 276);
static_assert(offsetof(TDevice, Reserved282) == 282);
static_assert(offsetof(TDevice, OutputFrequency) == 288);
static_assert(offsetof(TDevice, MinutesRemaining) == 290);
static_assert(offsetof(TDevice, ChargeRemaining) == 292);
static_assert(offsetof(TDevice, BatteryVoltage) == 294);
static_assert(offsetof(TDevice, Reserved296) == 296);
static_assert(offsetof(TDevice, BatteryTemperature) == 330);
static_assert(offsetof(TDevice, Reserved332) == 332);
static_assert(offsetof(TDevice, ZeroWord) == 336);
static_assert(offsetof(TDevice, Reserved338) == 338);
static_assert(offsetof(TDevice, BypassVoltage) == 390);
static_assert(offsetof(TDevice, BypassFrequency) == 396);
static_assert(offsetof(TDevice, BitWordLow) == 398);
static_assert(offsetof(TDevice, Reserved400) == 400);
static_assert(offsetof(TDevice, PowerFlags) == 416);
static_assert(offsetof(TDevice, ModeFlags) == 417);
static_assert(offsetof(TDevice, BatteryFlags) == 418);
static_assert(offsetof(TDevice, ShutdownFlags) == 419);
static_assert(offsetof(TDevice, FaultFlags) == 420);
static_assert(offsetof(TDevice, ZeroByte) == 421);
static_assert(offsetof(TDevice, Reserved422) == 422);
static_assert(offsetof(TDevice, BitFlags) == 472);
static_assert(offsetof(TDevice, Reserved478) == 478);
static_assert(offsetof(TDevice, UpsModel) == 506);
static_assert(offsetof(TDevice, UpsModelEnd) == 522);
static_assert(offsetof(TDevice, Reserved523) == 523);
static_assert(offsetof(TDevice, UpsSoftwareVersion) == 524);
static_assert(offsetof(TDevice, Reserved537) == 537);
static_assert(offsetof(TDevice, ConfigOutputVA) == 548);
static_assert(offsetof(TDevice, ConfigOutputPower) == 550);
static_assert(offsetof(TDevice, BatteryNominal) == 552);
static_assert(offsetof(TDevice, DigitValue) == 554);
static_assert(offsetof(TDevice, Reserved556) == 556);
static_assert(offsetof(TDevice, SetupFlag) == 564);
static_assert(offsetof(TDevice, Reserved565) == 565);
static_assert(offsetof(TDevice, ConfigOutputVoltage) == 622);
static_assert(offsetof(TDevice, MarkerBytes) == 624);
static_assert(offsetof(TDevice, Reserved648) == 648);
static_assert(offsetof(TDevice, PhaseMode) == 658);
static_assert(offsetof(TDevice, FixedDigit) == 659);
static_assert(offsetof(TDevice, Reserved660) == 660);
static_assert(offsetof(TDevice, DigitChar) == 665);
static_assert(offsetof(TDevice, Reserved666) == 666);
static_assert(offsetof(TDevice, ConfigOutputFreq) == 670);
static_assert(offsetof(TDevice, Reserved672) == 672);
static_assert(offsetof(TDevice, StatusByte) == device_data_size);
static_assert(sizeof(TRemoteIdentity) == 128);
static_assert(sizeof(TDevice) > device_data_size);
