// Readable texts of the session statuses, for the agent's error lines.
#include "snmp/snmp.h"

const char *Snmp::error_msg(int status) {
    switch (status) {
    case SNMP_CLASS_SUCCESS:
        return "Success";
    case SNMP_ERROR_TOO_BIG:
        return "SNMP: Response too big";
    case SNMP_ERROR_NO_SUCH_NAME:
        return "SNMP: Variable does not exist";
    case SNMP_ERROR_BAD_VALUE:
        return "SNMP: Cannot modify variable: bad value";
    case SNMP_ERROR_READ_ONLY:
        return "SNMP: Cannot modify object: read only";
    case SNMP_ERROR_GENERAL_VB_ERR:
        return "SNMP: Cannot perform operation: general error";
    case SNMP_CLASS_ERROR:
        return "SNMP++: General error";
    case SNMP_CLASS_RESOURCE_UNAVAIL:
        return "SNMP++: Resource unavailable";
    case SNMP_CLASS_TIMEOUT:
        return "SNMP++: Request timed out";
    case SNMP_CLASS_INVALID:
        return "SNMP++: Session not created";
    case SNMP_CLASS_INVALID_PDU:
        return "SNMP++: Request without variable bindings";
    case SNMP_CLASS_INVALID_TARGET:
        return "SNMP++: Invalid target";
    case SNMP_CLASS_INVALID_OID:
        return "SNMP++: Invalid object identifier";
    case SNMP_CLASS_INVALID_ADDRESS:
        return "SNMP++: Invalid address";
    case SNMP_CLASS_ERR_STATUS_SET:
        return "SNMP++: Agent answered with an unknown error status";
    case SNMP_CLASS_TL_UNSUPPORTED:
        return "SNMP++: Transport not supported (IPv6)";
    case SNMP_CLASS_TL_FAILED:
        return "SNMP++: Transport operation failed";
    case SNMP_CLASS_ANSWER_MISMATCH:
        return "SNMP++: Answer does not match the request's bindings";
    case SNMP_CLASS_ASN1ERROR:
        return "SNMP++: Malformed answer";
    default:
        return "Unknown error code";
    }
}
