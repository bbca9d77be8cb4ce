// Octet strings made from text or from counted bytes.
#include "snmp/octet_str.h"

OctetStr::OctetStr(const char *text) {
    if (text != nullptr)
        bytes_ = text;
}

OctetStr::OctetStr(const unsigned char *data, unsigned long len) {
    if (data != nullptr)
        bytes_.assign(reinterpret_cast<const char *>(data), len);
}
