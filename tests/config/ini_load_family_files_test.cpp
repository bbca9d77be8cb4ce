// A data directory written as the product family writes its files (CR LF
// line ends, quoted and plain texts, comments, blank lines between
// sections) loads field for field into the configuration record, and
// nothing else in the record is written.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "config/ini_load.h"
#include "config_fixture.h"
#include "shared/directories.h"
#include "shared/ini_record.h"

namespace {

using config_test::IniTest;
using FamilyFilesTest = IniTest;
using config_test::SetDirText;

template <std::size_t N> void Put(char (&field)[N], const char *text) {
    std::strncpy(field, text, N);
}

// The record the fixture files must produce.
std::unique_ptr<TIni> Expected() {
    auto e = std::make_unique<TIni>();
    std::memset(e.get(), 0, sizeof(TIni));

    TIniSystem &s = e->System;
    Put(s.Name, "Server room A");
    Put(s.Location, "Building 7; floor 2");
    Put(s.Contact, "Ops desk <ops@example.com>");
    s.Language = 2;
    s.EventLog = 1;
    s.DataLog = 3;
    s.DataLogRate = 60;
    s.DataLogMin = 15;
    s.DataLogMax = 1440;
    s.IgnoreMouseMove = 4;
    s.EnabledGroups = 5;
    s.DeviceActions = 6;
    s.LostCommRaiseAlarm = 7;
    s.DisableShutdownForSingleUPS = 8;
    s.AutoClose = 9;
    s.DisableJobs = 10;
    s.IgnoreRemoteUPSCommands = 11;
    s.OEMMode = 12;
    s.DebugMode = 13;
    s.PasswordProtection = 4321;
    s.ShutdownType = 14;
    s.HibernateSupport = 15;
    s.DebugLog = 16;
    s.DelayOfAlarm = 17;
    s.TooltipEnabled = 20;

    TIniSerial &ser = e->Serial;
    Put(ser.Device, "COM1");
    ser.Baudrate = 19200;
    ser.Bits = 8;
    ser.Stop = 1;
    ser.Parity = 2;
    ser.CheckRate = 5;

    TIniNetwork &n = e->Network;
    n.CheckRate = 21;
    n.Server = 22;
    n.DelayApplication = 18;
    n.SNMP = 23;
    n.Port = 5004;
    n.HTTP = 24;
    n.Tesquor = 19;
    Put(n.HTTPPath, "C:\\Program Files\\Kervon\\http\\");
    Put(n.RemoteIPAddress, "192.168.10.20");
    n.RemoteDevice = 515;
    n.RemoteConnection = 25;
    n.RemoteAutoStart = 26;

    TIniEmailConfig &ec = e->EmailConfig;
    ec.Allowed = 27;
    Put(ec.Server, "smtp.example.com");
    Put(ec.Domain, "example.com");
    ec.Port = 25;
    Put(ec.Name, "UPS monitor");
    Put(ec.Address, "ups@example.com");
    ec.Timeout = 30;
    Put(ec.Subject, "UPS event");
    ec.AuthAllowed = 28;
    Put(ec.Login, "upsmail");
    Put(ec.Password, "s3cr=t;x");
    ec.Crypto = 29;

    e->SMSConfig.Allowed = 31;
    Put(e->SMSConfig.Port, "COM3");
    Put(e->SMSConfig.SMSCentre, "+420603052000");
    e->SMSConfig.Type = 32;

    TIniModemConfig &m = e->ModemConfig;
    m.Allowed = 33;
    Put(m.Port, "COM4");
    Put(m.Number1, "5551234");
    Put(m.Number2, "5555678");
    m.Repeat = 34;
    m.Delay = 35;
    Put(m.InitString, "AT&F");
    Put(m.DialString, "ATDT");
    m.IncommingAllowed = 36;

    Put(e->Email[0].Name, "Admin");
    Put(e->Email[0].EmailAddress, "admin@example.com");
    Put(e->Email[9].Name, "Backup admin");
    Put(e->Email[9].EmailAddress, "backup@example.com");
    Put(e->SMS[0].Name, "Duty phone");
    Put(e->SMS[0].TelNumber, "+420777123456");
    Put(e->Schedule[0].Data, "1;08:00;17:00");
    Put(e->Schedule[15].Data, "7;22:00;06:00");
    Put(e->Mess[0].Name, "OPERATOR-PC");

    TIniUps &u = e->UPS[0];
    Put(u.Name, "Main UPS");
    Put(u.Type, "BRAXO3A10000X");
    Put(u.Serial, "SN0001234567");
    u.Connection = 5;
    Put(u.Port, "192.168.1.50");
    u.Address = 1;
    Put(u.IPAddress, "192.168.1.50");
    u.Device = 100;
    u.Message = 37;
    u.MessageDelay = 38;
    u.MessageRate = 300;
    u.MessageType = 39;
    u.SystemShutdown = 40;
    u.SystemShutDelayAllow = 41;
    u.SystemShutLeadAllow = 42;
    u.SystemShutdownDelay = 10;
    u.SystemShutdownLead = 120;
    u.UPSShutdown = 43;
    u.UPSShutdownDelay = 180;
    u.UPSReboot = 44;
    u.Password = 1234;
    u.HaveSensor = 45;
    u.RTGConnTime = 60;
    u.RTGTimeout = 30;
    Put(u.SNMPGetComm, "public");
    Put(u.SNMPSetComm, "private");

    TIniUps &u31 = e->UPS[31];
    Put(u31.Name, "Rack UPS");
    Put(u31.Type, "TARVO1234567");
    u31.Connection = 5;
    Put(u31.Port, "ups31.example.com");
    u31.Device = 131;
    Put(u31.SNMPGetComm, "public");

    e->MessConfig.Type = 46;

    TIniJob &j = e->Jobs[0];
    j.Log = 1;
    j.LogDelay = 2;
    j.Execute = 3;
    j.ExecuteDelay = 4;
    j.ExecuteInterval = 5;
    Put(j.File, "C:\\Kervon\\onbattery.bat");
    j.LocalMessage = 6;
    j.LocalMessageDelay = 7;
    j.LocalMessageInterval = 8;
    j.NetMessage = 9;
    j.NetMessageDelay = 10;
    j.NetMessageInterval = 11;
    j.Shutdown = 12;
    j.ShutdownDelay = 13;
    j.Email = 14;
    j.EmailDelay = 15;
    j.SMS = 16;
    j.SMSDelay = 17;
    j.Call = 18;
    j.CallDelay = 19;
    j.Fax = 20;
    j.FaxDelay = 21;
    j.Voice = 22;
    j.VoiceDelay = 23;
    Put(j.Message, "Power failure: running on battery");
    e->Jobs[3].ShutdownDelay = 300; // its Shutdown is forced to 0
    e->Jobs[6].Shutdown = 1;

    e->JobsSTS[0].Log = 1; // Shutdown always 0 here
    e->JobsSTS[0].ShutdownDelay = 60;
    Put(e->JobsMPW[11].Message, "MPW");
    e->JobsMDU[35].Execute = 2;
    e->JobsMDU[34].Shutdown = 1;

    TIniGroup &g = e->Group[0];
    Put(g.Name, "Rack group");
    g.AllowedBatteryShutdown = 1;
    g.AllowedSystemShutdown = 2;
    g.AllowedUPSShutdown = 3;
    g.AllowedUPSReboot = 4;
    g.BatteryRuntimeShutdown = 600;
    g.SystemShutdownDelay = 120;
    g.UPSShutdownDelay = 180;
    g.RedundancyLevel = 5;
    g.UPS_01 = 31;
    g.UPS_02 = 2;
    g.UPS_03 = 3;
    g.UPS_04 = 4;
    g.UPS_05 = 5;
    g.UPS_06 = 6;
    g.UPS_07 = 700;
    TIniEvent &ev = g.Event[0];
    ev.Type1 = 1;
    ev.Type2 = 2;
    ev.Type3 = 3;
    ev.Type4 = 4;
    ev.Type5 = 5;
    ev.Type6 = 6;
    ev.Priority1 = 7;
    ev.Priority2 = 8;
    ev.Priority3 = 9;
    ev.Priority4 = 10;
    ev.Priority5 = 11;
    ev.Priority6 = 12;
    ev.Job.Log = 13;
    ev.Job.LogDelay = 14;
    ev.Job.Execute = 15;
    ev.Job.ExecuteDelay = 16;
    ev.Job.ExecuteInterval = 17;
    Put(ev.Job.File, "notify.exe");
    ev.Job.LocalMessage = 18;
    ev.Job.LocalMessageDelay = 19;
    ev.Job.LocalMessageInterval = 20;
    ev.Job.NetMessage = 21;
    ev.Job.NetMessageDelay = 22;
    ev.Job.NetMessageInterval = 23;
    ev.Job.Shutdown = 24;
    ev.Job.ShutdownDelay = 25;
    ev.Job.Email = 26;
    ev.Job.EmailDelay = 27;
    ev.Job.SMS = 28;
    ev.Job.SMSDelay = 29;
    ev.Job.Call = 30;
    ev.Job.CallDelay = 31;
    ev.Job.Fax = 32;
    ev.Job.FaxDelay = 33;
    ev.Job.Voice = 34;
    ev.Job.VoiceDelay = 35;
    Put(ev.Job.Message, "Group on battery");
    g.Event[63].Type1 = 9;
    g.Event[63].Job.Shutdown = 1;
    Put(e->Group[9].Name, "Last group");
    e->Group[9].Event[1].Priority6 = 3;

    TIniSensor &sn = e->Sensor[0];
    Put(sn.Name, "Rack temperature");
    sn.SensorType = 1;
    sn.IndexUPS = 2;
    sn.IndexSensor = 3;
    sn.HumThrUp = 80;
    sn.HumThrDown = 20;
    sn.TempThrUp = 350;
    sn.TempThrDown = 100;
    sn.DgInputNormalOpen = 4;
    sn.DgOutputEnableUps = 5;
    sn.DgOutputUps = 6;
    sn.DgOutputEnableSensor = 7;
    sn.DgOutputSensor = 8;

    Put(e->Module[0].Name, "Power module 1");
    e->Module[0].BPUIndex1 = 1;
    e->Module[0].BPUIndex2 = 2;
    e->Module[0].BPUIndex3 = 3;
    e->Module[0].BPUIndex4 = 4; // 260 keeps its low byte
    return e;
}

// Where two records first differ, as a block name and an offset in it.
std::string FirstDifference(const TIni &a, const TIni &b) {
#define OSK_BLOCK(member)                                                                          \
    if (std::memcmp(&a.member, &b.member, sizeof a.member) != 0) {                                 \
        const auto *pa = reinterpret_cast<const unsigned char *>(&a.member);                       \
        const auto *pb = reinterpret_cast<const unsigned char *>(&b.member);                       \
        std::size_t i = 0;                                                                         \
        while (pa[i] == pb[i])                                                                     \
            ++i;                                                                                   \
        return std::string(#member) + " at byte " + std::to_string(i);                             \
    }
    OSK_BLOCK(System) OSK_BLOCK(Serial) OSK_BLOCK(Network) OSK_BLOCK(Email) OSK_BLOCK(SMS)
    OSK_BLOCK(Mess) OSK_BLOCK(Schedule) OSK_BLOCK(UPS) OSK_BLOCK(Jobs) OSK_BLOCK(JobsSTS)
    OSK_BLOCK(JobsMDU) OSK_BLOCK(JobsMPW) OSK_BLOCK(Group) OSK_BLOCK(EmailConfig)
    OSK_BLOCK(SMSConfig) OSK_BLOCK(ModemConfig) OSK_BLOCK(MessConfig) OSK_BLOCK(Sensor)
    OSK_BLOCK(Module)
#undef OSK_BLOCK
    return "";
}

TEST_F(FamilyFilesTest, FamilyFilesLoadFieldForField) {
    std::filesystem::copy(OSK_SOURCE_DIR "/tests/data/config/family", tmp_.path());
    SetDirText(AllUserDir, tmp_.dir());
    ASSERT_EQ(LoadINI(), 0);
    const auto expected = Expected();
    EXPECT_EQ(FirstDifference(*expected, INI), "");
}

} // namespace
