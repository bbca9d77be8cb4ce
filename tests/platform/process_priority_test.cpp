// Process priority: the normal class puts the process at nice 0; other
// handles and classes are refused.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include "platform/last_error.h"
#include "platform/process.h"

namespace {

using namespace platform;

TEST(ProcessPriority, NormalClassSetsNiceZero) {
    EXPECT_TRUE(SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(::getpriority(PRIO_PROCESS, 0), 0);
}

TEST(ProcessPriority, RefusesOtherHandlesAndClasses) {
    int dummy = 0;
    SetLastError(0);
    EXPECT_FALSE(SetPriorityClass(&dummy, NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(SetPriorityClass(GetCurrentProcess(), 0x40));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

} // namespace
