// bound_port over the system's getsockname.
#include "tests/support/bound_port.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

std::uint16_t bound_port(int socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(socket, reinterpret_cast<sockaddr *>(&address), &length) != 0 ||
        address.sin_family != AF_INET)
        return 0;
    return ntohs(address.sin_port);
}
