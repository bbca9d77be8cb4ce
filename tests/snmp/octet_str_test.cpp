// Octet strings of the SNMP layer: counted bytes, texts and no text.
#include <gtest/gtest.h>

#include "snmp/snmp_pp.h"

namespace {

TEST(OctetStr, CountedBytesAndText) {
    const unsigned char community[4] = {'p', 'u', 'b', 'l'};
    const OctetStr counted(community, sizeof community);
    EXPECT_EQ(counted.len(), 4u);
    EXPECT_STREQ(counted.get_printable(), "publ");
    EXPECT_STREQ(OctetStr("private").get_printable(), "private");
    EXPECT_EQ(OctetStr(static_cast<const char *>(nullptr)).len(), 0u);
}

} // namespace
