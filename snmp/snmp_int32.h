// A signed 32-bit SNMP INTEGER value, as written with SET.
#pragma once

#include <cstdint>

class SnmpInt32 {
  public:
    // Keeps the low 32 bits of the value.
    SnmpInt32(long value = 0) : value_(static_cast<std::int32_t>(value)) {}
    operator long() const { return value_; }

  private:
    std::int32_t value_;
};
