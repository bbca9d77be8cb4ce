// The device-table set-up and the timer thread: the configuration copies
// of a slot in use, untouched unused slots, the set-up listing, and the
// thread's exit path.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "platform/thread.h"
#include "platform/thread_create.h"
#include "platform/version.h"
#include "platform/wait.h"
#include "platform/winsock.h"
#include "poller/timer_thread.h"
#include "runtime/worker_threads.h"
#include "server/agent_port.h"
#include "shared/allocation.h"
#include "shared/debug_log.h"
#include "shared/device_table.h"
#include "shared/ini_record.h"
#include "tests/support/console_capture.h"

namespace {

class TimerSetUp : public ::testing::Test {
  protected:
    void SetUp() override {
        std::memset(&INI, 0, sizeof INI);
        INI.Network.Port = 4; // the agent port on a port the system picks
        bDebug = 1;
        real_time = 1'700'000'000;
    }
    void TearDown() override {
        bDebug = 0;
        platform::reset_reported_version();
        for (std::uint16_t n = 0; n < device_slots; ++n) {
            SHfree(SM_DEV[n]);
            SM_DEV[n] = nullptr;
            set_ready_status(n, 0);
        }
    }

    static TIniUps &ups(int slot, const char *name, const char *type, std::uint16_t connection) {
        TIniUps &entry = INI.UPS[slot];
        std::strncpy(entry.Name, name, sizeof entry.Name);
        std::strncpy(entry.Type, type, sizeof entry.Type);
        entry.Connection = connection;
        return entry;
    }

