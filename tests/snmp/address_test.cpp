// Address texts of the SNMP layer: IPv4 and IPv6 addresses, host names
// and ports in the forms the configuration may give, and the texts that
// are no address.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "snmp/snmp_pp.h"

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

} // namespace
