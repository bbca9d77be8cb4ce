// Status texts of the SNMP layer: one of its own for every status the
// session calls return, and the unknown code for anything else.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "snmp/snmp_pp.h"

namespace {

// Every status the session calls return has a text of its own; anything
// else is an unknown code.
TEST(SnmpErrorMsg, EveryStatusHasItsOwnText) {
    const int statuses[] = {SNMP_CLASS_SUCCESS,          SNMP_ERROR_TOO_BIG,
                            SNMP_ERROR_NO_SUCH_NAME,     SNMP_ERROR_BAD_VALUE,
                            SNMP_ERROR_READ_ONLY,        SNMP_ERROR_GENERAL_VB_ERR,
                            SNMP_CLASS_ERROR,            SNMP_CLASS_RESOURCE_UNAVAIL,
                            SNMP_CLASS_TIMEOUT,          SNMP_CLASS_INVALID,
                            SNMP_CLASS_INVALID_PDU,      SNMP_CLASS_INVALID_TARGET,
                            SNMP_CLASS_INVALID_OID,      SNMP_CLASS_INVALID_ADDRESS,
                            SNMP_CLASS_ERR_STATUS_SET,   SNMP_CLASS_TL_UNSUPPORTED,
                            SNMP_CLASS_TL_FAILED,        SNMP_CLASS_ANSWER_MISMATCH,
                            SNMP_CLASS_ASN1ERROR};
    std::set<std::string> texts;
    for (int status : statuses) {
        const std::string text = Snmp::error_msg(status);
        EXPECT_NE(text, "Unknown error code") << status;
        EXPECT_TRUE(texts.insert(text).second) << "text of " << status << " repeated: " << text;
    }
    EXPECT_EQ(SNMP_CLASS_TIMEOUT, -5);
    EXPECT_EQ(SNMP_CLASS_TL_FAILED, -22);
    EXPECT_STREQ(Snmp::error_msg(6), "Unknown error code");
    EXPECT_STREQ(Snmp::error_msg(-4), "Unknown error code");
    EXPECT_STREQ(Snmp::error_msg(-2147483647 - 1), "Unknown error code");
}

} // namespace
