// Agent addresses: a UDP endpoint made from an address text, that is a
// dotted IPv4 address, an IPv6 address or a host name, optionally followed
// by a port ("host:port", "host/port", "[v6]:port", "v6/port"). Host names
// are resolved when the address is made, IPv4 first.
#pragma once

#include <cstdint>

class Address {
  public:
    virtual ~Address() = default;
    // False for a text that is neither an address nor a resolvable name.
    bool valid() const { return valid_; }

  protected:
    Address() = default;
    bool valid_ = false;
};

class IpAddress : public Address {
  public:
    enum version_type { version_ipv4, version_ipv6 };
    version_type get_ip_version() const { return version_; }

  protected:
    IpAddress() = default;
    // Takes a literal address or resolves a host name; false when neither.
    bool set_host(const char *host);

    version_type version_ = version_ipv4;
    // Network byte order; an IPv4 address uses the first 4 bytes.
    std::uint8_t bytes_[16] = {};

    friend class Snmp;
};

class UdpAddress : public IpAddress {
  public:
    // An invalid address.
    UdpAddress() = default;
    // A text without a port gets the SNMP agent port 161.
    explicit UdpAddress(const char *text);

    void set_port(unsigned short port) { port_ = port; }
    unsigned short get_port() const { return port_; }

  private:
    unsigned short port_ = 161;
};
