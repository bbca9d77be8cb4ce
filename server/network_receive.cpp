// The network thread's tick, the receive with its gate, and the send of a
// response back to the requester.
#include "server/network_receive.h"

#include <cstring>

#include "server/agent_port.h"
#include "server/comm_log.h"
#include "server/net_trace.h"
#include "server/request_parser.h"
#include "server/ups_command_request.h"
#include "shared/debug_log.h"
#include "shared/device_table.h"
#include "shared/ini_record.h"

using namespace platform;

alignas(DataNet) std::uint8_t in_packet[max_datagram] = {};
std::int32_t in_length = 0;
alignas(DataNet) std::uint8_t out_packet[max_datagram] = {};
std::int32_t out_length = 0;
DataNet *in_packet_header = nullptr;
DataNet *out_packet_header = nullptr;
sockaddr_in from_receive = {};
sockaddr_in from_response = {};
char last_snmp_peer_name[20] = {};

namespace {

// 1 while udp_receive runs, so that it is never entered twice.
std::uint8_t TCPIP_in_receive = 0;

// Bytes of the response shown by the traces around the send.
constexpr int kResponseTraceBytes = 25;

// The head of the response at k_monitor1 4 and more, under its title.
void trace_response(const char *title) {
    if (k_monitor1 < 4)
        return;
    zapis_stat_com(title);
    for (int i = 0; i < kResponseTraceBytes; ++i)
        detail_monitor(out_packet[i], DUMP_SENT);
    detail_monitor(0, DUMP_FLUSH);
}

int receive_datagram(int socket) {
    std::memset(&from_receive, 0, sizeof from_receive);
    std::memset(in_packet, 0, sizeof in_packet);
    from_receive.sin_family = AF_INET;

    // A failed query is taken as nothing waiting.
    platform::u_long waiting = 0;
    if (ioctlsocket(socket, FIONREAD, &waiting) != 0 || waiting == 0)
        return 1;
    if (k_monitor1 >= 2)
        printfc("*");

    int from_length = sizeof from_receive;
    const int received = recvfrom(socket, reinterpret_cast<char *>(in_packet), sizeof in_packet, 0,
                                  reinterpret_cast<sockaddr *>(&from_receive), &from_length);
    if (received <= 0)
        return 2;
    if (k_monitor1 >= 2)
        printfc("!");
    in_length = received;
    std::memcpy(last_snmp_peer_name, inet_ntoa_custom(from_receive.sin_addr), sizeof ntoa_buf);
    if (k_monitor1 >= 3) {
        net_log("received %d bytes from %s: \n", in_length, last_snmp_peer_name);
        dump_datagram(in_packet, in_length, DUMP_RECEIVED);
    }

    in_packet_header = reinterpret_cast<DataNet *>(in_packet);
    swap_udp_header(in_packet_header);
    if (in_packet_header->RR != 0)
        return 0;
    if (k_monitor1 >= 2)
        net_log("UDP  : Receive REQUEST from [%s] ... OK ", last_snmp_peer_name);

    // A request for all devices passes the gate, so that a client can
    // browse the devices without knowing their numbers; the parser serves
    // it from the whole table. So does the cancel command for a device that
    // does not answer: dropped, it would leave a queued shutdown to be
    // carried out when the UPS answers again, however late.
    const std::uint16_t device = in_packet_header->Dev;
    std::int32_t ready = 0;
    const std::uint16_t slot =
        device == ALL_DEVICES ? ALL_DEVICES : device_slot_lookup(device, &ready);
    net_log("UDP  : Decoded device [%u] ... OK ", slot);
    const bool queued_cancel = in_packet_header->Ident == SET_UPSCOMMAND &&
                               queues_cancel(decode_ups_command(in_packet_header));
    if (device != ALL_DEVICES && (slot >= device_slots || (ready == 0 && !queued_cancel)))
        return 0;
    zapis_stat_com("UDP  : Agent parse ... OK ");

    if (udp_agent_parse(in_packet, in_length, out_packet, &out_length, from_receive.sin_addr.s_addr,
                        socket) == 0)
        return 0;
    trace_response("OutPacket1:");
    out_packet_header = reinterpret_cast<DataNet *>(out_packet);
    if (INI.System.PasswordProtection != 0)
        out_packet_header->Password = INI.System.PasswordProtection;
    swap_udp_header(out_packet_header);
    trace_response("OutPacket2:");
    udp_rs_send(socket);
    return 0;
}

} // namespace

int udp_receive(int socket, std::uint8_t * /*unused*/) {
    if (socket == 0)
        return 9;
    if (TCPIP_in_receive != 0)
        return 200;
    TCPIP_in_receive = 1;
    const int result = receive_datagram(socket);
    TCPIP_in_receive = 0;
    return result;
}

int udp_rs_send(int socket) {
    if (socket == 0)
        return 9;
    from_response = from_receive;
    const char *address_text = inet_ntoa_custom(from_response.sin_addr);
    if (k_monitor1 >= 2)
        net_log("UDP  : Send RESPONSE packet to [%s] ... OK ", address_text);
    if (out_length <= datanet_size || out_length > max_datagram) {
        zapis_stat_com("NO DATA - SEND RESPONSE ABORTED ! ");
        return 1;
    }
    send_datagram(socket, out_packet, out_length, from_response, address_text);
    return 0;
}

int send_datagram(int socket, const std::uint8_t *data, int length, const sockaddr_in &to,
                  const char *address_text) {
    if (k_monitor1 >= 3) {
        net_log("sent %d bytes to %s: \n", length, address_text);
        dump_datagram(data, length, DUMP_SENT);
    }
    if (sendto(socket, reinterpret_cast<const char *>(data), length, 0,
               reinterpret_cast<const sockaddr *>(&to), sizeof to) != SOCKET_ERROR)
        return 0;
    const int error = WSAGetLastError();
    if (k_monitor1 >= 4)
        net_print(" Function: sendto Error: %u ", static_cast<unsigned>(error));
    return error;
}

void NetworkComm() {
    if (k_monitor >= 4)
        printfc("*");
    if (pasive_udp_socket.load() == 0)
        return;
    int calls = 1;
    int result = udp_receive(pasive_udp_socket.load(), nullptr);
    while (result == 0 && calls < datagrams_per_tick) {
        if (k_monitor >= 4)
            printfc("@");
        result = udp_receive(pasive_udp_socket.load(), nullptr);
        ++calls;
    }
}
