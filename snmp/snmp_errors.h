// Status values of the SNMP session calls: 0 for success, the agent's
// error status (1 to 5 in SNMP version 1) for an answer that reports an
// error, and negative values for failures of the library itself.
#pragma once

// Library statuses.
constexpr int SNMP_CLASS_SUCCESS = 0;
constexpr int SNMP_CLASS_ERROR = -1;
constexpr int SNMP_CLASS_RESOURCE_UNAVAIL = -2;
constexpr int SNMP_CLASS_TIMEOUT = -5;
constexpr int SNMP_CLASS_INVALID = -10;
constexpr int SNMP_CLASS_INVALID_PDU = -11;
constexpr int SNMP_CLASS_INVALID_TARGET = -12;
constexpr int SNMP_CLASS_INVALID_OID = -17;
constexpr int SNMP_CLASS_INVALID_ADDRESS = -18;
constexpr int SNMP_CLASS_ERR_STATUS_SET = -19;
constexpr int SNMP_CLASS_TL_UNSUPPORTED = -20;
constexpr int SNMP_CLASS_TL_FAILED = -22;
// An answer that does not fit the request: another number of bindings, or
// a binding for another object than the one asked for (for GET-NEXT: one
// that does not come after it).
constexpr int SNMP_CLASS_ANSWER_MISMATCH = -23;
constexpr int SNMP_CLASS_ASN1ERROR = -51;

// Error statuses an SNMP version 1 agent answers with.
constexpr int SNMP_ERROR_SUCCESS = 0;
constexpr int SNMP_ERROR_TOO_BIG = 1;
constexpr int SNMP_ERROR_NO_SUCH_NAME = 2;
constexpr int SNMP_ERROR_BAD_VALUE = 3;
constexpr int SNMP_ERROR_READ_ONLY = 4;
constexpr int SNMP_ERROR_GENERAL_VB_ERR = 5;
