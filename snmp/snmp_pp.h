// The whole SNMP layer the poller uses, in one include.
#pragma once

#include "snmp/address.h"
#include "snmp/octet_str.h"
#include "snmp/oid.h"
#include "snmp/pdu.h"
#include "snmp/smi.h"
#include "snmp/snmp.h"
#include "snmp/snmp_errors.h"
#include "snmp/snmp_int32.h"
#include "snmp/target.h"
#include "snmp/vb.h"
