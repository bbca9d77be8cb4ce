// Environment look-up with the Windows rules: names in any case, the
// length or the needed size as result, the buffer untouched on a miss.
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/environment.h"
#include "platform/last_error.h"

namespace {

struct EnvCase {
    const char *query;
    platform::DWORD size;
    platform::DWORD result;
    const char *buffer; // content afterwards
};

class EnvironmentTest : public ::testing::TestWithParam<EnvCase> {
  protected:
    static void SetUpTestSuite() {
        ::setenv("OSK_ENV_VALUE", "hello", 1);
        ::setenv("OSK_ENV_EMPTY", "", 1);
        ::setenv("osk_env_twice", "lower", 1);
        ::setenv("OSK_ENV_TWICE", "upper", 1);
    }
};

TEST_P(EnvironmentTest, LooksUpAsWindowsDoes) {
    const EnvCase &c = GetParam();
    char buffer[64];
    std::strcpy(buffer, "untouched");
    platform::SetLastError(0);
    EXPECT_EQ(platform::GetEnvironmentVariableA(c.query, buffer, c.size), c.result);
    EXPECT_STREQ(buffer, c.buffer);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EnvironmentTest,
    ::testing::Values(EnvCase{"OSK_ENV_VALUE", 64, 5, "hello"},     // exact name
                      EnvCase{"osk_env_value", 64, 5, "hello"},     // other case
                      EnvCase{"Osk_Env_Value", 64, 5, "hello"},     // mixed case
                      EnvCase{"OSK_ENV_VALUE", 6, 5, "hello"},      // value and NUL just fit
                      EnvCase{"OSK_ENV_VALUE", 5, 6, "untouched"},  // no room for the NUL
                      EnvCase{"OSK_ENV_VALUE", 0, 6, "untouched"},  // no buffer at all
                      EnvCase{"OSK_ENV", 64, 0, "untouched"},       // a prefix is not the name
                      EnvCase{"OSK_ENV_VALUE_X", 64, 0, "untouched"}, // nor a longer one
                      EnvCase{"OSK_ENV_EMPTY", 64, 0, ""},          // set but empty
                      EnvCase{"OSK_ENV_VALUE=", 64, 0, "untouched"}, // '=' never names a variable
                      EnvCase{"", 64, 0, "untouched"},
                      EnvCase{"OSK_ENV_TWICE", 64, 5, "upper"},     // the exact spelling wins
                      EnvCase{"osk_env_twice", 64, 5, "lower"}));

TEST(Environment, MissingVariableSetsLastError) {
    char buffer[8] = "keep";
    EXPECT_EQ(platform::GetEnvironmentVariableA("OSK_ENV_NOT_THERE", buffer, sizeof buffer), 0u);
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_ENVVAR_NOT_FOUND);
    EXPECT_STREQ(buffer, "keep");
}

TEST(Environment, AllUsersProfileFoundInAnyCase) {
    ::setenv("ALLUSERSPROFILE", "/srv/kervon-data", 1);
    char buffer[256] = {};
    EXPECT_EQ(platform::GetEnvironmentVariableA("allusersprofile", buffer, sizeof buffer), 16u);
    EXPECT_STREQ(buffer, "/srv/kervon-data");
    ::unsetenv("ALLUSERSPROFILE");
}

} // namespace
