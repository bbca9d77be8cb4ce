// The client side of the protocol: a complete request sender, used by the
// oskavelde-client; the agent itself does not call it.
#pragma once

#include <cstdint>

#include "platform/winsock.h"

// The request being sent and its length, and its destination.
extern std::uint8_t out_packet1[2500];
extern std::int32_t out_length1;
extern platform::sockaddr_in from_request;

// Sends a request of the given type for the device number from the socket
// to the host (a host name, looked up, or an IPv4 address, of at most 20
// characters), port [Network] Port + 4 modulo 65536. SET_UPSSHUTDOWN and
// SET_UPSCOMMAND carry the payload (cut to what the buffer holds),
// GET_DEVDATA the six characters "**0200", the others none. 0 sent, 1 bad
// destination address (a longer host text among them: it is refused, not
// cut), 2 the send failed (WSAGetLastError tells why), 9 socket 0.
int udp_rq_send(int socket, int type, const char *host, std::uint16_t device,
                const std::uint8_t *payload, std::uint16_t payload_length);
