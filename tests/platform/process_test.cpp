// Process priority: the normal class puts every thread of the process at
// nice 0, those already running included, and threads started afterwards
// take it on; other handles and classes are refused.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <future>
#include <thread>

#include "platform/last_error.h"
#include "platform/process.h"
#include "tests/support/nice_value.h"

namespace {

using namespace platform;
using osktest::nice_of;

// Both threads at nice 7, then the normal class: 0 when it reached both
// and a thread started afterwards; else the step that found otherwise.
int normal_class_on_two_threads() {
    std::promise<pid_t> other_tid;
    std::promise<void> go;
    std::promise<int> later_nice;
    std::thread other([&, go_given = go.get_future()] {
        other_tid.set_value(::gettid());
        go_given.wait();
        std::thread([&] { later_nice.set_value(nice_of(::gettid())); }).join();
    });
    const pid_t tid = other_tid.get_future().get();
    const int step = [&] {
        if (::setpriority(PRIO_PROCESS, 0, 7) != 0 || ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), 7) != 0)
            return 1;
        if (!SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS))
            return 2;
        if (nice_of(::gettid()) != 0)
            return 3;
        return nice_of(tid) != 0 ? 4 : 0;
    }();
    go.set_value();
    other.join();
    if (step != 0)
        return step;
    return later_nice.get_future().get() == 0 ? 0 : 5;
}

TEST(ProcessPriority, NormalClassSetsNiceZeroOnEveryThread) {
    if (!osktest::may_lower_nice())
        GTEST_SKIP() << "this process may not lower its nice value";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(normal_class_on_two_threads()), ::testing::ExitedWithCode(0), "");
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
