// Values of variable bindings and their printable text.
#include "snmp/vb.h"

#include <cinttypes>
#include <cstdio>

void Vb::set_value(const SnmpInt32 &value) {
    syntax_ = sNMP_SYNTAX_INT32;
    signed_ = static_cast<long>(value);
}

const char *Vb::get_printable_value() const {
    char number[24];
    switch (syntax_) {
    case sNMP_SYNTAX_INT:
        std::snprintf(number, sizeof number, "%" PRId64, signed_);
        printable_ = number;
        break;
    case sNMP_SYNTAX_CNTR32:
    case sNMP_SYNTAX_GAUGE32:
    case sNMP_SYNTAX_TIMETICKS:
    case sNMP_SYNTAX_UINT32:
    case sNMP_SYNTAX_CNTR64:
        std::snprintf(number, sizeof number, "%" PRIu64, unsigned_);
        printable_ = number;
        break;
    case sNMP_SYNTAX_OCTETS:
    case sNMP_SYNTAX_OPAQUE:
    case sNMP_SYNTAX_BITS:
        printable_ = bytes_;
        break;
    case sNMP_SYNTAX_IPADDR:
        printable_.clear();
        for (std::size_t i = 0; i < bytes_.size(); ++i) {
            std::snprintf(number, sizeof number, i == 0 ? "%u" : ".%u",
                          static_cast<unsigned>(static_cast<unsigned char>(bytes_[i])));
            printable_ += number;
        }
        break;
    case sNMP_SYNTAX_OID:
        printable_ = oid_value_.get_printable();
        break;
    default:
        printable_.clear();
        break;
    }
    return printable_.c_str();
}
