// Fuzz target for the client port: every input is sent as one datagram
// over loopback to the agent's real socket and taken by one network tick,
// through the receive gate, the request parser and the handlers, with a
// device table of SNMP, non-SNMP, silent and unlisted devices. An answer
// must be a whole response of the protocol, and a datagram that is itself
// a response must get none. The trace level follows the input's length, so
// that every level's traces are formatted (nothing is printed).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "platform/winsock.h"
#include "server/agent_port.h"
#include "server/network_receive.h"
#include "server/protocol.h"
#include "shared/debug_log.h"
#include "shared/device_table.h"
#include "shared/ini_record.h"

namespace {

constexpr std::size_t kLargestDatagram = 65507;

TDevice g_records[device_slots];
platform::SOCKET g_client = platform::INVALID_SOCKET;
platform::sockaddr_in g_agent{};

void fill(int slot, const char *name, std::uint16_t device, std::uint8_t connection,
          std::uint8_t type, int ready) {
    TDevice &r = g_records[slot];
    std::strncpy(r.Name, name, sizeof r.Name);
    std::strncpy(r.Port, "127.0.0.2", sizeof r.Port);
    std::strncpy(r.PRTK, "KRV-1000-230-S", sizeof r.PRTK);
    std::strncpy(r.StatusText, "On Line", sizeof r.StatusText);
    std::strncpy(r.CommText, "Communication OK", sizeof r.CommText);
    std::memset(&r, 0x5A, 96);
    r.Device = device;
    r.Connection = connection;
    r.DeviceType = type;
    set_ready_status(static_cast<std::uint16_t>(slot), ready);
}

bool set_up() {
    for (int slot = 0; slot < device_slots; ++slot)
        SM_DEV[slot] = &g_records[slot];
    fill(0, "device zero", 0, AGSNMP, 5, 1);
    fill(1, "Twenty characters!!!", 7, AGSNMP, 21, 1);
    fill(2, "silent", 8, AGSNMP, 5, 0);
    fill(3, "not listed", 9, AGSNMP, 24, 1);
    fill(4, "serial", 10, 1, 7, 1);
    fill(31, "last", 0xFFFE, AGSNMP, 255, 1);
    INI.System.PasswordProtection = 1234;

    bDebug = 0;
    bDebugLog = 0;
    unsigned candidate = 20000u + static_cast<unsigned>(::getpid()) * 7919u % 40000u;
    for (int attempt = 0; attempt < 200 && pasive_udp_socket.load() == 0; ++attempt) {
        INI.Network.Port = static_cast<std::uint16_t>(candidate + 4);
        if (open_tcpip_port() != 0)
            candidate = 20000u + (candidate + 131u) % 40000u;
    }
    if (pasive_udp_socket.load() == 0)
        return false;
    g_agent.sin_family = platform::AF_INET;
    g_agent.sin_port = platform::htons(static_cast<std::uint16_t>(candidate));
    g_agent.sin_addr.s_addr = platform::inet_addr("127.0.0.1");

    g_client = platform::socket(platform::AF_INET, platform::SOCK_DGRAM, platform::IPPROTO_UDP);
    if (g_client == platform::INVALID_SOCKET)
        return false;
    platform::u_long non_blocking = 1;
    platform::ioctlsocket(g_client, platform::FIONBIO, &non_blocking);
    return true;
}

bool known_response_length(int length) {
    return length == identif_response_size || length == status_response_size ||
           length == devdata_response_size || length == browse_response_size ||
           length == error_response_size;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int * /*argc*/, char *** /*argv*/) {
    if (!set_up()) {
        std::fprintf(stderr, "datagram_fuzz: no agent port on loopback\n");
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size > kLargestDatagram)
        size = kLargestDatagram;
    k_monitor = static_cast<std::uint8_t>(size % 6);
    k_monitor1 = static_cast<std::uint8_t>(size % 5);
    const int sent =
        platform::sendto(g_client, reinterpret_cast<const char *>(data), static_cast<int>(size), 0,
                         reinterpret_cast<const platform::sockaddr *>(&g_agent), sizeof g_agent);
    if (sent != static_cast<int>(size))
        std::abort();
    NetworkComm();

    // Bytes 14 and 15 are RR; missing ones read as 0.
    const bool is_response = (size > 14 && data[14] != 0) || (size > 15 && data[15] != 0);
    static char answer[kLargestDatagram];
    for (;;) {
        const int length = platform::recvfrom(g_client, answer, sizeof answer, 0, nullptr, nullptr);
        if (length < 0)
            break;
        if (is_response || !known_response_length(length) || answer[14] != 1 || answer[15] != 0)
            std::abort();
    }
    return 0;
}
