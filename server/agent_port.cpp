// The agent's UDP port: the socket layer's start with its report, the
// socket bound to [Network] Port minus 4 on every local address, the local
// host name and address for the browse records, and the small routines
// that go with them.
#include "server/agent_port.h"

#include <cstdio>
#include <cstring>

#include "server/net_trace.h"
#include "shared/debug_log.h"
#include "shared/ini_record.h"
#include "shared/pending_commands.h"

using namespace platform;

std::atomic<std::int32_t> pasive_udp_socket{0};
std::uint8_t WinsockInitialized = 0;
char local_node[256] = {};
char local_ipaddr[20] = {};
char ntoa_buf[16] = {};

namespace {
constexpr WORD kWinsockVersion = 0x0101;
constexpr int kHostNameRoom = 200;
} // namespace

bool host_name_looked_up(const char *name) {
    if (name == nullptr || name[0] == '\0')
        return false;
    for (const char *at = name; *at != '\0'; ++at) {
        if ((*at < '0' || *at > '9') && *at != '.')
            return true;
    }
    return false;
}

bool look_up_host(const char *name, in_addr *address) {
    if (!host_name_looked_up(name))
        return false;
    const hostent *host = gethostbyname(name);
    if (host == nullptr || host->h_addr_list == nullptr || host->h_addr_list[0] == nullptr)
        return false;
    std::memcpy(&address->s_addr, host->h_addr_list[0], sizeof address->s_addr);
    return true;
}

hostent *mygethostbyname(const char *name) {
    if (!host_name_looked_up(name))
        return nullptr;
    return gethostbyname(name);
}

char *inet_ntoa_custom(in_addr address) {
    unsigned char bytes[4];
    std::memcpy(bytes, &address.s_addr, sizeof bytes);
    std::snprintf(ntoa_buf, sizeof ntoa_buf, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
    return ntoa_buf;
}

int InitWinsock() {
    if (WinsockInitialized > 1)
        return 0;
    WinsockInitialized = 1;
    printfc("\nOpen WINSOCK.DLL ... ");
    WSADATA data;
    if (WSAStartup(kWinsockVersion, &data) != 0)
        return 1;
    net_print("   \nVersion: %u.%u", HIBYTE(data.wHighVersion), LOBYTE(data.wHighVersion));
    net_print("   \nStatus: %s", data.szSystemStatus);
    net_print("   \nMax.sockets: %u", data.iMaxSockets);
    net_print("   \nMax.UDP datagram size: %u", data.iMaxUdpDg);

    printfc("   \nLocal IP address: ");
    char name[kHostNameRoom] = {};
    if (gethostname(name, sizeof name) != 0)
        name[0] = '\0';
    const char *address_text = "";
    in_addr address{};
    if (look_up_host(name, &address))
        address_text = inet_ntoa(address);
    printfc(address_text);
    printfc("  ");
    printfc(name);

    // The version agreed on, minor version in the high byte: 1.1 or later.
    if (data.wVersion >= kWinsockVersion) {
        printfc("\n\n");
        WinsockInitialized = 2;
        return 0;
    }
    printfc("\nBad WINSOCK.DLL version !");
    WSACleanup();
    return 1;
}

int udp_open(int /*unused*/, int port) {
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        std::perror("UDP socket");
        return 0;
    }
    // No request can be taken before the socket is handed over, so no
    // command of a previous socket's life survives it.
    pending_commands_clear();

    platform::u_long non_blocking = 1;
    ioctlsocket(s, FIONBIO, &non_blocking);

    const int broadcast = 1;
    if (setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char *>(&broadcast),
                   sizeof broadcast) == SOCKET_ERROR) {
        std::perror("UDP socket");
        closesocket(s);
        return 0;
    }

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<platform::u_short>(port & 0xFFFF));
    const int bound = bind(s, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    if (bound == SOCKET_ERROR) {
        if (k_monitor1 != 0)
            net_print("\n\rBind UDP socket on port %u error %u [%X] !", static_cast<unsigned>(port),
                      static_cast<unsigned>(bound), static_cast<unsigned>(bound));
        closesocket(s);
        return 0;
    }

    gethostname(local_node, sizeof local_node - 1);
    in_addr local{};
    if (look_up_host(local_node, &local)) {
        inet_ntoa_custom(local);
        std::strncpy(local_ipaddr, ntoa_buf, sizeof local_ipaddr);
        local_ipaddr[sizeof local_ipaddr - 1] = '\0';
    }
    if (k_monitor1 >= 2)
        net_print("%.*s [%.*s] ... ", static_cast<int>(sizeof local_node), local_node,
                  static_cast<int>(sizeof local_ipaddr), local_ipaddr);
    return s;
}

int open_tcpip_port() {
    if (InitWinsock() != 0)
        return 1;
    if (pasive_udp_socket.load() != 0)
        return 0;
    const std::uint32_t port = static_cast<std::uint32_t>(INI.Network.Port) - 4u;
    net_print("Open TCP/IP pasive port [%u] ... ", port);
    const int s = udp_open(0, static_cast<int>(port));
    if (s != 0) {
        pasive_udp_socket.store(s);
        printfc("OK \n");
        return 0;
    }
    printfc("Error !!!\n");
    return 2;
}

int close_tcpip_port() {
    const std::int32_t s = pasive_udp_socket.load();
    if (s != 0) {
        closesocket(s);
        pasive_udp_socket.store(0);
    }
    return WSACleanup();
}

int udp_close(int socket) { return closesocket(socket); }
