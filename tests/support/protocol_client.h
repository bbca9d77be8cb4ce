// The tests' side of the client protocol: a UDP socket on loopback that
// sends raw datagrams to the agent's port and collects what comes back,
// and the opening of the agent's port on a free port of the test's own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/winsock.h"

// A non-blocking UDP socket of the test, bound by its first send.
class ProtocolClient {
  public:
    ProtocolClient();
    ~ProtocolClient();
    ProtocolClient(const ProtocolClient &) = delete;
    ProtocolClient &operator=(const ProtocolClient &) = delete;

    platform::SOCKET socket() const { return socket_; }

    // Sends the bytes as one datagram to 127.0.0.1 and the port.
    void send(std::uint16_t port, const std::string &datagram);

    // Every datagram that arrives within wait_ms of the call or of the
    // previous datagram, in arrival order.
    std::vector<std::string> receive_all(int wait_ms = 100);

  private:
    platform::SOCKET socket_;
};

// Binds the socket to the address (a dotted IPv4 text; every local
// address when null) and a port that no other process holds there, and
// returns the port (0 when none was found).
std::uint16_t bind_free_port(platform::SOCKET s, const char *address = nullptr);

// Binds the socket to the address and the port; false when it is taken.
bool bind_port(platform::SOCKET s, const char *address, std::uint16_t port);

// Opens the agent's port with open_tcpip_port on a port that no other
// process holds (trying others when the first is taken) and returns it;
// once open, the port stays for the life of the test program.
std::uint16_t open_agent_port_for_test();

// Request bytes: a DataNet header in wire order (Size 16 plus the
// payload's length, RR as given) followed by the payload.
std::string request_datagram(std::uint16_t type, std::uint16_t device,
                             const std::string &payload = std::string(), std::uint16_t rr = 0);

// Two little-endian words as a command request's payload.
std::string payload_words(std::uint16_t first, std::uint16_t second);
