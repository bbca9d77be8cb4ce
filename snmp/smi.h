// Syntax codes of a variable binding's value, as Vb::get_syntax reports
// them: the ASN.1 tags of the SMI types, the SNMPv2 exceptions included.
#pragma once

using SmiUINT32 = unsigned long;

constexpr SmiUINT32 sNMP_SYNTAX_INT = 0x02;
constexpr SmiUINT32 sNMP_SYNTAX_INT32 = sNMP_SYNTAX_INT;
constexpr SmiUINT32 sNMP_SYNTAX_BITS = 0x03;
constexpr SmiUINT32 sNMP_SYNTAX_OCTETS = 0x04;
constexpr SmiUINT32 sNMP_SYNTAX_NULL = 0x05;
constexpr SmiUINT32 sNMP_SYNTAX_OID = 0x06;
constexpr SmiUINT32 sNMP_SYNTAX_IPADDR = 0x40;
constexpr SmiUINT32 sNMP_SYNTAX_CNTR32 = 0x41;
constexpr SmiUINT32 sNMP_SYNTAX_GAUGE32 = 0x42;
constexpr SmiUINT32 sNMP_SYNTAX_TIMETICKS = 0x43;
constexpr SmiUINT32 sNMP_SYNTAX_OPAQUE = 0x44;
constexpr SmiUINT32 sNMP_SYNTAX_CNTR64 = 0x46;
constexpr SmiUINT32 sNMP_SYNTAX_UINT32 = 0x47;
constexpr SmiUINT32 sNMP_SYNTAX_NOSUCHOBJECT = 0x80;
constexpr SmiUINT32 sNMP_SYNTAX_NOSUCHINSTANCE = 0x81;
constexpr SmiUINT32 sNMP_SYNTAX_ENDOFMIBVIEW = 0x82;
