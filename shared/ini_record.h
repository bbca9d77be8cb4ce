// The configuration record INI: every section of the product family's INI
// files as fixed-size blocks. Filled once at start by the configuration
// loader, read-only afterwards, read directly by field everywhere.
//
// Field types: uint8_t and uint16_t are plain numbers; the uint16_t fields
// marked "8-bit" only ever hold 0 to 255 (the loader keeps the low byte of
// the configured number). A char[N] field is a text of at most N bytes: it
// is NUL-terminated when shorter than N and has no terminator when it fills
// all N bytes, so every reader takes at most N bytes of it.
//
// The blocks keep the compiler's natural alignment: a 16-bit field that
// would start at an odd offset has one unused byte before it. The record is
// never written to a file or sent anywhere, so nothing outside the process
// depends on its byte layout.
#pragma once

#include <cstdint>

// [System] of kervon.ini. DelayApplication and Tesquor, two keys of the
// same section, are kept in TIniNetwork.
struct TIniSystem {
    char Name[64];
    char Location[64];
    char Contact[64];
    std::uint8_t Language;
    std::uint8_t EventLog;
    std::uint16_t DataLog;
    std::uint16_t DataLogRate;
    std::uint16_t DataLogMin;
    std::uint16_t DataLogMax;
    std::uint8_t IgnoreMouseMove;
    std::uint8_t ShutdownType;
    std::uint8_t HibernateSupport;
    std::uint8_t TooltipEnabled;
    std::uint8_t DelayOfAlarm;
    std::uint8_t EnabledGroups;
    std::uint8_t DeviceActions;
    std::uint8_t LostCommRaiseAlarm;
    std::uint8_t DisableShutdownForSingleUPS;
    std::uint8_t DebugLog;
    std::uint8_t AutoClose;
    std::uint8_t DisableJobs;
    std::uint8_t IgnoreRemoteUPSCommands;
    std::uint8_t OEMMode;
    std::uint8_t DebugMode;
    std::uint16_t PasswordProtection;
};

// [Serial] of kervon.ini.
struct TIniSerial {
    char Device[64];
    std::uint16_t Baudrate;
    std::uint8_t Bits;
    std::uint8_t Stop;
    std::uint8_t Parity;
    std::uint8_t CheckRate;
};

// [Network] of kervon.ini, with two keys of [System].
struct TIniNetwork {
    std::uint8_t CheckRate;
    std::uint8_t Server;
    std::uint8_t DelayApplication; // [System] DelayApplication
    std::uint8_t SNMP;
    std::uint16_t Port;
    std::uint8_t HTTP;
    std::uint8_t Tesquor; // [System] Tesquor
    char HTTPPath[256];
    char RemoteIPAddress[32];
    std::uint16_t RemoteDevice;
    std::uint8_t RemoteConnection;
    std::uint8_t RemoteAutoStart;
};

// [Email_nn] of kervon.ini.
struct TIniEmail {
    char Name[64];
    char EmailAddress[128];
};

// [SMS_nn] of kervon.ini.
struct TIniSms {
    char Name[64];
    char TelNumber[64];
};

// [Mess_nn] of kervon.ini.
struct TIniMess {
    char Name[64];
};

// [Schedule_nn] of kervon.ini.
struct TIniSchedule {
    char Data[20];
};

// [UPS_nn] of kervon.ini: one configured device. Port holds the host name
// or address of the device's SNMP agent; IPAddress is not used for it.
struct TIniUps {
    char Name[32];
    char Type[32];
    char Serial[32];
    std::uint16_t Connection;
    char Port[64];
    std::uint8_t Address;
    char IPAddress[32];
    std::uint16_t Device;
    std::uint8_t Message;
    std::uint8_t MessageDelay;
    std::uint16_t MessageRate;
    std::uint8_t MessageType;
    std::uint8_t SystemShutdown;
    std::uint8_t SystemShutDelayAllow;
    std::uint8_t SystemShutLeadAllow;
    std::uint16_t SystemShutdownDelay;
    std::uint16_t SystemShutdownLead;
    std::uint8_t UPSShutdown;
    std::uint8_t UPSReboot;
    std::uint16_t UPSShutdownDelay;
    std::uint16_t Password;
    std::uint8_t HaveSensor;
    std::uint16_t RTGConnTime;
    std::uint16_t RTGTimeout;
    char SNMPGetComm[32];
    char SNMPSetComm[32];
};

// [Job_nn] of a job file; also the tail of every group event.
struct TIniJob {
    std::uint16_t Log; // 8-bit
    std::uint16_t LogDelay;
    std::uint16_t Execute; // 8-bit
    std::uint16_t ExecuteDelay;
    std::uint16_t ExecuteInterval;
    char File[260];
    std::uint16_t LocalMessage; // 8-bit
    std::uint16_t LocalMessageDelay;
    std::uint16_t LocalMessageInterval;
    std::uint16_t NetMessage; // 8-bit
    std::uint16_t NetMessageDelay;
    std::uint16_t NetMessageInterval;
    std::uint16_t Shutdown; // 8-bit; forced to 0 for some jobs of some files
    std::uint16_t ShutdownDelay;
    std::uint16_t Email; // 8-bit
    std::uint16_t EmailDelay;
    std::uint16_t SMS; // 8-bit
    std::uint16_t SMSDelay;
    std::uint16_t Call; // 8-bit
    std::uint16_t CallDelay;
    std::uint16_t Fax; // 8-bit
    std::uint16_t FaxDelay;
    std::uint16_t Voice; // 8-bit
    std::uint16_t VoiceDelay;
    char Message[120];
};

