// Status evaluation: the status text and status flag byte that clients see,
// worked out from the flag bytes that a poll has just stored.
#pragma once

#include "shared/device_record.h"

// Sets StatusText and StatusFlags of the poll's working record and
// refreshes the head of its device data block (status, communication and
// auxiliary texts, codes, response time) and the BitWord copies.
void prepocet_Braxo_stat(TDevice &record);

// Sets StatusText to "Communication is lost !" and nothing else: the
// status flags and the device data block keep what the last evaluation
// wrote. A browse record, which is sent whether the UPS communicates or
// not, then shows the loss instead of a status the UPS may no longer have;
// the next poll that establishes communication evaluates the status again.
void show_comm_lost(TDevice &record);
