// The communication log: entry format with a fixed clock, dump lines of 17
// items with their closing flushes, the k_monitor thresholds, and both
// worker threads writing at once.
#include <regex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/local_time.h"
#include "server/comm_log.h"
#include "shared/debug_log.h"
#include "tests/support/console_capture.h"

namespace {

class CommLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Whatever an earlier test left pending goes now, unwritten.
        k_monitor = 0;
        detail_monitor(0, DUMP_FLUSH);
        bDebug = 1;
        platform::set_fixed_local_time(platform::SYSTEMTIME{2024, 12, 1, 9, 14, 3, 7, 0});
        console_.clear();
    }
    void TearDown() override {
        k_monitor = 0;
        bDebug = 0;
        platform::reset_local_time();
    }
    ConsoleCapture console_;
};

// The dump line of count bytes from first upwards, in one direction.
std::string items(int first, int count, const char *arrow) {
    std::string line;
    char item[8];
    for (int i = first; i < first + count; ++i) {
        std::snprintf(item, sizeof item, "%s%02X", arrow, i);
        line += item;
    }
    return line;
}

void feed(int count, std::uint8_t direction) {
    for (int i = 0; i < count; ++i)
        detail_monitor(static_cast<std::uint8_t>(i), direction);
}

TEST_F(CommLogTest, EntryCarriesDateTimeAndBlanks) {
    k_monitor = 1;
    zapis_stat_com("UDP  : Agent parse ... OK ");
    zapis_stat_com("UDP  : Agent parse ... OK");
    EXPECT_EQ(console_.text(), " 12\\09 14:03:07  UDP  : Agent parse ... OK   \n"
                               " 12\\09 14:03:07  UDP  : Agent parse ... OK  \n");
}

TEST_F(CommLogTest, EntryPadsEveryFieldToTwoDigits) {
    k_monitor = 1;
    platform::set_fixed_local_time(platform::SYSTEMTIME{2025, 1, 3, 2, 0, 5, 9, 0});
    zapis_stat_com("RQ Dev:00");
    zapis_stat_com("");
    EXPECT_EQ(console_.text(), " 01\\02 00:05:09  RQ Dev:00  \n 01\\02 00:05:09    \n");
}

TEST_F(CommLogTest, OverLongTextIsCutKeepingTheLineEnd) {
    k_monitor = 1;
    zapis_stat_com(std::string(5000, 'x').c_str());
    EXPECT_EQ(console_.text(), " 12\\09 14:03:07  " + std::string(1000, 'x') + "  \n");
}

struct DumpCase {
    const char *name;
    int bytes;
    std::uint8_t direction;
    std::uint8_t closing;
    std::string expected;
};

class DumpTest : public CommLogTest, public ::testing::WithParamInterface<DumpCase> {};

