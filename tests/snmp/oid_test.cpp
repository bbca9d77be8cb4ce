// Object identifiers of the SNMP layer: dotted texts, their limits and
// their printable form, and identifiers from raw sub-identifiers.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "snmp/snmp_pp.h"

namespace {

struct OidCase {
    std::string text;
    bool valid;
    std::string printable;
};

void PrintTo(const OidCase &c, std::ostream *os) {
    *os << '"' << (c.text.size() > 40 ? c.text.substr(0, 40) + "..." : c.text) << '"';
}

class OidTest : public ::testing::TestWithParam<OidCase> {};

TEST_P(OidTest, ParsesDottedText) {
    const OidCase &c = GetParam();
    const Oid oid(c.text.c_str());
    EXPECT_EQ(oid.valid(), c.valid) << c.text;
    EXPECT_EQ(std::string(oid.get_printable()), c.printable) << c.text;
}

std::string dotted_ones(int count) {
    std::string text = "1";
    for (int i = 1; i < count; ++i)
        text += ".1";
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, OidTest,
    ::testing::Values(OidCase{"1.3.6.1.2.1.33.1.6.1.0", true, "1.3.6.1.2.1.33.1.6.1.0"},
                      OidCase{".1.3.6.1.2.1.33", true, "1.3.6.1.2.1.33"},
                      OidCase{"1.3.4294967295", true, "1.3.4294967295"},
                      OidCase{"1.3.4294967296", false, ""},
                      OidCase{dotted_ones(128), true, dotted_ones(128)},
                      OidCase{dotted_ones(129), false, ""},
                      OidCase{"1..3", false, ""},
                      OidCase{"1.3.", false, ""},
                      OidCase{"1.3.6.1.2.1.33.1.6.2.1.2.abc", false, ""},
                      OidCase{"20", true, "20"},
                      OidCase{"", false, ""}));

TEST(Oid, RawSubIdentifiers) {
    const unsigned long raw[] = {1, 3, 6, 1, 2, 1, 33};
    EXPECT_STREQ(Oid(raw, 7).get_printable(), "1.3.6.1.2.1.33");
    EXPECT_FALSE(Oid(raw, 0).valid());
    EXPECT_EQ(Oid(raw, 7)[6], 33u);
    EXPECT_EQ(Oid(raw, 7)[7], 0u);
    EXPECT_STREQ(Oid("\x01\x03\x06", false).get_printable(), "1.3.6");
}

} // namespace
