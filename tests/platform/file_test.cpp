// File creation: the dispositions of CreateFileA, the mode of a file
// created open to everyone whatever the umask, and a creation that never
// goes through a link.
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/handle.h"
#include "platform/last_error.h"
#include "platform/security.h"
#include "tests/support/scratch_dir.h"

namespace {

using platform::DWORD;
using platform::HANDLE;

unsigned mode_of(const std::string &path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

bool exists(const std::string &path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0;
}

// Attributes whose descriptor grants everyone every access.
struct OpenAttributes {
    OpenAttributes() {
        EXPECT_TRUE(platform::InitializeSecurityDescriptor(&descriptor, platform::SECURITY_DESCRIPTOR_REVISION));
        EXPECT_TRUE(platform::SetSecurityDescriptorDacl(&descriptor, platform::TRUE, nullptr, platform::FALSE));
    }
    platform::SECURITY_DESCRIPTOR descriptor;
    platform::SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, platform::FALSE};
};

class CreateFileTest : public ::testing::Test {
  protected:
    void SetUp() override { old_umask_ = ::umask(077); }
    void TearDown() override { ::umask(old_umask_); }
    ScratchDir dir_;
    mode_t old_umask_ = 0;
};

struct DispositionCase {
    const char *name;
    DWORD disposition;
    bool exists_before;
    bool opens;
    DWORD error;
    const char *content_after; // of a file that held "old"; null: no file
};

class DispositionTest : public CreateFileTest, public ::testing::WithParamInterface<DispositionCase> {};

TEST_P(DispositionTest, OpensCreatesOrRefuses) {
    const DispositionCase &c = GetParam();
    const std::string path = dir_.file("f");
    if (c.exists_before)
        write_file_bytes(path, "old");
    platform::SetLastError(12345);
    HANDLE h = platform::CreateFileA(path.c_str(), platform::GENERIC_READ | platform::GENERIC_WRITE, 0, nullptr,
                                     c.disposition, platform::FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(h != platform::INVALID_HANDLE_VALUE, c.opens);
    EXPECT_EQ(platform::GetLastError(), c.error);
    if (c.opens) {
        EXPECT_TRUE(platform::CloseHandle(h));
    }
    if (c.content_after == nullptr) {
        EXPECT_FALSE(exists(path));
    } else {
        EXPECT_EQ(read_file_bytes(path), c.content_after);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DispositionTest,
    ::testing::Values(
        DispositionCase{"CreateNewMissing", platform::CREATE_NEW, false, true, platform::ERROR_SUCCESS, ""},
        DispositionCase{"CreateNewExisting", platform::CREATE_NEW, true, false, platform::ERROR_FILE_EXISTS, "old"},
        DispositionCase{"CreateAlwaysMissing", platform::CREATE_ALWAYS, false, true, platform::ERROR_SUCCESS, ""},
        DispositionCase{"CreateAlwaysExisting", platform::CREATE_ALWAYS, true, true, platform::ERROR_ALREADY_EXISTS,
                        ""},
        DispositionCase{"OpenExistingMissing", platform::OPEN_EXISTING, false, false, platform::ERROR_FILE_NOT_FOUND,
                        nullptr},
        DispositionCase{"OpenExistingExisting", platform::OPEN_EXISTING, true, true, platform::ERROR_SUCCESS, "old"},
        DispositionCase{"OpenAlwaysMissing", platform::OPEN_ALWAYS, false, true, platform::ERROR_SUCCESS, ""},
        DispositionCase{"OpenAlwaysExisting", platform::OPEN_ALWAYS, true, true, platform::ERROR_ALREADY_EXISTS,
                        "old"},
        DispositionCase{"TruncateMissing", platform::TRUNCATE_EXISTING, false, false, platform::ERROR_FILE_NOT_FOUND,
                        nullptr},
        DispositionCase{"TruncateExisting", platform::TRUNCATE_EXISTING, true, true, platform::ERROR_SUCCESS, ""},
        DispositionCase{"UnknownDisposition", 9, false, false, platform::ERROR_INVALID_PARAMETER, nullptr}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CreateFileTest, OpenDescriptorGivesMode0666DespiteUmask) {
    OpenAttributes open;
    const std::string path = dir_.file("open");
    HANDLE h = platform::CreateFileA(path.c_str(), platform::FILE_ALL_ACCESS, 0, &open.attributes,
                                     platform::CREATE_NEW, platform::FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, platform::INVALID_HANDLE_VALUE);
    EXPECT_TRUE(platform::CloseHandle(h));
    EXPECT_EQ(mode_of(path), 0666u);
}

TEST_F(CreateFileTest, DefaultSecurityFollowsUmask) {
    const std::string path = dir_.file("private");
    HANDLE h = platform::CreateFileA(path.c_str(), platform::FILE_ALL_ACCESS, 0, nullptr, platform::CREATE_NEW,
                                     platform::FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, platform::INVALID_HANDLE_VALUE);
    platform::CloseHandle(h);
    EXPECT_EQ(mode_of(path), 0600u);
}

TEST_F(CreateFileTest, ExistingFileKeepsItsMode) {
    OpenAttributes open;
    const std::string path = dir_.file("kept");
    write_file_bytes(path, "x");
    ::chmod(path.c_str(), 0640);
    HANDLE h = platform::CreateFileA(path.c_str(), platform::FILE_ALL_ACCESS, 0, &open.attributes,
                                     platform::OPEN_ALWAYS, platform::FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, platform::INVALID_HANDLE_VALUE);
    platform::CloseHandle(h);
    EXPECT_EQ(mode_of(path), 0640u);
}

TEST_F(CreateFileTest, MissingDirectoryFails) {
    OpenAttributes open;
    const std::string path = dir_.file("no/such/dir/f");
    EXPECT_EQ(platform::CreateFileA(path.c_str(), platform::FILE_ALL_ACCESS, 0, &open.attributes,
                                    platform::CREATE_NEW, platform::FILE_ATTRIBUTE_NORMAL, nullptr),
              platform::INVALID_HANDLE_VALUE);
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_FILE_NOT_FOUND);
}

// The debug log's creation: a link planted in the file's place, whether it
// points at a file or at nothing, makes the creation fail as for any
// existing file, and nothing appears or changes where it points.
TEST_F(CreateFileTest, CreateNewDoesNotGoThroughALink) {
    OpenAttributes open;
    const std::string file = dir_.file("file");
    const std::string nothing = dir_.file("nothing");
    write_file_bytes(file, "kept");
    for (const std::string &target : {file, nothing}) {
        const std::string link = dir_.file("link");
        std::filesystem::remove(link);
        std::filesystem::create_symlink(target, link);
        EXPECT_EQ(platform::CreateFileA(link.c_str(), platform::FILE_ALL_ACCESS, 0, &open.attributes,
                                        platform::CREATE_NEW, platform::FILE_ATTRIBUTE_NORMAL, nullptr),
                  platform::INVALID_HANDLE_VALUE)
            << target;
        EXPECT_EQ(platform::GetLastError(), platform::ERROR_FILE_EXISTS) << target;
    }
    EXPECT_EQ(read_file_bytes(file), "kept");
    EXPECT_EQ(mode_of(file), 0600u);
    EXPECT_FALSE(exists(nothing));
}

} // namespace
