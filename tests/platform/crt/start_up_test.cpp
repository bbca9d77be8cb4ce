// The start-up code: the argument list as the entry sees it, the entry's
// result as the exit code, writes to a closed pipe that fail instead of
// ending the process, and closed standard descriptors taken by /dev/null
// before the entry opens anything.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/crt/start_up.h"

namespace {

int g_seen_count = 0;
std::string g_seen_first;

int entry_returning_five() {
    g_seen_count = platform::ArgumentCount();
    g_seen_first = platform::Argument(1);
    return 5;
}

int entry_writing_to_a_closed_pipe() {
    int fds[2];
    if (::pipe(fds) != 0)
        return 1;
    ::close(fds[0]);
    const ssize_t n = ::write(fds[1], "x", 1);
    const int err = errno;
    ::close(fds[1]);
    return n < 0 && err == EPIPE ? 0 : 2;
}

bool is_dev_null(int fd) {
    struct stat null_st{};
    struct stat st{};
    return ::stat("/dev/null", &null_st) == 0 && ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) &&
           st.st_rdev == null_st.st_rdev;
}

// 0 when the three standard descriptors are /dev/null and a pipe opened
// now lies above them.
int entry_checking_standard_descriptors() {
    for (int fd = 0; fd <= 2; ++fd)
        if (!is_dev_null(fd))
            return 10 + fd;
    int fds[2];
    if (::pipe(fds) != 0)
        return 3;
    return fds[0] > 2 && fds[1] > 2 ? 0 : 4;
}

TEST(StartUp, RunsTheEntryWithTheArgumentsAndReturnsItsResult) {
    char program[] = "/opt/osk/oskavelde";
    char option[] = "-debug";
    char *argv[] = {program, option, nullptr};
    EXPECT_EQ(platform::StartUp(2, argv, entry_returning_five), 5);
    EXPECT_EQ(g_seen_count, 2);
    EXPECT_EQ(g_seen_first, "-debug");
    EXPECT_STREQ(platform::Argument(0), "/opt/osk/oskavelde");
    EXPECT_EQ(platform::Argument(2), nullptr);
    EXPECT_EQ(platform::Argument(-1), nullptr);
}

TEST(StartUp, ABrokenPipeIsAWriteErrorNotTheEndOfTheProcess) {
    char program[] = "oskavelde";
    char *argv[] = {program, nullptr};
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(platform::StartUp(1, argv, entry_writing_to_a_closed_pipe)),
                ::testing::ExitedWithCode(0), "");
}

TEST(StartUp, ClosedStandardDescriptorsAreOpenedOnDevNull) {
    char program[] = "oskavelde";
    char *argv[] = {program, nullptr};
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Standard error is closed too, so the exit code carries the outcome.
    EXPECT_EXIT(
        {
            ::close(0);
            ::close(1);
            ::close(2);
            std::exit(platform::StartUp(1, argv, entry_checking_standard_descriptors));
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(StartUp, NoArgumentListBeforeItIsSet) {
    platform::SetArguments(0, nullptr);
    EXPECT_EQ(platform::ArgumentCount(), 0);
    EXPECT_EQ(platform::Argument(0), nullptr);
}

} // namespace
