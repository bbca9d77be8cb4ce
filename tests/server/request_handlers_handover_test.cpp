// Answers while the poller publishes new versions of the records: every
// answer comes from one whole version of its record, never from parts of
// two, for the status, the device data block and the browse records.
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "server/protocol.h"
#include "shared/device_table.h"
#include "tests/server/agent_fixture.h"

namespace {

class RecordHandoverTest : public AgentFixture {
  protected:
    // The record of the slot at a version: both texts name it and every
    // byte of the data block's values area holds its low byte.
    static void version_of(TDevice *r, unsigned version) {
        std::memset(r->Reserved096, static_cast<int>(version & 0xFF), sizeof r->Reserved096);
        std::snprintf(r->StatusText, sizeof r->StatusText, "version %u", version);
        std::snprintf(r->CommText, sizeof r->CommText, "version %u", version);
    }
};

TEST_F(RecordHandoverTest, AnswersNeverMixTwoVersionsOfARecord) {
    add_device(0, "polled", 7);
    std::atomic<bool> writing{true};
    std::thread poller([&] {
        TDevice copy;
        device_snapshot(0, &copy, nullptr);
        for (unsigned version = 1; writing.load(); ++version) {
            version_of(&copy, version);
            device_publish(0, copy);
        }
    });

    int answers = 0;
    for (int round = 0; round < 200; ++round) {
        for (const std::string &d :
             exchange({request_datagram(GET_STATUS, 7), request_datagram(GET_DEVDATA, 7),
                       request_datagram(GET_BROWSEDATA, 7)},
                      5)) {
            ++answers;
            if (d.size() == 97u) {
                EXPECT_EQ(d.substr(16 + 2, 30), d.substr(16 + 33, 30));
            } else if (d.size() == 692u) {
                const std::string values = d.substr(16 + 96, 154);
                EXPECT_EQ(values, std::string(154, values[0]));
            } else {
                ASSERT_EQ(d.size(), 264u);
                EXPECT_EQ(d.substr(16 + 184, 30), d.substr(16 + 214, 30));
            }
        }
    }
    writing = false;
    poller.join();
    EXPECT_EQ(answers, 600);
}

} // namespace
