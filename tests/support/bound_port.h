// The local UDP port that a socket is bound to, for the tests that check
// which port the agent's socket took. The platform's socket layer has no
// call for it, so it is asked from the system here.
#pragma once

#include <cstdint>

// The socket's local port; 0 when it is not bound or cannot be asked.
std::uint16_t bound_port(int socket);
