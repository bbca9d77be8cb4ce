// Execution of a slot's pending UPS command against snmpsimd: the object
// and value each kind of command writes (read back from the simulator),
// the command kept queued when the SET fails, nothing sent when nothing is
// queued, and a request that arrives while the SET is under way.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "poller/ups_command.h"
#include "shared/debug_log.h"
#include "shared/pending_commands.h"
#include "snmp/snmp_pp.h"
#include "tests/support/console_capture.h"
#include "tests/support/snmpsim_fixture.h"
#include "tests/support/udp_relay.h"
#include "tests/support/wait_until.h"

namespace {

constexpr std::uint16_t kSlot = 12;
constexpr const char *kShutdownAfterDelay = "1.3.6.1.2.1.33.1.8.2.0";
constexpr const char *kRebootWithDuration = "1.3.6.1.2.1.33.1.8.4.0";
// Written to both objects before a case, so that a case's own value
// (-1 included, the simulator's first value) shows that it arrived.
constexpr long kBefore = 4321;

class UpsCommand : public osktest::SnmpsimTest {
  protected:
    void SetUp() override {
        SnmpsimTest::SetUp();
        ASSERT_EQ(created_, SNMP_CLASS_SUCCESS);
        pending_commands_clear();
        bDebug = 1;
        bDebugLog = 0;
        k_monitor = 0;
    }
    void TearDown() override {
        pending_commands_clear();
        bDebug = 0;
        k_monitor = 0;
    }

    // The command step at the end of a poll of the UPS at address_text
    // whose result so far is result.
    std::uint8_t send(const char *address_text, const char *set_community, std::uint8_t result) {
        UdpAddress address(address_text);
        console_.clear();
        ups_command_send(session_, address, OctetStr("writable"), OctetStr(set_community),
                         address_text, result, kSlot);
        return result;
    }

    CTarget simulator_target(const char *community) {
        UdpAddress address(agent_address());
        CTarget target(address);
        target.set_readcommunity(OctetStr(community));
        target.set_writecommunity(OctetStr(community));
        return target;
    }

    void write(const char *oid, long value) {
        Vb vb{Oid(oid)};
        vb.set_value(SnmpInt32(value));
        Pdu pdu;
        pdu += vb;
        ASSERT_EQ(session_.set(pdu, simulator_target("writable")), SNMP_CLASS_SUCCESS);
    }

    std::string read_back(const char *oid) {
        Pdu pdu;
        pdu += Vb(Oid(oid));
        if (session_.get(pdu, simulator_target("writable")) != SNMP_CLASS_SUCCESS)
            return "(no answer)";
        Vb vb;
        pdu.get_vb(vb, 0);
        return vb.get_printable_value();
    }

    int created_ = -1;
    Snmp session_{created_};
    ConsoleCapture console_;
};

bool same_command(const TPendingCommand &a, const TPendingCommand &b) {
    return a.kind == b.kind && a.command == b.command && a.delay == b.delay && a.reboot == b.reboot;
}

// ---- what each command writes ----------------------------------------

struct CommandCase {
    const char *name;
    std::uint8_t kind;
    std::uint16_t command;
    std::uint16_t delay;
    std::uint16_t reboot;
    const char *written;
    const char *value;
    const char *untouched;
    std::uint8_t trace_level = 0;
};

void PrintTo(const CommandCase &c, std::ostream *os) { *os << c.name; }

class CommandWrite : public UpsCommand, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandWrite, WritesItsObjectAndClearsOnlyTheKind) {
    const CommandCase &c = GetParam();
    write(kShutdownAfterDelay, kBefore);
    write(kRebootWithDuration, kBefore);
    pending_command_store(kSlot, c.kind, c.command, c.delay, c.reboot);
    k_monitor = c.trace_level;

    // A SET that succeeds leaves the poll's result as it was, 2 included.
    EXPECT_EQ(send(agent_address(), "writable", 2), 2);

