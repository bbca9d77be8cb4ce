// Status evaluation: the status text and status flag byte that clients see,
// worked out from the flag bytes that a poll has just stored.
#pragma once

#include "shared/device_record.h"

// Sets StatusText and StatusFlags of the poll's working record and
// refreshes the head of its device data block (status, communication and
// auxiliary texts, codes, response time) and the BitWord copies.
void prepocet_Braxo_stat(TDevice &record);
