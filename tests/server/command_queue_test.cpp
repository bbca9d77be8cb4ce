// SET_UPSSHUTDOWN and SET_UPSCOMMAND over real datagrams: what each stores
// in the slot's pending command, whole; what is refused; the ignore switch;
// that neither request gets an answer; and the cancel command, the one
// request that reaches the queue of a device that does not answer.
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "server/protocol.h"
#include "shared/pending_commands.h"
#include "tests/server/agent_fixture.h"

namespace {

struct QueueCase {
    const char *name;
    std::uint16_t type;
    std::string payload;
    std::uint8_t kind;
    std::uint16_t command;
    std::uint16_t delay;
    std::uint16_t reboot;
};

void PrintTo(const QueueCase &c, std::ostream *os) { *os << c.name; }

class CommandQueueTest : public AgentFixture, public ::testing::WithParamInterface<QueueCase> {
  protected:
    void SetUp() override {
        AgentFixture::SetUp();
        add_device(0, "first", 7);
        add_device(31, "last", 40);
    }
};

TEST_P(CommandQueueTest, RequestIsStoredWholeForItsSlot) {
    const QueueCase &c = GetParam();
    for (const auto &[device, slot] : {std::pair<std::uint16_t, std::uint16_t>{7, 0}, {40, 31}}) {
        EXPECT_TRUE(exchange(request_datagram(c.type, device, c.payload)).empty());
        const TPendingCommand pending = pending_command_take(slot);
        EXPECT_EQ(pending.kind, c.kind);
        EXPECT_EQ(pending.command, c.command);
        EXPECT_EQ(pending.delay, c.delay);
        EXPECT_EQ(pending.reboot, c.reboot);
    }
    // No other slot got anything.
    for (std::uint16_t slot = 1; slot < 31; ++slot)
        EXPECT_EQ(pending_command_take(slot).kind, 0) << slot;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, CommandQueueTest,
    ::testing::Values(
        QueueCase{"shutdown", SET_UPSSHUTDOWN, payload_words(120, 0xFFFF), 1, 0, 120, 0xFFFF},
        QueueCase{"shutdown_reboot_0", SET_UPSSHUTDOWN, payload_words(120, 0), 3, 0, 120, 0},
        QueueCase{"shutdown_reboot_5", SET_UPSSHUTDOWN, payload_words(30, 5), 3, 0, 30, 5},
        // Bytes the datagram does not carry read as 0.
        QueueCase{"shutdown_without_payload", SET_UPSSHUTDOWN, "", 3, 0, 0, 0},
        QueueCase{"shutdown_half_payload", SET_UPSSHUTDOWN, "\x10", 3, 0, 16, 0},
        QueueCase{"cancel", SET_UPSCOMMAND, payload_words(6, 45), 3, 6, 45, 0}),
    [](const auto &info) { return std::string(info.param.name); });

class CommandRefusalTest : public AgentFixture {
  protected:
    void SetUp() override {
        AgentFixture::SetUp();
        add_device(0, "first", 7);
        add_device(3, "fourth", 9);
        trace(0);
    }
};

TEST_F(CommandRefusalTest, OnlyCommand6IsAcceptedAndTheLineShowsTheSlotNumber) {
    trace(2);
    EXPECT_TRUE(exchange(request_datagram(SET_UPSCOMMAND, 9, payload_words(5, 10))).empty());
    EXPECT_EQ(pending_command_take(3).kind, 0);
    EXPECT_NE(console_.text().find(" UPS COMMAND : bad device number 4 \n"), std::string::npos)
        << console_.text();
}

TEST_F(CommandRefusalTest, RequestsForAllDevicesStoreNothing) {
    trace(2);
    EXPECT_TRUE(exchange({request_datagram(SET_UPSSHUTDOWN, ALL_DEVICES, payload_words(1, 2)),
                          request_datagram(SET_UPSCOMMAND, ALL_DEVICES, payload_words(6, 2))})
                    .empty());
    for (std::uint16_t slot = 0; slot < device_slots; ++slot)
        EXPECT_EQ(pending_command_take(slot).kind, 0);
    const std::string log = console_.text();
    EXPECT_NE(log.find(" UPS SHUTDOWN : bad device number 65535 \n"), std::string::npos) << log;
    EXPECT_NE(log.find(" UPS COMMAND : bad device number 65535 \n"), std::string::npos) << log;
}

TEST_F(CommandRefusalTest, IgnoreSwitchKeepsWhatIsPendingAndLogsAtEveryLevel) {
    EXPECT_TRUE(exchange(request_datagram(SET_UPSSHUTDOWN, 7, payload_words(60, 0xFFFF))).empty());
    ASSERT_EQ(pending_command_take(0).kind, 1);
    INI.System.IgnoreRemoteUPSCommands = 1;
    console_.clear();
    EXPECT_TRUE(exchange({request_datagram(SET_UPSSHUTDOWN, 7, payload_words(5, 5)),
                          request_datagram(SET_UPSCOMMAND, 7, payload_words(6, 5))})
                    .empty());
    const TPendingCommand pending = pending_command_take(0);
    EXPECT_EQ(pending.kind, 1);
    EXPECT_EQ(pending.delay, 60);
    EXPECT_EQ(pending.reboot, 0xFFFF);
    const std::string log = console_.text();
    const std::string line = " !!! Ignored remote UPS command !!! \n\r";
    const auto first = log.find(line);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_NE(log.find(line, first + 1), std::string::npos) << log;
}

TEST_F(CommandRefusalTest, QueuedRequestLogsItsValuesAndSendsNoData) {
    trace(2);
    EXPECT_TRUE(exchange(request_datagram(SET_UPSSHUTDOWN, 7, payload_words(120, 3))).empty());
    const std::string log = console_.text();
    EXPECT_NE(log.find("Receive RQ UDP SET_UPSSHUTDOWN packet ... "), std::string::npos) << log;
    EXPECT_NE(log.find(" UPS SHUTDOWN DELAY: 120 sec     REBOOT:  3 min \n\r"), std::string::npos)
        << log;
    EXPECT_NE(log.find("NO DATA - SEND RESPONSE ABORTED ! "), std::string::npos) << log;
}

TEST_F(CommandRefusalTest, LaterRequestReplacesThePendingOne) {
    EXPECT_TRUE(exchange({request_datagram(SET_UPSSHUTDOWN, 9, payload_words(120, 0xFFFF)),
                          request_datagram(SET_UPSCOMMAND, 9, payload_words(6, 30))})
                    .empty());
    const TPendingCommand pending = pending_command_take(3);
    EXPECT_EQ(pending.kind, 3);
    EXPECT_EQ(pending.command, 6);
    EXPECT_EQ(pending.delay, 30);
    EXPECT_EQ(pending.reboot, 0);
}

// A device that does not answer, with a shutdown queued before it went
// silent.
class SilentDeviceTest : public AgentFixture {
  protected:
    void SetUp() override {
        AgentFixture::SetUp();
        add_device(0, "first", 7, AGSNMP, 5, 0);
        pending_command_store(0, 1, 0, 77, 0xFFFF);
    }