    std::string expected;
    if (c.trace_level == 10)
        expected = std::string("\nSHUTDOWN: Oid = ") + c.written + " Value = " + c.value;
    expected += "\nOidSet = " + std::to_string(c.kind) + " Oid = " + c.written +
                " Value = " + c.value + " SUCCESS";
    EXPECT_EQ(console_.text(), expected);
    EXPECT_EQ(read_back(c.written), c.value);
    EXPECT_EQ(read_back(c.untouched), std::to_string(kBefore));
    const TPendingCommand after = pending_command_take(kSlot);
    EXPECT_TRUE(same_command(after, TPendingCommand{0, c.command, c.delay, c.reboot, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CommandWrite,
    ::testing::Values(
        CommandCase{"shutdown_delay_30", 1, 0, 30, 0xFFFF, kShutdownAfterDelay, "30",
                    kRebootWithDuration, 10},
        // The entries are unsigned: the largest delay is no -1.
        CommandCase{"shutdown_delay_65535", 1, 0, 65535, 0xFFFF, kShutdownAfterDelay, "65535",
                    kRebootWithDuration},
        // The delay is not sent with a reboot.
        CommandCase{"reboot_5", 3, 0, 30, 5, kRebootWithDuration, "5", kShutdownAfterDelay},
        CommandCase{"cancel", 3, 6, 30, 0xFFFF, kRebootWithDuration, "-1", kShutdownAfterDelay},
        // Command 6 is the cancel whatever the kind.
        CommandCase{"cancel_kind_1", 1, 6, 30, 0xFFFF, kShutdownAfterDelay, "-1",
                    kRebootWithDuration}),
    [](const ::testing::TestParamInfo<CommandCase> &info) { return std::string(info.param.name); });

// ---- failed SETs -----------------------------------------------------

struct FailCase {
    const char *name;
    const char *set_community;
    const char *error;
};

void PrintTo(const FailCase &c, std::ostream *os) { *os << c.name; }

class CommandFailure : public UpsCommand, public ::testing::WithParamInterface<FailCase> {};

TEST_P(CommandFailure, KeepsTheCommandForEveryLaterPoll) {
    const FailCase &c = GetParam();
    write(kShutdownAfterDelay, kBefore);
    pending_command_store(kSlot, 1, 0, 30, 0xFFFF);
    const TPendingCommand queued = pending_command_take(kSlot);
    const std::string line = std::string("\n") + agent_address() +
                             " OidSet = 1 Oid = " + kShutdownAfterDelay + " SNMP++ Get Error, " +
                             c.error;
    for (int poll = 0; poll < 2; ++poll) {
        EXPECT_EQ(send(agent_address(), c.set_community, 0), 1);
        EXPECT_EQ(console_.text(), line);
        EXPECT_TRUE(same_command(pending_command_take(kSlot), queued));
    }
    EXPECT_EQ(read_back(kShutdownAfterDelay), std::to_string(kBefore));
}

INSTANTIATE_TEST_SUITE_P(
    Sets, CommandFailure,
    ::testing::Values(
        // The on-line UPS's upsControl objects are not writable.
        FailCase{"refused", "online", "SNMP: Variable does not exist (2)"},
        // snmpsimd does not answer a community it has no data for.
        FailCase{"unanswered", "no-such-community", "SNMP++: Request timed out (4294967291)"}),
    [](const ::testing::TestParamInfo<FailCase> &info) { return std::string(info.param.name); });

// ---- through the relay -----------------------------------------------

class RelayedCommand : public UpsCommand {
  protected:
    void SetUp() override {
        UpsCommand::SetUp();
        std::string error;
        ASSERT_TRUE(relay_address_.acquire(161, error)) << error;
        ASSERT_TRUE(relay_.start(relay_address_.address(), 161, agent_address(), 161, error))
            << error;
    }

    osktest::LoopbackLease relay_address_;
    osktest::UdpRelay relay_;
};

TEST_F(RelayedCommand, NothingQueuedSendsNothing) {
    EXPECT_EQ(send(relay_address_.address(), "writable", 1), 1);
    EXPECT_EQ(console_.text(), "");
    EXPECT_EQ(relay_.requests(), 0);
}

TEST_F(RelayedCommand, RequestStoredDuringTheSetIsCarriedOutNext) {
    write(kRebootWithDuration, kBefore);
    pending_command_store(kSlot, 1, 0, 30, 0xFFFF);
    relay_.delay_answers(std::chrono::milliseconds(300));
    // A client's cancel arrives while the shutdown's SET waits for its
    // answer.
    std::thread client([&] {
        osktest::wait_until([&] { return relay_.requests() >= 1; }, std::chrono::seconds(5),
                            std::chrono::milliseconds(1));
        pending_command_store(kSlot, 3, 6, 0, 0xFFFF);
    });
    EXPECT_EQ(send(relay_address_.address(), "writable", 0), 0);
    client.join();
    EXPECT_EQ(console_.text(),
              std::string("\nOidSet = 1 Oid = ") + kShutdownAfterDelay + " Value = 30 SUCCESS");
    EXPECT_EQ(read_back(kShutdownAfterDelay), "30");
    EXPECT_TRUE(same_command(pending_command_take(kSlot), TPendingCommand{3, 6, 0, 0xFFFF, 0}));

    relay_.resume();
    EXPECT_EQ(send(relay_address_.address(), "writable", 0), 0);
    EXPECT_EQ(console_.text(),
              std::string("\nOidSet = 3 Oid = ") + kRebootWithDuration + " Value = -1 SUCCESS");
    EXPECT_EQ(read_back(kRebootWithDuration), "-1");
    EXPECT_EQ(pending_command_take(kSlot).kind, 0);
}

} // namespace
