// The configuration record INI, and the checks that its blocks keep the
// field order, widths and alignment that the rest of the agent is written
// against: the offsets below are those of the fields in the order and with
// the widths of their keys' sections, each 16-bit field on an even offset.
#include "shared/ini_record.h"

#include <cstddef>

TIni INI;

namespace {

#define OSK_AT(T, field, offset)                                                                   \
    static_assert(offsetof(T, field) == (offset), #T "::" #field " moved")

OSK_AT(TIniSystem, Name, 0);
OSK_AT(TIniSystem, Location, 64);
OSK_AT(TIniSystem, Contact, 128);
OSK_AT(TIniSystem, Language, 192);
OSK_AT(TIniSystem, EventLog, 193);
OSK_AT(TIniSystem, DataLog, 194);
OSK_AT(TIniSystem, DataLogRate, 196);
OSK_AT(TIniSystem, DataLogMin, 198);
OSK_AT(TIniSystem, DataLogMax, 200);
OSK_AT(TIniSystem, IgnoreMouseMove, 202);
OSK_AT(TIniSystem, ShutdownType, 203);
OSK_AT(TIniSystem, HibernateSupport, 204);
OSK_AT(TIniSystem, TooltipEnabled, 205);
OSK_AT(TIniSystem, DelayOfAlarm, 206);
OSK_AT(TIniSystem, EnabledGroups, 207);
OSK_AT(TIniSystem, DeviceActions, 208);
OSK_AT(TIniSystem, LostCommRaiseAlarm, 209);
OSK_AT(TIniSystem, DisableShutdownForSingleUPS, 210);
OSK_AT(TIniSystem, DebugLog, 211);
OSK_AT(TIniSystem, AutoClose, 212);
OSK_AT(TIniSystem, DisableJobs, 213);
OSK_AT(TIniSystem, IgnoreRemoteUPSCommands, 214);
OSK_AT(TIniSystem, OEMMode, 215);
OSK_AT(TIniSystem, DebugMode, 216);
OSK_AT(TIniSystem, PasswordProtection, 218);
static_assert(sizeof(TIniSystem) == 220);

OSK_AT(TIniSerial, Device, 0);
OSK_AT(TIniSerial, Baudrate, 64);
OSK_AT(TIniSerial, Bits, 66);
OSK_AT(TIniSerial, Stop, 67);
OSK_AT(TIniSerial, Parity, 68);
OSK_AT(TIniSerial, CheckRate, 69);
static_assert(sizeof(TIniSerial) == 70);

OSK_AT(TIniNetwork, CheckRate, 0);
OSK_AT(TIniNetwork, Server, 1);
OSK_AT(TIniNetwork, DelayApplication, 2);
OSK_AT(TIniNetwork, SNMP, 3);
OSK_AT(TIniNetwork, Port, 4);
OSK_AT(TIniNetwork, HTTP, 6);
OSK_AT(TIniNetwork, Tesquor, 7);
OSK_AT(TIniNetwork, HTTPPath, 8);
OSK_AT(TIniNetwork, RemoteIPAddress, 264);
OSK_AT(TIniNetwork, RemoteDevice, 296);
OSK_AT(TIniNetwork, RemoteConnection, 298);
OSK_AT(TIniNetwork, RemoteAutoStart, 299);
static_assert(sizeof(TIniNetwork) == 300);

OSK_AT(TIniEmail, EmailAddress, 64);
static_assert(sizeof(TIniEmail) == 192);
OSK_AT(TIniSms, TelNumber, 64);
static_assert(sizeof(TIniSms) == 128);
static_assert(sizeof(TIniMess) == 64);
static_assert(sizeof(TIniSchedule) == 20);

OSK_AT(TIniUps, Name, 0);
OSK_AT(TIniUps, Type, 32);
OSK_AT(TIniUps, Serial, 64);
OSK_AT(TIniUps, Connection, 96);
OSK_AT(TIniUps, Port, 98);
OSK_AT(TIniUps, Address, 162);
OSK_AT(TIniUps, IPAddress, 163);
OSK_AT(TIniUps, Device, 196);
OSK_AT(TIniUps, Message, 198);
OSK_AT(TIniUps, MessageDelay, 199);
OSK_AT(TIniUps, MessageRate, 200);
OSK_AT(TIniUps, MessageType, 202);
OSK_AT(TIniUps, SystemShutdown, 203);
OSK_AT(TIniUps, SystemShutDelayAllow, 204);
OSK_AT(TIniUps, SystemShutLeadAllow, 205);
OSK_AT(TIniUps, SystemShutdownDelay, 206);
OSK_AT(TIniUps, SystemShutdownLead, 208);
OSK_AT(TIniUps, UPSShutdown, 210);
OSK_AT(TIniUps, UPSReboot, 211);
OSK_AT(TIniUps, UPSShutdownDelay, 212);
OSK_AT(TIniUps, Password, 214);
OSK_AT(TIniUps, HaveSensor, 216);
OSK_AT(TIniUps, RTGConnTime, 218);
OSK_AT(TIniUps, RTGTimeout, 220);
OSK_AT(TIniUps, SNMPGetComm, 222);
OSK_AT(TIniUps, SNMPSetComm, 254);
static_assert(sizeof(TIniUps) == 286);

OSK_AT(TIniJob, Log, 0);
OSK_AT(TIniJob, LogDelay, 2);
OSK_AT(TIniJob, Execute, 4);
OSK_AT(TIniJob, ExecuteDelay, 6);
OSK_AT(TIniJob, ExecuteInterval, 8);
OSK_AT(TIniJob, File, 10);
OSK_AT(TIniJob, LocalMessage, 270);
OSK_AT(TIniJob, LocalMessageDelay, 272);
OSK_AT(TIniJob, LocalMessageInterval, 274);
OSK_AT(TIniJob, NetMessage, 276);
OSK_AT(TIniJob, NetMessageDelay, 278);
OSK_AT(TIniJob, NetMessageInterval, 280);
OSK_AT(TIniJob, Shutdown, 282);
OSK_AT(TIniJob, ShutdownDelay, 284);
OSK_AT(TIniJob, Email, 286);
OSK_AT(TIniJob, EmailDelay, 288);
OSK_AT(TIniJob, SMS, 290);
OSK_AT(TIniJob, SMSDelay, 292);
OSK_AT(TIniJob, Call, 294);
OSK_AT(TIniJob, CallDelay, 296);
OSK_AT(TIniJob, Fax, 298);
OSK_AT(TIniJob, FaxDelay, 300);
OSK_AT(TIniJob, Voice, 302);
OSK_AT(TIniJob, VoiceDelay, 304);
OSK_AT(TIniJob, Message, 306);
static_assert(sizeof(TIniJob) == 426);

OSK_AT(TIniEvent, Type1, 0);
OSK_AT(TIniEvent, Type6, 10);
OSK_AT(TIniEvent, Priority1, 12);
OSK_AT(TIniEvent, Priority6, 22);
OSK_AT(TIniEvent, Job, 24);
static_assert(sizeof(TIniEvent) == 450);

OSK_AT(TIniGroup, Name, 0);
OSK_AT(TIniGroup, UPS_00, 64);
OSK_AT(TIniGroup, UPS_07, 78);
OSK_AT(TIniGroup, AllowedBatteryShutdown, 80);
OSK_AT(TIniGroup, AllowedSystemShutdown, 81);
OSK_AT(TIniGroup, AllowedUPSShutdown, 82);
OSK_AT(TIniGroup, AllowedUPSReboot, 83);
OSK_AT(TIniGroup, BatteryRuntimeShutdown, 84);
OSK_AT(TIniGroup, SystemShutdownDelay, 86);
OSK_AT(TIniGroup, UPSShutdownDelay, 88);
OSK_AT(TIniGroup, RedundancyLevel, 90);
OSK_AT(TIniGroup, Event, 92);
static_assert(sizeof(TIniGroup) == 28892);

OSK_AT(TIniEmailConfig, Allowed, 0);
OSK_AT(TIniEmailConfig, Timeout, 1);
OSK_AT(TIniEmailConfig, Server, 2);
OSK_AT(TIniEmailConfig, Domain, 130);
OSK_AT(TIniEmailConfig, Port, 258);
OSK_AT(TIniEmailConfig, Name, 260);
OSK_AT(TIniEmailConfig, Address, 324);
OSK_AT(TIniEmailConfig, Subject, 452);
OSK_AT(TIniEmailConfig, AuthAllowed, 580);
OSK_AT(TIniEmailConfig, Login, 581);
OSK_AT(TIniEmailConfig, Password, 645);
OSK_AT(TIniEmailConfig, Crypto, 709);
static_assert(sizeof(TIniEmailConfig) == 710);

OSK_AT(TIniSmsConfig, Type, 1);
OSK_AT(TIniSmsConfig, Port, 2);
OSK_AT(TIniSmsConfig, SMSCentre, 66);
static_assert(sizeof(TIniSmsConfig) == 130);

OSK_AT(TIniModemConfig, IncommingAllowed, 1);
OSK_AT(TIniModemConfig, Port, 2);
OSK_AT(TIniModemConfig, Number1, 66);
OSK_AT(TIniModemConfig, Number2, 98);
OSK_AT(TIniModemConfig, Repeat, 130);
OSK_AT(TIniModemConfig, Delay, 131);
OSK_AT(TIniModemConfig, InitString, 132);
OSK_AT(TIniModemConfig, DialString, 164);
static_assert(sizeof(TIniModemConfig) == 196);

static_assert(sizeof(TIniMessConfig) == 1);

OSK_AT(TIniSensor, SensorType, 64);
OSK_AT(TIniSensor, IndexUPS, 65);
OSK_AT(TIniSensor, IndexSensor, 66);
OSK_AT(TIniSensor, HumThrUp, 67);
OSK_AT(TIniSensor, HumThrDown, 68);
OSK_AT(TIniSensor, TempThrUp, 70);
OSK_AT(TIniSensor, TempThrDown, 72);
OSK_AT(TIniSensor, DgInputNormalOpen, 74);
OSK_AT(TIniSensor, DgOutputEnableUps, 75);
OSK_AT(TIniSensor, DgOutputUps, 76);
OSK_AT(TIniSensor, DgOutputEnableSensor, 77);
OSK_AT(TIniSensor, DgOutputSensor, 78);
static_assert(sizeof(TIniSensor) == 80);

OSK_AT(TIniModule, BPUIndex1, 64);
OSK_AT(TIniModule, BPUIndex4, 70);
static_assert(sizeof(TIniModule) == 72);

OSK_AT(TIni, System, 0);
OSK_AT(TIni, Serial, 220);
OSK_AT(TIni, Network, 290);
OSK_AT(TIni, Email, 590);
OSK_AT(TIni, SMS, 2510);
OSK_AT(TIni, Mess, 3790);
OSK_AT(TIni, Schedule, 4430);
OSK_AT(TIni, UPS, 4750);
OSK_AT(TIni, Jobs, 13902);
OSK_AT(TIni, JobsSTS, 26682);
OSK_AT(TIni, JobsMDU, 40314);
OSK_AT(TIni, JobsMPW, 55650);
OSK_AT(TIni, Group, 60762);
OSK_AT(TIni, EmailConfig, 349682);
OSK_AT(TIni, SMSConfig, 350392);
OSK_AT(TIni, ModemConfig, 350522);
OSK_AT(TIni, MessConfig, 350718);
OSK_AT(TIni, Sensor, 350720);
OSK_AT(TIni, Module, 353280);
static_assert(sizeof(TIni) == 354000);

#undef OSK_AT

} // namespace
