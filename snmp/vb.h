// A variable binding: an object identifier and the value an agent gave for
// it, or the value to write with SET.
#pragma once

#include <cstdint>
#include <string>

#include "snmp/oid.h"
#include "snmp/smi.h"
#include "snmp/snmp_int32.h"

class Vb {
  public:
    // No identifier and no value.
    Vb() = default;
    // The identifier without a value, as a GET asks for it.
    explicit Vb(const Oid &oid) : oid_(oid) {}

    void set_oid(const Oid &oid) { oid_ = oid; }
    void get_oid(Oid &oid) const { oid = oid_; }
    void set_value(const SnmpInt32 &value);

    // sNMP_SYNTAX_NULL while the binding holds no value.
    SmiUINT32 get_syntax() const { return syntax_; }
    // Integers, gauges, counters and time ticks in decimal, octet strings
    // as their bytes (up to a NUL byte), object identifiers dotted, IP
    // addresses as dotted bytes; "" for no value and for the exceptions.
    const char *get_printable_value() const;

  private:
    friend class Snmp;
    friend class SnmpBinding;

    Oid oid_;
    SmiUINT32 syntax_ = sNMP_SYNTAX_NULL;
    // INTEGER, the unsigned 32-bit types and Counter64.
    std::int64_t signed_ = 0;
    std::uint64_t unsigned_ = 0;
    // Octet strings, opaque values, bit strings and IP addresses.
    std::string bytes_;
    // Object identifier values.
    Oid oid_value_;
    mutable std::string printable_;
};