    ConsoleCapture console_;
};

// First in this program: the agent port opens once per process, and a
// port opened by an earlier test would hide the failure.
TEST_F(TimerSetUp, APortInUseMarksEverySnmpSlotAndTheSetUpGoesOn) {
    if (pasive_udp_socket.load() != 0)
        GTEST_SKIP() << "the agent port is already open in this process";
    platform::WSADATA data;
    platform::WSAStartup(platform::MAKEWORD(1, 1), &data);
    const platform::SOCKET holder = platform::socket(platform::AF_INET, platform::SOCK_DGRAM, platform::IPPROTO_UDP);
    platform::sockaddr_in at{};
    at.sin_family = platform::AF_INET;
    at.sin_addr.s_addr = platform::htonl(platform::INADDR_ANY);
    std::uint16_t port = 0;
    for (std::uint16_t candidate = 41000; candidate < 41200 && port == 0; ++candidate) {
        at.sin_port = platform::htons(candidate);
        if (platform::bind(holder, reinterpret_cast<const platform::sockaddr *>(&at), sizeof at) == 0)
            port = candidate;
    }
    ASSERT_NE(port, 0);
    INI.Network.Port = static_cast<std::uint16_t>(port + 4);
    std::strncpy(ups(0, "UPS one", "BRAXO1-VEGA3000", 5).Port, "127.0.0.2", sizeof INI.UPS[0].Port);
    ups(1, "serial", "BRIXO1234567", 1);
    ups(2, "UPS two", "TARVO1234567", 5);
    FillShared();
    platform::closesocket(holder);

    EXPECT_NE(console_.text().find("\n\rTCP/IP error: Maybe different Tarmisol running on machine! "),
              std::string::npos)
        << console_.text();
    for (int slot : {0, 2}) {
        const TDevice &record = *SM_DEV[slot];
        EXPECT_EQ(record.CS, 255);
        EXPECT_EQ(std::string(record.CommText), "! General error !");
        EXPECT_EQ(std::string(record.StatusText), "Communication is lost !");
        EXPECT_EQ(record.DataCS, 255);
        EXPECT_EQ(std::string(record.DataCommText, 30), std::string("! General error !").append(13, '\0'));
        EXPECT_EQ(std::string(record.DataStatusText, 30), std::string("Communication is lost !").append(7, '\0'));
        EXPECT_EQ(record.SetupFlag, 1);
    }
    EXPECT_EQ(SM_DEV[1]->CS, 0); // not an SNMP slot
    EXPECT_EQ(SM_DEV[1]->CommText[0], '\0');
    EXPECT_EQ(SM_DEV[3]->CS, 0); // not in use
}

TEST_F(TimerSetUp, CopiesTheConfiguredDeviceIntoItsSlot) {
    TIniUps &entry = ups(3, "UPS hall", "BRAXO1-2000VA", 0x105);
    std::strncpy(entry.Port, "127.0.0.2", sizeof entry.Port);
    std::strncpy(entry.Serial, "SN-0042", sizeof entry.Serial);
    entry.Device = 7;
    entry.Password = 1234;
    entry.Address = 9;
    entry.SystemShutdownDelay = 1093; // 65580 s: kept in 16 bits
    entry.SystemShutdownLead = 30;
    entry.RTGConnTime = 11;
    entry.RTGTimeout = 12;
    entry.UPSShutdown = 1;
    entry.UPSShutdownDelay = 120;
    entry.UPSReboot = 1;
    set_ready_status(3, 1);
    FillShared();

    const TDevice &record = *SM_DEV[3];
    EXPECT_STREQ(record.Name, "UPS hall");
    EXPECT_STREQ(record.Port, "127.0.0.2");
    EXPECT_STREQ(record.PRTK, "BRAXO1-2000VA");
    EXPECT_STREQ(record.Serial, "SN-0042");
    EXPECT_EQ(record.Connection, AGSNMP);
    EXPECT_EQ(record.Device, 7);
    EXPECT_EQ(record.Password, 1234);
    EXPECT_EQ(record.Address, 9);
    EXPECT_EQ(record.DeviceType, 21);
    EXPECT_EQ(record.PowerFlags, power_output_powered); // from the start
    EXPECT_EQ(record.SetupFlag, 1);
    EXPECT_EQ(record.SystemShutdownDelay, static_cast<std::uint16_t>(65580));
    EXPECT_EQ(record.SystemShutdownLead, 30);
    EXPECT_EQ(record.RTGConnTime, 11);
    EXPECT_EQ(record.RTGTimeout, 12);
    EXPECT_EQ(record.UpsShutdownDelay, 120);
    EXPECT_EQ(record.UpsRebootFlag, 1);
    EXPECT_EQ(record.SetupTime, 1'700'000'000);
    EXPECT_EQ(ready_status[3], 0);
}

TEST_F(TimerSetUp, DisabledShutdownAndRebootReadAsNone) {
    ups(0, "UPS", "TARVO1234567", 5).UPSShutdownDelay = 300;
    FillShared();
    EXPECT_EQ(SM_DEV[0]->UpsShutdownDelay, 0xFFFF);
    EXPECT_EQ(SM_DEV[0]->UpsRebootFlag, 0xFFFF);
    EXPECT_EQ(SM_DEV[0]->DeviceType, 14);
    EXPECT_EQ(SM_DEV[0]->PowerFlags, 0);
}

TEST_F(TimerSetUp, LongTextsFillTheirFieldsWithoutTerminator) {
    TIniUps &entry = ups(1, "A name of twenty-five ch", "BRIXO-a-model-code-long", 5);
    std::strncpy(entry.Port, "host.name.of.the.ups.example", sizeof entry.Port);
    std::strncpy(entry.Serial, "0123456789ABCDEFGHIJ", sizeof entry.Serial);
    FillShared();
    const TDevice &record = *SM_DEV[1];
    EXPECT_EQ(std::string(record.Name, sizeof record.Name), "A name of twenty-fiv");
    EXPECT_EQ(std::string(record.Port, sizeof record.Port), "host.name.of.the.ups");
    EXPECT_EQ(std::string(record.PRTK, sizeof record.PRTK), "BRIXO-a-model-code-l");
    EXPECT_EQ(std::string(record.Serial, sizeof record.Serial), "0123456789ABCDEF");
    EXPECT_EQ(record.DeviceType, 17);
    EXPECT_NE(console_.text().find("Name: A name of twenty-fiv  PRTK: BRIXO-a-model-code-l\n\r"), std::string::npos);
}

TEST_F(TimerSetUp, SlotsWithoutANameStayAllZero) {
    std::strncpy(INI.UPS[5].Port, "127.0.0.2", sizeof INI.UPS[5].Port);
    INI.UPS[5].Connection = 5;
    FillShared();
    static const TDevice zero{};
    for (TDevice *record : SM_DEV) {
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(std::memcmp(record, &zero, sizeof zero), 0);
    }
}

TEST_F(TimerSetUp, ListsTheSystemAndEverySlotInUse) {
    std::strncpy(ups(2, "UPS hall", "BRAXO3abcdef", 5).Port, "10.0.0.9", sizeof INI.UPS[2].Port);
    ups(7, "serial", "", 1);
    FillShared();
    const std::string text = console_.text();
    EXPECT_EQ(text.rfind("Detected system: NT compatible\n\r"
                         "Device type: 30   Connection: AGSNMP   (10.0.0.9)  Name: UPS hall  PRTK: BRAXO3abcdef\n\r"
                         "Device type: 255   Connection: ?        Name: serial  PRTK: \n\r"
                         "\n\r",
                         0),
              0u)
        << text;
    EXPECT_EQ(text.substr(text.size() - 2), "\n\r");
}

TEST_F(TimerSetUp, AnUnreadableVersionIsListedAsUnknown) {
    platform::ReportedVersion broken;
    broken.basic_ok = false;
    broken.extended_ok = false;
    platform::set_reported_version(broken);
    FillShared();
    EXPECT_EQ(console_.text().rfind("Detected system: Unknow !\n\r\n\r", 0), 0u) << console_.text();
}

class TimerThread : public TimerSetUp {
  protected:
    void TearDown() override {
        ExitthreadhTimerProcess = 0;
        TimerSetUp::TearDown();
    }
};

TEST_F(TimerThread, EndsOnItsFlagAndTheStopEventAndClosesTheEvent) {
    ExitthreadhTimerProcess = 0;
    platform::HANDLE thread = platform::CreateThread(nullptr, 0, TimerProcess, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    platform::Sleep(1300); // past the set-up and its one-second debug wait
    const auto start = std::chrono::steady_clock::now();
    ExitthreadhTimerProcess = 1;
    SignalTimerShutdown();
    ASSERT_EQ(platform::WaitForSingleObject(thread, 5000), platform::WAIT_OBJECT_0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(600));
    platform::CloseHandle(thread);
    const std::string text = console_.text();
    EXPECT_EQ(text.substr(text.size() - 26), "\nThread Timer: exit thread");
    SignalTimerShutdown(); // the event is gone: nothing to signal
    for (TDevice *record : SM_DEV)
        EXPECT_NE(record, nullptr); // the stop routine releases them
}

TEST_F(TimerThread, AFlagSetBeforeTheFirstTickEndsItAfterTheSetUp) {
    bDebug = 0;
    ExitthreadhTimerProcess = 1;
    platform::HANDLE thread = platform::CreateThread(nullptr, 0, TimerProcess, nullptr, 0, nullptr);
    ASSERT_EQ(platform::WaitForSingleObject(thread, 5000), platform::WAIT_OBJECT_0);
    platform::CloseHandle(thread);
    EXPECT_NE(SM_DEV[0], nullptr);
}

} // namespace
