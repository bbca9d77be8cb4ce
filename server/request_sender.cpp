// The client-side request sender.
#include "server/request_sender.h"

#include <cstring>

#include "server/agent_port.h"
#include "server/net_trace.h"
#include "server/network_receive.h"
#include "server/protocol.h"
#include "shared/debug_log.h"
#include "shared/ini_record.h"

using namespace platform;

alignas(DataNet) std::uint8_t out_packet1[2500] = {};
std::int32_t out_length1 = 0;
sockaddr_in from_request = {};

namespace {

constexpr int kHostChars = 20;
// What every GET_DEVDATA request carries.
constexpr char kDevDataPayload[] = "**0200";
constexpr int kDevDataPayloadLength = 6;

} // namespace

int udp_rq_send(int socket, int type, const char *host, std::uint16_t device,
                const std::uint8_t *payload, std::uint16_t payload_length) {
    if (socket == 0)
        return 9;
    // A longer host is refused below, never cut: the cut text names
    // another host, or another address, than the caller's.
    char host_text[kHostChars + 1] = {};
    const bool host_fits = host == nullptr || ::strnlen(host, kHostChars + 1) <= kHostChars;
    if (host != nullptr)
        std::memcpy(host_text, host, ::strnlen(host, kHostChars));

    auto *request = reinterpret_cast<DataNet *>(out_packet1);
    request->Ident = static_cast<std::uint16_t>(type);
    request->Dev = device;
    request->ActualPacket = 0;
    request->TotalPackets = 1;
    request->Password = 0;
    request->RR = 0;
    out_length1 = datanet_size;
    if (type == SET_UPSSHUTDOWN || type == SET_UPSCOMMAND) {
        std::size_t carried = payload != nullptr ? payload_length : 0;
        if (carried > sizeof out_packet1 - datanet_size)
            carried = sizeof out_packet1 - datanet_size;
        if (carried > 0)
            std::memcpy(out_packet1 + datanet_size, payload, carried);
        out_length1 = static_cast<std::int32_t>(datanet_size + carried);
    } else if (type == GET_DEVDATA) {
        std::memcpy(out_packet1 + datanet_size, kDevDataPayload, kDevDataPayloadLength);
        out_length1 = datanet_size + kDevDataPayloadLength;
    }
    request->Size = static_cast<std::uint32_t>(out_length1);
    swap_udp_header(request);

    const char *destination = host_text;
    in_addr found{};
    if (host_fits && look_up_host(host_text, &found))
        destination = inet_ntoa_custom(found);
    const platform::u_long address = host_fits ? inet_addr(destination) : INADDR_NONE;
    if (address == INADDR_NONE) {
        if (k_monitor1 >= 2 || k_errorlog != 0)
            net_log("ERROR  : Bad request IP address [%s]", destination);
        return 1;
    }

    std::memset(&from_request, 0, sizeof from_request);
    from_request.sin_family = AF_INET;
    from_request.sin_port =
        htons(static_cast<platform::u_short>((INI.Network.Port + 4u) & 0xFFFFu));
    from_request.sin_addr.s_addr = address;
    const char *address_text = inet_ntoa_custom(from_request.sin_addr);
    if (k_monitor1 >= 2)
        net_log("UDP  : Send REQUEST packet type %u to [%s] ... OK ", static_cast<unsigned>(type),
                address_text);
    return send_datagram(socket, out_packet1, out_length1, from_request, address_text) == 0 ? 0 : 2;
}