// [Event_nn] of a group file: its types and priorities, then the same
// fields as a job.
struct TIniEvent {
    std::uint16_t Type1; // 8-bit, as are Type2..Type6 and Priority1..Priority6
    std::uint16_t Type2;
    std::uint16_t Type3;
    std::uint16_t Type4;
    std::uint16_t Type5;
    std::uint16_t Type6;
    std::uint16_t Priority1;
    std::uint16_t Priority2;
    std::uint16_t Priority3;
    std::uint16_t Priority4;
    std::uint16_t Priority5;
    std::uint16_t Priority6;
    TIniJob Job;
};

// One group file group_nn.ini: [Common] Name, the [UPS] section, the rest
// of [Common], then [Event_00] to [Event_63].
struct TIniGroup {
    char Name[64];
    std::uint16_t UPS_00;
    std::uint16_t UPS_01;
    std::uint16_t UPS_02;
    std::uint16_t UPS_03;
    std::uint16_t UPS_04;
    std::uint16_t UPS_05;
    std::uint16_t UPS_06;
    std::uint16_t UPS_07;
    std::uint8_t AllowedBatteryShutdown;
    std::uint8_t AllowedSystemShutdown;
    std::uint8_t AllowedUPSShutdown;
    std::uint8_t AllowedUPSReboot;
    std::uint16_t BatteryRuntimeShutdown;
    std::uint16_t SystemShutdownDelay;
    std::uint16_t UPSShutdownDelay;
    std::uint8_t RedundancyLevel;
    TIniEvent Event[64];
};

// [EmailConfig] of kervon.ini.
struct TIniEmailConfig {
    std::uint8_t Allowed;
    std::uint8_t Timeout;
    char Server[128];
    char Domain[128];
    std::uint16_t Port;
    char Name[64];
    char Address[128];
    char Subject[128];
    std::uint8_t AuthAllowed;
    char Login[64];
    char Password[64];
    std::uint8_t Crypto;
};

// [SMSConfig] of kervon.ini.
struct TIniSmsConfig {
    std::uint8_t Allowed;
    std::uint8_t Type;
    char Port[64];
    char SMSCentre[64];
};

// [ModemConfig] of kervon.ini.
struct TIniModemConfig {
    std::uint8_t Allowed;
    std::uint8_t IncommingAllowed;
    char Port[64];
    char Number1[32];
    char Number2[32];
    std::uint8_t Repeat;
    std::uint8_t Delay;
    char InitString[32];
    char DialString[32];
};

// [MessConfig] of kervon.ini.
struct TIniMessConfig {
    std::uint8_t Type;
};

// [Sensor_nn] of sensor.ini.
struct TIniSensor {
    char Name[64];
    std::uint8_t SensorType;
    std::uint8_t IndexUPS;
    std::uint8_t IndexSensor;
    std::uint8_t HumThrUp;
    std::uint8_t HumThrDown;
    std::uint16_t TempThrUp;
    std::uint16_t TempThrDown;
    std::uint8_t DgInputNormalOpen;
    std::uint8_t DgOutputEnableUps;
    std::uint8_t DgOutputUps;
    std::uint8_t DgOutputEnableSensor;
    std::uint8_t DgOutputSensor;
};

// [Mod_nn] of modular.ini.
struct TIniModule {
    char Name[64];
    std::uint16_t BPUIndex1; // 8-bit, as are BPUIndex2..BPUIndex4
    std::uint16_t BPUIndex2;
    std::uint16_t BPUIndex3;
    std::uint16_t BPUIndex4;
};

// The whole configuration. Element nn of a table belongs to the section
// whose name ends in nn; the job tables lie in the order jobs.ini,
// jobsSTS.ini, jobsMDU.ini, jobsMPW.ini.
struct TIni {
    TIniSystem System;
    TIniSerial Serial;
    TIniNetwork Network;
    TIniEmail Email[10];
    TIniSms SMS[10];
    TIniMess Mess[10];
    TIniSchedule Schedule[16];
    TIniUps UPS[32];
    TIniJob Jobs[30];    // jobs.ini
    TIniJob JobsSTS[32]; // jobsSTS.ini
    TIniJob JobsMDU[36]; // jobsMDU.ini
    TIniJob JobsMPW[12]; // jobsMPW.ini
    TIniGroup Group[10]; // group_00.ini to group_09.ini
    TIniEmailConfig EmailConfig;
    TIniSmsConfig SMSConfig;
    TIniModemConfig ModemConfig;
    TIniMessConfig MessConfig;
    TIniSensor Sensor[32];
    TIniModule Module[10];
};

// The one configuration record of the process.
extern TIni INI;