    // The entries of the slot: the cancel, or the shutdown left as it was.
    static void expect_cancel_queued(bool queued) {
        const TPendingCommand pending = pending_command_take(0);
        EXPECT_EQ(pending.kind, queued ? 3 : 1);
        EXPECT_EQ(pending.command, queued ? 6 : 0);
        EXPECT_EQ(pending.delay, queued ? 45 : 77);
        EXPECT_EQ(pending.reboot, queued ? 0 : 0xFFFF);
    }
};

struct GateCase {
    const char *name;
    std::uint16_t type;
    std::string payload;
    std::uint8_t ignore_commands;
    bool cancel_queued;
};

void PrintTo(const GateCase &c, std::ostream *os) { *os << c.name; }

class SilentDeviceGateTest : public SilentDeviceTest,
                             public ::testing::WithParamInterface<GateCase> {};

TEST_P(SilentDeviceGateTest, OnlyTheCancelPassesAndNothingIsAnswered) {
    const GateCase &c = GetParam();
    INI.System.IgnoreRemoteUPSCommands = c.ignore_commands;
    trace(2);
    EXPECT_TRUE(exchange(request_datagram(c.type, 7, c.payload)).empty());
    expect_cancel_queued(c.cancel_queued);
    // What the gate drops reaches neither the parser nor its handlers.
    const std::string log = console_.text();
    EXPECT_EQ(log.find("UDP  : Agent parse ... OK ") != std::string::npos, c.cancel_queued) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, SilentDeviceGateTest,
    ::testing::Values(GateCase{"cancel", SET_UPSCOMMAND, payload_words(6, 45), 0, true},
                      GateCase{"cancel_ignored", SET_UPSCOMMAND, payload_words(6, 45), 1, false},
                      GateCase{"other_command", SET_UPSCOMMAND, payload_words(5, 45), 0, false},
                      GateCase{"shutdown", SET_UPSSHUTDOWN, payload_words(45, 0xFFFF), 0, false},
                      GateCase{"status", GET_STATUS, "", 0, false},
                      GateCase{"device_data", GET_DEVDATA, "", 0, false}),
    [](const auto &info) { return std::string(info.param.name); });

// The cancel for a silent device is logged as for one that answers.
TEST_F(SilentDeviceTest, CancelIsLoggedAsForACommunicatingDevice) {
    const auto cancel_log = [&] {
        trace(2);
        EXPECT_TRUE(exchange(request_datagram(SET_UPSCOMMAND, 7, payload_words(6, 45))).empty());
        expect_cancel_queued(true);
        // Without the time stamps of the entries.
        return std::regex_replace(console_.text(), std::regex(R"( \d\d\\\d\d \d\d:\d\d:\d\d  )"),
                                  "");
    };
    const std::string silent = cancel_log();
    set_ready_status(0, 1);
    pending_command_store(0, 1, 0, 77, 0xFFFF);
    EXPECT_EQ(silent, cancel_log());
    EXPECT_NE(silent.find(" UPS COMMAND : 6     Delay:  45 sec \n"), std::string::npos) << silent;
    EXPECT_NE(silent.find("NO DATA - SEND RESPONSE ABORTED ! "), std::string::npos) << silent;
}

} // namespace
