// The agent's UDP port for the monitoring clients and the start of the
// socket layer for it.
#pragma once

#include <cstdint>

// The agent socket; 0 while not open.
extern std::int32_t pasive_udp_socket;

// Opens the agent's port ([Network] Port minus 4) once. 0 open (also when
// it already was), 1 the socket layer failed to start, 2 the socket failed.
int open_tcpip_port();
