// One tick of the network thread: the waiting datagrams are received,
// traced, let through the gate or dropped, parsed, and answered to the
// address and port they came from. The buffers are process-wide and used
// by the network thread only.
#pragma once

#include <cstdint>

#include "platform/winsock.h"
#include "server/protocol.h"

// The received datagram, cleared before every receive, so that the bytes
// beyond a short datagram read as 0; and its length.
extern std::uint8_t in_packet[max_datagram];
extern std::int32_t in_length;
// The response being composed, header included, and its length.
extern std::uint8_t out_packet[max_datagram];
extern std::int32_t out_length;
// The headers of the request being handled and of the response.
extern DataNet *in_packet_header;
extern DataNet *out_packet_header;
// The sender of the last datagram, and the destination of every response
// (a copy of from_receive taken at each send).
extern platform::sockaddr_in from_receive;
extern platform::sockaddr_in from_response;
// The dotted text of the last sender's address.
extern char last_snmp_peer_name[20];

// Most datagrams taken in one tick.
constexpr int datagrams_per_tick = 6;

// One tick: up to 6 datagrams from pasive_udp_socket, each answered before
// the next is taken; nothing while the port is not open.
void NetworkComm();

// Takes one datagram. 0 taken (answered or dropped), 1 nothing waiting (a
// failed query of the waiting bytes included), 2 the receive failed or gave
// no bytes (a datagram over 2500 bytes among them), 9 socket 0, 200 a
// receive already in progress.
int udp_receive(int socket, std::uint8_t *unused);

// Sends out_length bytes of out_packet to the last sender. 0 sent (also
// when the send itself fails), 1 nothing to send (16 bytes or less),
// 9 socket 0.
int udp_rs_send(int socket);

// Sends a datagram with its trace: from k_monitor1 3 on the "sent" line
// and the dump, from 4 on a failed send with its error code. 0 sent, else
// the error code of the failed send (also left as WSAGetLastError); the
// agent's responses pass over it, a lost response being lost as UDP loses
// it, while the client's request sender reports it.
int send_datagram(int socket, const std::uint8_t *data, int length,
                  const platform::sockaddr_in &to, const char *address_text);
