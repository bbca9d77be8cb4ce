// The request parser: composes the response header of a request that
// passed the receive gate, finds the addressed device slot and dispatches
// by the request type to the handlers that compose the response.
#pragma once

#include <cstdint>

// The lowest slot in use whose connection is AGSNMP and whose device number
// is the given one, or 32 when there is none; *ready (when given) receives
// that slot's communication flag, read together with its record.
std::uint16_t device_slot_lookup(std::uint16_t device, std::int32_t *ready);

// Parses the request in the receive buffer (its header already in host
// order; at least 20 bytes, the rest of a short datagram reading 0) and
// composes the response in the response buffer, starting its length at 0.
// The request's Dev becomes the slot number (index + 1) once found. The
// sender is its IPv4 address as the socket address stores it. 1 when the
// response buffer is to be sent, 0 when there is nothing more to send: for
// a datagram that is a response, and after browse records went out by
// themselves.
int udp_agent_parse(std::uint8_t *request, int received_length, std::uint8_t *response,
                    int *response_length, std::uint32_t sender, int socket);

// Composes the error response (type SEND_ERROR, payload the request type's
// low byte and the code, 19 bytes).
void SendError(std::uint8_t *response, int *response_length, char code);
