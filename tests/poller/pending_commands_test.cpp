// Hand-over of queued UPS commands between the network thread, which
// stores them, and the poller, which takes one whole and marks it done
// after its SET: a request that arrives meanwhile is never lost.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "shared/pending_commands.h"

namespace {

class PendingCommands : public ::testing::Test {
  protected:
    void SetUp() override { pending_commands_clear(); }
    void TearDown() override { pending_commands_clear(); }
};

TEST_F(PendingCommands, StoredRequestIsTakenWhole) {
    pending_command_store(31, 3, 0, 30, 5);
    const TPendingCommand c = pending_command_take(31);
    EXPECT_EQ(c.kind, 3);
    EXPECT_EQ(c.command, 0);
    EXPECT_EQ(c.delay, 30);
    EXPECT_EQ(c.reboot, 5);
    EXPECT_EQ(pending_command_take(30).kind, 0);
}

TEST_F(PendingCommands, DoneClearsOnlyTheKind) {
    pending_command_store(2, 1, 0, 120, 0xFFFF);
    const TPendingCommand sent = pending_command_take(2);
    EXPECT_TRUE(pending_command_done(2, sent));
    const TPendingCommand after = pending_command_take(2);
    EXPECT_EQ(after.kind, 0);
    EXPECT_EQ(after.delay, 120);
    EXPECT_EQ(after.reboot, 0xFFFF);
    EXPECT_EQ(snmp_shutdown[2], 0);
    EXPECT_EQ(snmp_delay_shutdown[2], 120);
}

// A request stored while the SET of the previous one was under way stays
// queued, even when it repeats the same values.
TEST_F(PendingCommands, NewerRequestSurvivesTheEarlierSet) {
    pending_command_store(5, 1, 0, 30, 0xFFFF);
    const TPendingCommand sent = pending_command_take(5);
    pending_command_store(5, 3, 6, 10, 0);
    EXPECT_FALSE(pending_command_done(5, sent));
    TPendingCommand now = pending_command_take(5);
    EXPECT_EQ(now.kind, 3);
    EXPECT_EQ(now.command, 6);

    pending_command_store(5, 3, 6, 10, 0);
    EXPECT_FALSE(pending_command_done(5, now));
    EXPECT_EQ(pending_command_take(5).kind, 3);
}

TEST_F(PendingCommands, ClearEmptiesEverySlot) {
    pending_command_store(0, 1, 0, 30, 0xFFFF);
    pending_command_store(31, 3, 6, 7, 0);
    const TPendingCommand sent = pending_command_take(0);
    pending_commands_clear();
    for (std::uint16_t slot = 0; slot < device_slots; ++slot) {
        const TPendingCommand c = pending_command_take(slot);
        EXPECT_EQ(c.kind | c.command | c.delay | c.reboot, 0) << "slot " << slot;
    }
    EXPECT_FALSE(pending_command_done(0, sent));
}

TEST_F(PendingCommands, SlotsOutsideTheTableAreIgnored) {
    pending_command_store(32, 1, 0, 30, 0xFFFF);
    pending_command_store(0xFFFF, 1, 0, 30, 0xFFFF);
    EXPECT_EQ(pending_command_take(32).kind, 0);
    EXPECT_FALSE(pending_command_done(32, TPendingCommand{}));
}

// The network thread keeps storing requests whose delay and reboot value
// agree; the poller must never take a kind or value of another request.
TEST_F(PendingCommands, TakenCopyNeverMixesTwoRequests) {
    std::atomic<bool> done{false};
    std::thread network([&] {
        for (std::uint16_t i = 1; i <= 20000; ++i)
            pending_command_store(7, i % 2 ? 1 : 3, i % 2 ? 0 : 6, i, i);
        done = true;
    });
    int mixed = 0;
    while (!done) {
        const TPendingCommand c = pending_command_take(7);
        if (c.kind == 0)
            continue;
        if (c.delay != c.reboot || (c.kind == 1) != (c.delay % 2 == 1) || (c.kind == 3) != (c.command == 6))
            ++mixed;
        pending_command_done(7, c);
    }
    network.join();
    EXPECT_EQ(mixed, 0);
}

} // namespace
