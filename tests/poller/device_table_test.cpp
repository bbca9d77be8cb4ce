// Hand-over of device records and communication flags from the timer
// thread to a reader on another thread: whole copies, never a mix of two
// publications, and no access outside the table.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include "shared/device_table.h"

namespace {

class DeviceTable : public ::testing::Test {
  protected:
    std::unique_ptr<TDevice> record = std::make_unique<TDevice>();

    void SetUp() override {
        std::memset(record.get(), 0, sizeof(TDevice));
        SM_DEV[3] = record.get();
        set_ready_status(3, 0);
    }
    void TearDown() override {
        SM_DEV[3] = nullptr;
        set_ready_status(3, 0);
    }
};

TEST_F(DeviceTable, PublishedRecordAndFlagComeBackTogether) {
    TDevice work = *record;
    std::strncpy(work.StatusText, "AC Fail !", sizeof work.StatusText);
    work.StatusFlags = status_on_battery;
    device_publish_ready(3, work, 1);

    TDevice copy;
    std::int32_t ready = -1;
    ASSERT_TRUE(device_snapshot(3, &copy, &ready));
    EXPECT_EQ(ready, 1);
    EXPECT_EQ(std::memcmp(&copy, &work, sizeof copy), 0);

    TDevice blank;
    std::memset(&blank, 0, sizeof blank);
    device_publish(3, blank);  // the record alone: the flag stays
    ASSERT_TRUE(device_snapshot(3, &copy, &ready));
    EXPECT_EQ(copy.StatusFlags, 0);
    EXPECT_EQ(ready, 1);
}

TEST_F(DeviceTable, SlotWithoutRecordStillHasItsFlag) {
    set_ready_status(4, 1);
    TDevice copy;
    copy.CS = 77;
    std::int32_t ready = 0;
    EXPECT_FALSE(device_snapshot(4, &copy, &ready));
    EXPECT_EQ(copy.CS, 77);
    EXPECT_EQ(ready, 1);
    device_publish(4, *record);  // nowhere to copy to
    set_ready_status(4, 0);
}

TEST_F(DeviceTable, SlotsOutsideTheTableArePassedOver) {
    TDevice copy;
    std::int32_t ready = 5;
    EXPECT_FALSE(device_snapshot(32, &copy, &ready));
    EXPECT_FALSE(device_snapshot(0xFFFF, nullptr, &ready));
    EXPECT_EQ(ready, 5);
    device_publish_ready(32, *record, 1);
    set_ready_status(0xFFFF, 1);
}

// A writer publishes records whose texts and flag all carry the same
// number; a reader on another thread must never see two numbers at once.
TEST_F(DeviceTable, ReaderNeverSeesAHalfWrittenRecord) {
    std::atomic<bool> done{false};
    std::thread writer([&] {
        TDevice work;
        std::memset(&work, 0, sizeof work);
        for (int i = 0; i < 20000; ++i) {
            const char c = static_cast<char>('A' + i % 26);
            std::memset(work.DataStatusText, c, sizeof work.DataStatusText);
            std::memset(work.StatusText, c, sizeof work.StatusText);
            std::memset(work.MarkerBytes, c, sizeof work.MarkerBytes);
            device_publish_ready(3, work, c);
        }
        done = true;
    });
    int torn = 0;
    TDevice copy;
    std::int32_t ready = 0;
    while (!done) {
        device_snapshot(3, &copy, &ready);
        const char c = copy.DataStatusText[0];
        if (c == 0)
            continue;
        if (ready != c || copy.StatusText[29] != c || copy.MarkerBytes[23] != c ||
            copy.DataStatusText[29] != c)
            ++torn;
    }
    writer.join();
    EXPECT_EQ(torn, 0);
}

} // namespace
