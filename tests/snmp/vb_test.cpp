// Variable bindings of the SNMP layer: the value a SET carries and a
// binding without a value.
#include <gtest/gtest.h>

#include "snmp/snmp_pp.h"

namespace {

TEST(Vb, ValueForSetAndEmptyBinding) {
    Vb empty(Oid("1.3.6.1.2.1.33.1.8.2.0"));
    EXPECT_EQ(empty.get_syntax(), sNMP_SYNTAX_NULL);
    EXPECT_STREQ(empty.get_printable_value(), "");

    Vb cancel(Oid("1.3.6.1.2.1.33.1.8.4.0"));
    cancel.set_value(SnmpInt32(-1));
    EXPECT_EQ(cancel.get_syntax(), sNMP_SYNTAX_INT32);
    EXPECT_STREQ(cancel.get_printable_value(), "-1");
    cancel.set_value(SnmpInt32(65535));
    EXPECT_STREQ(cancel.get_printable_value(), "65535");
    Oid oid;
    cancel.get_oid(oid);
    EXPECT_STREQ(oid.get_printable(), "1.3.6.1.2.1.33.1.8.4.0");
}

} // namespace
