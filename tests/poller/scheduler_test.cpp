// The poll scheduler with its clocks and slot pause replaced, so that long
// stretches of polling pass without waiting: the walk order, the count of
// missed responses of a UPS that never answers and the loss its limit
// shows, the system clock stepped back and forward, the stop event, and
// the request line. The UPS that never answers is a real poll of an
// address that gets no SNMP session.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>

#include "platform/event.h"
#include "platform/handle.h"
#include "platform/local_time.h"
#include "poller/scheduler.h"
#include "poller/scheduler_clock.h"
#include "poller/timer_thread.h"
#include "shared/allocation.h"
#include "shared/debug_log.h"
#include "shared/device_table.h"
#include "shared/ini_record.h"
#include "shared/text_field.h"
#include "tests/support/console_capture.h"
#include "tests/support/debug_lines.h"
#include "tests/support/snmpsim_fixture.h"

namespace {

using osktest::occurrences;

// The time that has passed, which the tick count follows; the system
// clock reads it moved by the step a test has made.
std::atomic<std::int64_t> g_now{1'000'000};
std::atomic<std::int64_t> g_wall_step{0};
std::atomic<int> g_steps{0};
std::atomic<int> g_stop_at_step{0}; // 0: never

std::int64_t fake_clock() { return g_now + g_wall_step; }
std::int64_t fake_ticks() { return g_now; }

void fake_pause(platform::DWORD milliseconds) {
    EXPECT_EQ(milliseconds, 250u);
    if (++g_steps == g_stop_at_step)
        platform::SetEvent(g_hShutdownEvent);
}

// An IPv6 address gets no SNMP session: the poll ends at once with no
// answer and touches nothing.
constexpr const char *kSilentUps = "::1";

// The scheduler's state for a test, on a plain test or on one with a
// simulated UPS.
template <typename Base> class SchedulerOn : public Base {
  protected:
    void SetUp() override {
        Base::SetUp();
        for (std::uint16_t n = 0; n < device_slots; ++n)
            SM_DEV[n] = static_cast<TDevice *>(SHmalloc(sizeof(TDevice), 1, n));
        g_hShutdownEvent = platform::CreateEventA(nullptr, platform::TRUE, platform::FALSE, nullptr);
        g_now = 1'000'000;
        g_wall_step = 0;
        g_steps = 0;
        g_stop_at_step = 0;
        set_poll_clock(fake_clock);
        set_poll_ticks(fake_ticks);
        set_poll_pause(fake_pause);
        tcpip_dev_index = 0;
        poll_busy = 0;
        bDebug = 1;
        k_monitor = 3;
        k_monitor1 = 0;
        platform::set_fixed_local_time({2024, 1, 1, 15, 10, 20, 30, 0});
    }
    void TearDown() override {
        set_poll_clock(nullptr);
        set_poll_ticks(nullptr);
        set_poll_pause(nullptr);
        platform::reset_local_time();
        platform::CloseHandle(g_hShutdownEvent);
        g_hShutdownEvent = nullptr;
        for (std::uint16_t n = 0; n < device_slots; ++n) {
            SHfree(SM_DEV[n]);
            SM_DEV[n] = nullptr;
            set_ready_status(n, 0);
        }
        bDebug = 0;
        k_monitor = 0;
        k_monitor1 = 0;
        Base::TearDown();
    }

    static void snmp_slot(std::uint16_t slot, const char *port = kSilentUps, std::uint16_t device = 7) {
        TDevice &record = *SM_DEV[slot];
        std::snprintf(record.Name, sizeof record.Name, "ups-%u", slot);
        fill_text_field(record.Port, port);
        record.Connection = AGSNMP;
        record.Device = device;
        record.DeviceType = 255;
    }

    // One run that must poll; the steps it took.
    static int polling_run() {
        g_steps = 0;
        EXPECT_EQ(TimerProcessing(), 1);
        return g_steps;
    }

    ConsoleCapture console_;
};

using Scheduler = SchedulerOn<::testing::Test>;

struct WalkCase {
    std::uint16_t slot;
    int steps;
};

class FirstRun : public Scheduler, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(FirstRun, ExaminesSlotOneFirstAndSlotZeroLast) {
    snmp_slot(GetParam().slot);
    EXPECT_EQ(polling_run(), GetParam().steps);
    EXPECT_EQ(tcpip_dev_index, GetParam().slot);
    EXPECT_EQ(SM_DEV[GetParam().slot]->LastRequest, g_now);
    EXPECT_EQ(poll_busy, 0);
}

INSTANTIATE_TEST_SUITE_P(Slots, FirstRun,
                         ::testing::Values(WalkCase{1, 1}, WalkCase{5, 5}, WalkCase{31, 31}, WalkCase{0, 32}),
                         [](const auto &info) { return "Slot" + std::to_string(info.param.slot); });

TEST_F(Scheduler, EachRunStartsAfterTheSlotPolledLast) {
    snmp_slot(3);
    snmp_slot(7);
    EXPECT_EQ(polling_run(), 3);
    g_now += 1;
    EXPECT_EQ(polling_run(), 4);
    g_now += 1;
    EXPECT_EQ(polling_run(), 28);
    EXPECT_EQ(tcpip_dev_index, 3);
}

TEST_F(Scheduler, PassesOverSlotsWithoutRecordAndSlotsThatAreNotSnmp) {
    SHfree(SM_DEV[2]);
    SM_DEV[2] = nullptr;
    std::snprintf(SM_DEV[4]->Name, sizeof SM_DEV[4]->Name, "serial ups");
    SM_DEV[4]->Connection = 1;
    snmp_slot(6);
    EXPECT_EQ(polling_run(), 6);
    EXPECT_EQ(SM_DEV[4]->LastRequest, 0);
    EXPECT_EQ(tcpip_dev_index, 6);
}

// At the limit the browse record shows the loss in place of the last
// status; the status flags and the device data block keep theirs.
TEST_F(Scheduler, AUpsThatNeverAnswersCountsUpAndLosesItsFlagFromTheFourthExamination) {
    snmp_slot(0);
    set_ready_status(0, 1);
    fill_text_field(SM_DEV[0]->StatusText, "AC Fail, Low Battery !");
    fill_text_field(SM_DEV[0]->DataStatusText, "AC Fail, Low Battery !");
    SM_DEV[0]->StatusFlags = status_on_battery | status_low_battery;
    const int want_count[] = {1, 3, 5, 6, 7};
    const std::int32_t want_ready[] = {1, 1, 1, 0, 0};
    const std::size_t want_max_lines[] = {0, 0, 0, 1, 2};
    const char *want_text[] = {"AC Fail, Low Battery !", "AC Fail, Low Battery !",
                               "AC Fail, Low Battery !", "Communication is lost !",
                               "Communication is lost !"};
    for (int run = 0; run < 5; ++run) {
        polling_run();
        std::int32_t ready = -1;
        TDevice record;
        device_snapshot(0, &record, &ready);
        EXPECT_EQ(record.ErrorCount, want_count[run]) << "run " << run + 1;
        EXPECT_EQ(ready, want_ready[run]) << "run " << run + 1;
        EXPECT_EQ(occurrences(console_.text(), "\nERROR PACKET MAX"), want_max_lines[run]) << "run " << run + 1;
        EXPECT_EQ(std::string(record.StatusText), want_text[run]) << "run " << run + 1;
        EXPECT_EQ(std::string(record.DataStatusText), "AC Fail, Low Battery !");
        EXPECT_EQ(record.StatusFlags, status_on_battery | status_low_battery);
        EXPECT_EQ(record.LastRequest, g_now);
        g_now += 9; // each examination lies more than 5 s after the last
    }
    EXPECT_EQ(occurrences(console_.text(), "RESP Dev:"), 0u);
}

TEST_F(Scheduler, AMissIsCountedFiveSecondsAfterTheLastCountedOne) {
    snmp_slot(0);
    const std::int64_t start = g_now;
    polling_run(); // the first poll: no earlier request, the poll adds one
    EXPECT_EQ(SM_DEV[0]->ErrorCount, 1);
    g_now = start + 1;
    polling_run(); // never answered: a miss, and the poll adds one
    EXPECT_EQ(SM_DEV[0]->ErrorCount, 3);
    EXPECT_EQ(SM_DEV[0]->LastResponse, start + 1);
    g_now = start + 5;
    polling_run(); // 4 s after the counted miss: none
    EXPECT_EQ(SM_DEV[0]->ErrorCount, 4);
    EXPECT_EQ(SM_DEV[0]->LastResponse, start + 1);
    EXPECT_EQ(occurrences(console_.text(), "\nERROR PACKET MAX"), 0u);
    g_now = start + 6;
    polling_run(); // 5 s: at the limit
    EXPECT_EQ(SM_DEV[0]->LastResponse, start + 6);
    EXPECT_EQ(occurrences(console_.text(), "\nERROR PACKET MAX"), 1u);
}

// The system clock stepped an hour back or forward after the second run,
// while the UPS never answers: every run still polls it after one round of
// the slots, its misses are counted and reach their limit at the same runs
// as without the step, and the record's times are the system clock's,
// stepped or not.
struct ClockStepCase {
    const char *name;
    std::int64_t step;
};

void PrintTo(const ClockStepCase &c, std::ostream *os) { *os << c.name; }

class ClockStep : public Scheduler, public ::testing::WithParamInterface<ClockStepCase> {};

TEST_P(ClockStep, ChangesNeitherThePollRhythmNorTheLossDetection) {
    snmp_slot(0);
    set_ready_status(0, 1);
    const std::int64_t start = g_now;
    struct Run {
        std::int64_t at; // seconds after the first run
        int count;
        std::int32_t ready;
        std::size_t max_lines;
        std::int64_t counted_miss_at; // the last counted miss; -1: none yet
    };
    const Run runs[] = {
        {0, 1, 1, 0, -1}, // no earlier request: no miss, the poll adds one
        {1, 3, 1, 0, 1},  // never answered: a miss, and the poll adds one
        {2, 4, 1, 0, 1},  // the step; a second after the counted miss: none
        {7, 5, 0, 1, 7},  // 6 s after it: at the limit
        {8, 6, 0, 1, 7},
    };
    const auto wall = [&](std::int64_t at) { return start + at + (at >= 2 ? GetParam().step : 0); };
    for (const Run &run : runs) {
        g_now = start + run.at;
        g_wall_step = run.at >= 2 ? GetParam().step : 0;
        // A run that finds nothing due ends only at the stop event.
        g_stop_at_step = 64;
        EXPECT_EQ(polling_run(), 32) << "run at " << run.at;
        std::int32_t ready = -1;
        TDevice record;
        device_snapshot(0, &record, &ready);
        EXPECT_EQ(record.ErrorCount, run.count) << "run at " << run.at;
        EXPECT_EQ(ready, run.ready) << "run at " << run.at;
        EXPECT_EQ(occurrences(console_.text(), "\nERROR PACKET MAX"), run.max_lines)
            << "run at " << run.at;
        EXPECT_EQ(record.LastRequest, wall(run.at)) << "run at " << run.at;
        EXPECT_EQ(record.LastResponse, run.counted_miss_at < 0 ? 0 : wall(run.counted_miss_at))
            << "run at " << run.at;
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, ClockStep,
                         ::testing::Values(ClockStepCase{"none", 0},
                                           ClockStepCase{"hour_back", -3600},
                                           ClockStepCase{"hour_forward", 3600}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(Scheduler, TheStopEventEndsAWalkWithinOneSlotStep) {
    g_stop_at_step = 10;
    EXPECT_EQ(TimerProcessing(), 0);
    EXPECT_EQ(g_steps, 10);
    EXPECT_EQ(poll_busy, 0);
}

TEST_F(Scheduler, ARunEndsAtOnceWhenTheStopEventIsAlreadySignalled) {
    snmp_slot(1);
    platform::SetEvent(g_hShutdownEvent);
    EXPECT_EQ(TimerProcessing(), 0);
    EXPECT_EQ(g_steps, 0);
    EXPECT_EQ(SM_DEV[1]->LastRequest, 0);
}

TEST_F(Scheduler, ARunInProgressKeepsASecondFromStarting) {
    snmp_slot(1);
    poll_busy = 1;
    EXPECT_EQ(TimerProcessing(), 1);
    EXPECT_EQ(g_steps, 0);
    EXPECT_EQ(SM_DEV[1]->LastRequest, 0);
}

class RequestLine : public Scheduler, public ::testing::WithParamInterface<std::uint8_t> {};

TEST_P(RequestLine, IsWrittenFromTraceLevelTwo) {
    snmp_slot(3);
    k_monitor1 = GetParam();
    polling_run();
    const std::string line = " 01\\15 10:20:30  RQ Dev:03                ups-3             ::1 07 255 CS:0  \n";
    EXPECT_EQ(occurrences(console_.text(), line), GetParam() >= 2 ? 1u : 0u) << console_.text();
    EXPECT_EQ(occurrences(console_.text(), "RQ Dev:"), GetParam() >= 2 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Levels, RequestLine, ::testing::Values(0, 1, 2, 10));

TEST_F(Scheduler, TheRequestLineShowsWholeTwentyCharacterFields) {
    snmp_slot(12);
    std::memcpy(SM_DEV[12]->Name, "ABCDEFGHIJKLMNOPQRST", 20);
    k_monitor1 = 2;
    polling_run();
    EXPECT_EQ(occurrences(console_.text(), "RQ Dev:12 ABCDEFGHIJKLMNOPQRST             ::1 07 255 CS:0"), 1u)
        << console_.text();
}

// A UPS that answers: the real poll of a simulated UPS.
class SchedulerWithUps : public SchedulerOn<osktest::SnmpsimTest> {
  protected:
    void SetUp() override {
        SchedulerOn<osktest::SnmpsimTest>::SetUp();
        std::memset(&INI, 0, sizeof INI);
        std::strncpy(INI.UPS[4].SNMPGetComm, "online", sizeof INI.UPS[4].SNMPGetComm);
        std::strncpy(INI.UPS[4].SNMPSetComm, "online", sizeof INI.UPS[4].SNMPSetComm);
        snmp_slot(4, agent_address());
    }
};

// A poll with errors (result 1) is answered as much as one without.
struct AnsweredCase {
    const char *community;
    // Error lines of the poll itself.
    std::size_t errors;
};

void PrintTo(const AnsweredCase &c, std::ostream *os) { *os << c.community; }

class AnsweredPoll : public SchedulerWithUps, public ::testing::WithParamInterface<AnsweredCase> {};

TEST_P(AnsweredPoll, ResetsTheMissedCountAndIsLogged) {
    fill_text_field(INI.UPS[4].SNMPGetComm, GetParam().community);
    SM_DEV[4]->ErrorCount = 3;
    SM_DEV[4]->LastRequest = g_now - 60;
    SM_DEV[4]->LastResponse = g_now - 60;
    SM_DEV[4]->RequestTicks = g_now - 60;
    SM_DEV[4]->ResponseTicks = g_now - 60;
    k_monitor1 = 2;
    polling_run();
    TDevice record;
    std::int32_t ready = 0;
    device_snapshot(4, &record, &ready);
    EXPECT_EQ(record.ErrorCount, 0); // the miss counted at the examination is reset too
    EXPECT_EQ(record.LastResponse, g_now);
    EXPECT_EQ(record.LastRequest, g_now);
    EXPECT_EQ(ready, 1);
    const std::string text = console_.text();
    const std::string tail = std::string(" ") + agent_address() + " 07 255 CS:0  \n";
    const auto rq = text.find("  RQ Dev:04                ups-4 ");
    const auto resp = text.find("  RESP Dev:04                ups-4 ");
    ASSERT_NE(rq, std::string::npos) << text;
    ASSERT_NE(resp, std::string::npos) << text;
    EXPECT_LT(rq, resp);
    EXPECT_NE(text.find(tail, resp), std::string::npos) << text;
    EXPECT_EQ(occurrences(text, "SNMP++ Get Error"), GetParam().errors) << text;
}

INSTANTIATE_TEST_SUITE_P(Results, AnsweredPoll,
                         ::testing::Values(AnsweredCase{"online", 0},
                                           // upsAlarmsPresent unanswered: an agent error.
                                           AnsweredCase{"alarms_present_missing", 1}),
                         [](const auto &info) { return std::string(info.param.community); });

TEST_F(SchedulerWithUps, AnsweredPollsNeverReachTheLimit) {
    set_ready_status(4, 0);
    for (int run = 0; run < 6; ++run) {
        polling_run();
        EXPECT_EQ(SM_DEV[4]->ErrorCount, 0);
        g_now += 9;
    }
    EXPECT_EQ(occurrences(console_.text(), "\nERROR PACKET MAX"), 0u);
    EXPECT_EQ(occurrences(console_.text(), "RESP Dev:04"), 6u);
    EXPECT_EQ(occurrences(console_.text(), "RQ Dev:04"), 0u); // below trace level 2
}

// An answered poll after the system clock was set back an hour: it comes
// at its time, and the response time kept and sent to clients in the
// device data block is the system clock's.
TEST_F(SchedulerWithUps, AnAnsweredPollAfterTheClockWasSetBackKeepsTheSystemClocksTimes) {
    polling_run();
    g_now += 9;
    g_wall_step = -3600;
    g_stop_at_step = 64;
    EXPECT_EQ(polling_run(), 32);
    TDevice record;
    std::int32_t ready = 0;
    device_snapshot(4, &record, &ready);
    const std::int64_t wall = g_now + g_wall_step;
    EXPECT_EQ(ready, 1);
    EXPECT_EQ(record.ErrorCount, 0);
    EXPECT_EQ(record.LastRequest, wall);
    EXPECT_EQ(record.LastResponse, wall);
    EXPECT_EQ(record.DataResponseTime, static_cast<std::uint32_t>(wall));
}

} // namespace

