// Request bodies of the SNMP layer: bindings found by their index, and
// none outside the ones added.
#include <gtest/gtest.h>

#include "snmp/snmp_pp.h"

namespace {

TEST(Pdu, BindingsByIndex) {
    Pdu pdu;
    Vb vb(Oid("1.3.6.1.2.1.33.1.1.1.0"));
    EXPECT_FALSE(pdu.get_vb(vb, 0));
    pdu += Vb(Oid("1.3.6.1.2.1.33.1.1.2.0"));
    ASSERT_TRUE(pdu.get_vb(vb, 0));
    Oid oid;
    vb.get_oid(oid);
    EXPECT_STREQ(oid.get_printable(), "1.3.6.1.2.1.33.1.1.2.0");
    EXPECT_FALSE(pdu.get_vb(vb, 1));
    EXPECT_FALSE(pdu.get_vb(vb, -1));
}

} // namespace
