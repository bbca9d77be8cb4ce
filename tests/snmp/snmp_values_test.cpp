// Address texts, object identifiers, bindings and status texts of the SNMP
// layer, without an agent; requests that cannot be sent.
#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>

#include "snmp/snmp_pp.h"
#include "tests/support/descriptors_used_up.h"

namespace {

struct AddressCase {
    const char *text;
    bool valid;
    IpAddress::version_type version;
    unsigned short port;
};

void PrintTo(const AddressCase &c, std::ostream *os) { *os << '"' << c.text << '"'; }

class UdpAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(UdpAddressTest, ParsesText) {
    const AddressCase &c = GetParam();
    UdpAddress address(c.text);
    ASSERT_EQ(address.valid(), c.valid) << c.text;
    if (!c.valid)
        return;
    EXPECT_EQ(address.get_ip_version(), c.version) << c.text;
    EXPECT_EQ(address.get_port(), c.port) << c.text;
    address.set_port(161);
    EXPECT_EQ(address.get_port(), 161);
}

constexpr auto V4 = IpAddress::version_ipv4;
constexpr auto V6 = IpAddress::version_ipv6;

INSTANTIATE_TEST_SUITE_P(
    Texts, UdpAddressTest,
    ::testing::Values(AddressCase{"192.168.10.20", true, V4, 161},
                      AddressCase{"127.0.0.2:1161", true, V4, 1161},
                      AddressCase{"127.0.0.2/1161", true, V4, 1161},
                      AddressCase{"localhost", true, V4, 161},
                      AddressCase{"localhost:162", true, V4, 162},
                      AddressCase{"::1", true, V6, 161},
                      AddressCase{"fe80::20c:29ff:fe9a:1", true, V6, 161},
                      AddressCase{"[::1]:162", true, V6, 162},
                      AddressCase{"::1/162", true, V6, 162},
                      AddressCase{"no-such-ups.invalid", false, V4, 0},
                      AddressCase{"no-such-ups.invalid:161", false, V4, 0},
                      AddressCase{"", false, V4, 0},
                      AddressCase{"127.0.0.2:", false, V4, 0},
                      AddressCase{"127.0.0.2:65536", false, V4, 0},
                      AddressCase{"127.0.0.2:16x", false, V4, 0},
                      AddressCase{"[::1", false, V4, 0},
                      AddressCase{"ups one", false, V4, 0}));

TEST(UdpAddress, NullAndOverlongTextsAreInvalid) {
    EXPECT_FALSE(UdpAddress(nullptr).valid());
    EXPECT_FALSE(UdpAddress(std::string(300, 'a').c_str()).valid());
    EXPECT_FALSE(UdpAddress().valid());
}

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

TEST(OctetStr, CountedBytesAndText) {
    const unsigned char community[4] = {'p', 'u', 'b', 'l'};
    const OctetStr counted(community, sizeof community);
    EXPECT_EQ(counted.len(), 4u);
    EXPECT_STREQ(counted.get_printable(), "publ");
    EXPECT_STREQ(OctetStr("private").get_printable(), "private");
    EXPECT_EQ(OctetStr(static_cast<const char *>(nullptr)).len(), 0u);
}

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
                            SNMP_CLASS_TL_FAILED,        SNMP_CLASS_ASN1ERROR};
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

TEST(SnmpSession, Ipv6SessionIsNotCreated) {
    int status = 0;
    Snmp session(status, 0, true);
    EXPECT_EQ(status, SNMP_CLASS_TL_UNSUPPORTED);
    EXPECT_STRNE(Snmp::error_msg(status), "Unknown error code");

    // A session that was not created sends nothing.
    UdpAddress agent("127.0.0.1");
    CTarget target(agent);
    Pdu pdu;
    pdu += Vb(Oid("1.3.6.1.2.1.33.1.1.1.0"));
    EXPECT_EQ(session.get(pdu, target), SNMP_CLASS_INVALID);
}

TEST(SnmpSession, RequestsThatCannotBeSent) {
    int status = -1;
    Snmp session(status);
    ASSERT_EQ(status, SNMP_CLASS_SUCCESS);
    Pdu pdu;
    pdu += Vb(Oid("1.3.6.1.2.1.33.1.1.1.0"));

    UdpAddress v6("::1");
    CTarget v6_target(v6);
    EXPECT_EQ(session.get(pdu, v6_target), SNMP_CLASS_TL_UNSUPPORTED);

    UdpAddress unknown("no-such-ups.invalid");
    CTarget unknown_target(unknown);
    EXPECT_FALSE(unknown_target.valid());
    EXPECT_EQ(session.get(pdu, unknown_target), SNMP_CLASS_INVALID_ADDRESS);

    UdpAddress agent("127.0.0.1");
    CTarget target(agent);
    Pdu empty;
    EXPECT_EQ(session.get(empty, target), SNMP_CLASS_INVALID_PDU);
    Pdu bad_oid;
    bad_oid += Vb(Oid("1.3.6.1.2.1.33.1.6.2.1.2.x"));
    EXPECT_EQ(session.get_next(bad_oid, target), SNMP_CLASS_INVALID_OID);

    // A send the network refuses (broadcast without permission) is a
    // transport failure, not a time-out.
    UdpAddress broadcast("255.255.255.255");
    CTarget broadcast_target(broadcast);
    EXPECT_EQ(session.get(pdu, broadcast_target), SNMP_CLASS_TL_FAILED);
}

// A session that cannot get a socket for a valid address (every
// descriptor of the process in use) has a transport failure, which the
// poll counts as a lost poll, not an address it could never reach.
TEST(SnmpSession, NoDescriptorForTheSocketIsATransportFailure) {
    int status = -1;
    Snmp session(status);
    ASSERT_EQ(status, SNMP_CLASS_SUCCESS);
    UdpAddress agent("127.0.0.1");
    agent.set_port(161);
    CTarget target(agent);
    Pdu pdu;
    pdu += Vb(Oid("1.3.6.1.2.1.33.1.1.1.0"));
    int outcome = 0;
    {
        osktest::DescriptorsUsedUp descriptors;
        ASSERT_TRUE(descriptors.used_up());
        outcome = session.get(pdu, target);
    }
    EXPECT_EQ(outcome, SNMP_CLASS_TL_FAILED);
}

} // namespace
