// Handles: a handle closes once, and what is no open handle is refused.
#include <string>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/handle.h"
#include "platform/last_error.h"
#include "tests/support/scratch_dir.h"

namespace {

using platform::HANDLE;

TEST(Handle, ClosesOnceAndRefusesWhatIsNoHandle) {
    ScratchDir dir;
    const std::string path = dir.file("h");
    HANDLE h = platform::CreateFileA(path.c_str(), platform::GENERIC_WRITE, 0, nullptr, platform::CREATE_NEW,
                                     platform::FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, platform::INVALID_HANDLE_VALUE);
    EXPECT_NE(platform::object_from_handle(h), nullptr);
    EXPECT_TRUE(platform::CloseHandle(h));
    EXPECT_EQ(platform::object_from_handle(h), nullptr);

    int not_a_handle = 0;
    for (HANDLE bad : {h, platform::INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr),
                       static_cast<HANDLE>(&not_a_handle)}) {
        platform::SetLastError(0);
        EXPECT_FALSE(platform::CloseHandle(bad));
        EXPECT_EQ(platform::GetLastError(), platform::ERROR_INVALID_HANDLE);
    }
}

} // namespace
