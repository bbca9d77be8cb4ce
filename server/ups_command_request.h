// The reading of a client's SET_UPSCOMMAND request, shared by the receive
// gate, which lets a cancel through for a device that is not
// communicating, and by the queueing, which stores it: both take the
// request for what this one decoding makes of it.
#pragma once

#include <cstdint>

#include "server/protocol.h"

// What a SET_UPSCOMMAND request asks for.
struct UpsCommandRequest {
    std::uint16_t command; // payload bytes 0 and 1
    std::uint16_t delay;   // payload bytes 2 and 3, in seconds
    bool cancel;           // the cancel command, the only one the agent takes
    bool ignored;          // [System] IgnoreRemoteUPSCommands refuses every command
};

// The two little-endian payload words of the request behind the header,
// on any host; the request must lie in a buffer that holds its payload
// bytes (the receive buffer, zeroed beyond a short datagram).
UpsCommandRequest decode_ups_command(const DataNet *request);

// The payload word at the offset behind the request's header, little-endian
// on any host.
std::uint16_t request_payload_word(const DataNet *request, int offset);

// Whether [System] IgnoreRemoteUPSCommands refuses the clients' commands.
bool remote_commands_ignored();

// A cancel that the queueing stores for a slot that exists.
inline bool queues_cancel(const UpsCommandRequest &request) {
    return request.cancel && !request.ignored;
}
