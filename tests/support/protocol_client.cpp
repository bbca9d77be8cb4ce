// ProtocolClient and the test's agent port, over the platform's sockets.
#include "tests/support/protocol_client.h"

#include <cstdlib>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/thread.h"
#include "server/agent_port.h"
#include "shared/ini_record.h"

namespace {

constexpr int kPollMilliseconds = 2;
constexpr int kReceiveRoom = 65536;

void start_sockets() {
    static const bool started = [] {
        platform::WSADATA data;
        return platform::WSAStartup(platform::MAKEWORD(1, 1), &data) == 0;
    }();
    ASSERT_TRUE(started);
}

constexpr int kPortAttempts = 200;

// The attempt'th port to try: a start that differs from process to
// process, so that test programs running side by side seldom try the same
// ports, and steps through 20000..59999 from there.
std::uint16_t candidate_port(int attempt) {
    const unsigned start = static_cast<unsigned>(::getpid()) * 7919u % 40000u;
    return static_cast<std::uint16_t>(20000u +
                                      (start + 131u * static_cast<unsigned>(attempt)) % 40000u);
}

void put_word(std::string *out, std::uint16_t value) {
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>(value >> 8));
}

} // namespace

ProtocolClient::ProtocolClient() : socket_(platform::INVALID_SOCKET) {
    start_sockets();
    socket_ = platform::socket(platform::AF_INET, platform::SOCK_DGRAM, platform::IPPROTO_UDP);
    EXPECT_NE(socket_, platform::INVALID_SOCKET);
    platform::u_long non_blocking = 1;
    platform::ioctlsocket(socket_, platform::FIONBIO, &non_blocking);
}

ProtocolClient::~ProtocolClient() {
    if (socket_ != platform::INVALID_SOCKET)
        platform::closesocket(socket_);
}

void ProtocolClient::send(std::uint16_t port, const std::string &datagram) {
    platform::sockaddr_in to{};
    to.sin_family = platform::AF_INET;
    to.sin_port = platform::htons(port);
    to.sin_addr.s_addr = platform::inet_addr("127.0.0.1");
    const int sent =
        platform::sendto(socket_, datagram.data(), static_cast<int>(datagram.size()), 0,
                         reinterpret_cast<const platform::sockaddr *>(&to), sizeof to);
    EXPECT_EQ(sent, static_cast<int>(datagram.size())) << "error " << platform::WSAGetLastError();
}

std::vector<std::string> ProtocolClient::receive_all(int wait_ms) {
    std::vector<std::string> got;
    static char buffer[kReceiveRoom];
    int waited = 0;
    while (waited < wait_ms) {
        const int length = platform::recvfrom(socket_, buffer, sizeof buffer, 0, nullptr, nullptr);
        if (length < 0) {
            platform::Sleep(kPollMilliseconds);
            waited += kPollMilliseconds;
            continue;
        }
        got.emplace_back(buffer, static_cast<std::size_t>(length));
        waited = 0;
    }
    return got;
}

bool bind_port(platform::SOCKET s, const char *address, std::uint16_t port) {
    platform::sockaddr_in at{};
    at.sin_family = platform::AF_INET;
    at.sin_port = platform::htons(port);
    at.sin_addr.s_addr = address != nullptr ? platform::inet_addr(address) : platform::INADDR_ANY;
    return platform::bind(s, reinterpret_cast<const platform::sockaddr *>(&at), sizeof at) == 0;
}

std::uint16_t bind_free_port(platform::SOCKET s, const char *address) {
    for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
        if (bind_port(s, address, candidate_port(attempt)))
            return candidate_port(attempt);
    }
    ADD_FAILURE() << "no free UDP port";
    return 0;
}

std::uint16_t open_agent_port_for_test() {
    static std::uint16_t opened = 0;
    if (opened != 0)
        return opened;
    start_sockets();
    for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
        INI.Network.Port = static_cast<std::uint16_t>(candidate_port(attempt) + 4);
        if (open_tcpip_port() == 0 && pasive_udp_socket.load() != 0) {
            opened = candidate_port(attempt);
            return opened;
        }
    }
    ADD_FAILURE() << "no free UDP port for the agent";
    return 0;
}

std::string request_datagram(std::uint16_t type, std::uint16_t device, const std::string &payload,
                             std::uint16_t rr) {
    std::string out;
    put_word(&out, type);
    put_word(&out, device);
    put_word(&out, 0);
    put_word(&out, 1);
    const auto size = static_cast<std::uint32_t>(16 + payload.size());
    put_word(&out, static_cast<std::uint16_t>(size & 0xFFFF));
    put_word(&out, static_cast<std::uint16_t>(size >> 16));
    put_word(&out, 0);
    put_word(&out, rr);
    return out + payload;
}

std::string payload_words(std::uint16_t first, std::uint16_t second) {
    std::string out;
    put_word(&out, first);
    put_word(&out, second);
    return out;
}
