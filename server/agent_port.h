// The agent's UDP port for the monitoring clients and the start of the
// socket layer for it.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/winsock.h"

// The agent socket; 0 while not open. Stored once, after the socket is
// wholly set up and the pending commands are cleared, and read by the
// network thread at every tick: the atomic hand-over makes everything the
// set-up wrote before it visible to that thread.
extern std::atomic<std::int32_t> pasive_udp_socket;

// Start state of the socket layer for the protocol server: 0 not started,
// 1 a start was tried and has not succeeded, 2 ready.
extern std::uint8_t WinsockInitialized;

// The local host name, and the dotted IPv4 text of its first address
// (empty when the name is not looked up or not found); sent in every
// browse record.
extern char local_node[256];
extern char local_ipaddr[20];

// The one buffer of dotted IPv4 texts of the protocol server.
extern char ntoa_buf[16];

// Opens the agent's port ([Network] Port minus 4) once. 0 open (also when
// it already was), 1 the socket layer failed to start, 2 the socket failed.
int open_tcpip_port();

// Starts the socket layer (version 1.1) and reports it: 0 ready, 1 failure.
int InitWinsock();

// A non-blocking UDP socket on every local address and the low 16 bits of
// the port, with broadcasts allowed; clears the pending commands and
// records the local host name and address. The socket, or 0.
int udp_open(int unused, int port);

// Not called by the agent: closes the agent socket and ends its use of the
// socket layer; udp_close closes any socket.
int close_tcpip_port();
int udp_close(int socket);

// Whether a host name is looked up: not when it is empty or made only of
// digits and full stops with a digit or full stop first.
bool host_name_looked_up(const char *name);

// The first IPv4 address of a host name that is looked up; false when the
// name is not looked up or not found.
bool look_up_host(const char *name, platform::in_addr *address);

// gethostbyname for a name that is looked up, else null. Not called by the
// agent.
platform::hostent *mygethostbyname(const char *name);

// The dotted text of the address in ntoa_buf ("%d.%d.%d.%d" of its bytes
// in network order); returns ntoa_buf.
char *inet_ntoa_custom(platform::in_addr address);
