// The agent a request goes to and how it is sent: the UDP address, the SNMP
// version, the time-out of one try and the number of retries, and for a
// community target the read community (GET, GET-NEXT) and the write
// community (SET).
#pragma once

#include "snmp/address.h"
#include "snmp/octet_str.h"

enum snmp_version { version1 };

class SnmpTarget {
  public:
    virtual ~SnmpTarget() = default;

    // False when the address given was not a valid UDP address.
    bool valid() const { return address_.valid(); }

    void set_version(snmp_version version) { version_ = version; }
    snmp_version get_version() const { return version_; }
    // Retries after the first try; a negative count is taken as 0.
    void set_retry(int retries) { retries_ = retries < 0 ? 0 : retries; }
    int get_retry() const { return retries_; }
    // Time-out of every try in hundredths of a second.
    void set_timeout(unsigned long centiseconds) { timeout_ = centiseconds; }
    unsigned long get_timeout() const { return timeout_; }

  protected:
    explicit SnmpTarget(const Address &address);

    UdpAddress address_;
    snmp_version version_ = version1;
    int retries_ = 1;
    unsigned long timeout_ = 100;

    friend class Snmp;
};

class CTarget : public SnmpTarget {
  public:
    // Version 1, 1 retry, 1 s, both communities "public".
    explicit CTarget(const Address &address) : SnmpTarget(address) {}

    void set_readcommunity(const OctetStr &community) { read_community_ = community; }
    void set_writecommunity(const OctetStr &community) { write_community_ = community; }

  private:
    OctetStr read_community_{"public"};
    OctetStr write_community_{"public"};

    friend class Snmp;
};
