// The two command requests of the clients, SET_UPSSHUTDOWN and
// SET_UPSCOMMAND: each stores one pending command for the addressed slot,
// which the poller carries out at the end of the slot's next poll.
#pragma once

#include <cstdint>

// Both read the slot number from the Dev of in_packet_header and two
// little-endian values from payload bytes 0..3, and compose no response.
// [System] IgnoreRemoteUPSCommands refuses every command.
void SetUpsShutdown();
void SetUpsCommand();
