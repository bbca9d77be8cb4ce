// Security descriptors: only a present, null access list grants everyone
// every access; a wrong revision is refused.
#include <gtest/gtest.h>

#include "platform/last_error.h"
#include "platform/security.h"

namespace {

TEST(Security, OnlyPresentNullAccessListGrantsEveryone) {
    platform::SECURITY_DESCRIPTOR sd;
    platform::ACL some_list{};
    platform::SECURITY_ATTRIBUTES sa{sizeof sa, &sd, platform::FALSE};

    EXPECT_FALSE(platform::InitializeSecurityDescriptor(&sd, 2));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_UNKNOWN_REVISION);

    ASSERT_TRUE(platform::InitializeSecurityDescriptor(&sd, platform::SECURITY_DESCRIPTOR_REVISION));
    EXPECT_FALSE(platform::grants_everyone(&sa)); // no access list at all
    platform::SetSecurityDescriptorDacl(&sd, platform::TRUE, &some_list, platform::FALSE);
    EXPECT_FALSE(platform::grants_everyone(&sa)); // a list of its own
    platform::SetSecurityDescriptorDacl(&sd, platform::TRUE, nullptr, platform::FALSE);
    EXPECT_TRUE(platform::grants_everyone(&sa));
    platform::SetSecurityDescriptorDacl(&sd, platform::FALSE, nullptr, platform::FALSE);
    EXPECT_FALSE(platform::grants_everyone(&sa));

    platform::SECURITY_ATTRIBUTES no_descriptor{sizeof no_descriptor, nullptr, platform::FALSE};
    EXPECT_FALSE(platform::grants_everyone(&no_descriptor));
    EXPECT_FALSE(platform::grants_everyone(nullptr));
}

} // namespace
