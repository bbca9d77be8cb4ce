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

// Whether the request in in_packet_header is a cancel command that would be
// queued: SET_UPSCOMMAND with command 6 while remote commands are not
// ignored. The receive lets such a request through for a device that is
// not communicating, so that a shutdown queued before an outage can still
// be cancelled before the UPS answers again.
bool cancel_command_request();