TEST_P(DumpTest, WritesLinesOfSeventeenItems) {
    const DumpCase &c = GetParam();
    k_monitor = 3;
    feed(c.bytes, c.direction);
    detail_monitor(0, c.closing);
    EXPECT_EQ(console_.text(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DumpTest,
    ::testing::Values(
        // The 17th byte writes its line; the closing flush then writes "\n\r" alone.
        DumpCase{"Seventeen", 17, DUMP_RECEIVED, DUMP_FLUSH, items(0, 17, "<-") + "\n\r" + "\n\r"},
        DumpCase{"TwentyFive", 25, DUMP_SENT, DUMP_FLUSH,
                 items(0, 17, "->") + "\n\r" + items(17, 8, "->") + "\n\r"},
        DumpCase{"ThirtyCut", 30, DUMP_RECEIVED, DUMP_FLUSH_CUT,
                 items(0, 17, "<-") + "\n\r" + items(17, 13, "<-") + " ...\n\r"},
        DumpCase{"NothingPending", 0, DUMP_RECEIVED, DUMP_FLUSH, "\n\r"},
        DumpCase{"NothingPendingCut", 0, DUMP_RECEIVED, DUMP_FLUSH_CUT, " ...\n\r"},
        DumpCase{"AnyHigherDirectionFlushes", 3, DUMP_SENT, 200, items(0, 3, "->") + "\n\r"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CommLogTest, ItemsShowDirectionAndUpperCaseHex) {
    k_monitor = 3;
    detail_monitor(0xAB, DUMP_RECEIVED);
    detail_monitor(0x0f, DUMP_SENT);
    detail_monitor(0xFF, DUMP_RECEIVED);
    detail_monitor(0, DUMP_FLUSH);
    EXPECT_EQ(console_.text(), "<-AB->0F<-FF\n\r");
}

TEST_F(CommLogTest, EntryFirstClosesThePendingDump) {
    k_monitor = 3;
    feed(5, DUMP_SENT);
    zapis_stat_com("UDP  : Send");
    feed(2, DUMP_SENT);
    detail_monitor(0, DUMP_FLUSH);
    EXPECT_EQ(console_.text(), items(0, 5, "->") + "\n\r" + " 12\\09 14:03:07  UDP  : Send  \n" + items(0, 2, "->") +
                                   "\n\r");
}

struct LevelCase {
    std::uint8_t k_monitor;
    std::string expected;
};

class LevelTest : public CommLogTest, public ::testing::WithParamInterface<LevelCase> {};

// A heading, a cut dump of 20 bytes, then a second entry.
TEST_P(LevelTest, ThresholdsSelectEntriesAndDumps) {
    k_monitor = GetParam().k_monitor;
    zapis_stat_com("UDP  : Receive");
    feed(20, DUMP_RECEIVED);
    detail_monitor(0, DUMP_FLUSH_CUT);
    zapis_stat_com("UDP  : Agent parse ... OK ");
    EXPECT_EQ(console_.text(), GetParam().expected);
}

const std::string kFirst = " 12\\09 14:03:07  UDP  : Receive  \n";
const std::string kSecond = " 12\\09 14:03:07  UDP  : Agent parse ... OK   \n";
const std::string kDump = items(0, 17, "<-") + "\n\r" + items(17, 3, "<-") + " ...\n\r";

INSTANTIATE_TEST_SUITE_P(Levels, LevelTest,
                         ::testing::Values(LevelCase{0, ""}, LevelCase{1, kFirst + kSecond},
                                           LevelCase{2, kFirst + kSecond},
                                           // Every entry is now preceded by the empty flush's "\n\r".
                                           LevelCase{3, "\n\r" + kFirst + kDump + "\n\r" + kSecond},
                                           LevelCase{10, "\n\r" + kFirst + kDump + "\n\r" + kSecond}));

TEST_F(CommLogTest, SilentEntryStillDropsThePendingDump) {
    k_monitor = 0;
    feed(5, DUMP_RECEIVED);
    zapis_stat_com("UDP  : Receive");
    k_monitor = 3;
    detail_monitor(0, DUMP_FLUSH);
    EXPECT_EQ(console_.text(), "\n\r");
}

TEST_F(CommLogTest, TwoThreadsNeverBreakALine) {
    k_monitor = 3;
    constexpr int kRounds = 300;
    std::thread network([] {
        for (int r = 0; r < kRounds; ++r) {
            zapis_stat_com("UDP  : Receive");
            feed(30, DUMP_RECEIVED);
            detail_monitor(0, DUMP_FLUSH_CUT);
        }
    });
    std::thread timer([] {
        for (int r = 0; r < kRounds; ++r)
            zapis_stat_com("RQ Dev:00 UPS");
    });
    network.join();
    timer.join();

    // The whole output is a sequence of whole entries and whole dump lines;
    // a dump cut short by the other thread's entry goes on in a new line.
    const std::string all = console_.text();
    static const std::regex token(" 12\\\\09 14:03:07  (UDP  : Receive|RQ Dev:00 UPS)  \n"
                                  "|((<-|->)[0-9A-F]{2}){0,17}( \\.\\.\\.)?\n\r");
    std::size_t at = 0;
    int entries = 0;
    while (at < all.size()) {
        std::smatch m;
        const std::string rest = all.substr(at, 200);
        ASSERT_TRUE(std::regex_search(rest, m, token, std::regex_constants::match_continuous))
            << "broken line at " << at << ": " << rest;
        ASSERT_GT(m.length(0), 0);
        if (m[1].matched)
            ++entries;
        at += static_cast<std::size_t>(m.length(0));
    }
    EXPECT_EQ(entries, 2 * kRounds);
}

} // namespace
