// The request parser and the error response.
#include "server/request_parser.h"

#include <cstdio>
#include <cstring>

#include "server/comm_log.h"
#include "server/command_queue.h"
#include "server/net_trace.h"
#include "server/network_receive.h"
#include "server/protocol.h"
#include "server/request_handlers.h"
#include "shared/byte_order.h"
#include "shared/debug_log.h"
#include "shared/device_table.h"

std::uint16_t device_slot_lookup(std::uint16_t device, std::int32_t *ready) {
    TDevice record;
    for (std::uint16_t slot = 0; slot < device_slots; ++slot) {
        std::int32_t flag = 0;
        if (!device_snapshot(slot, &record, &flag))
            continue;
        if (record.Name[0] != '\0' && record.Connection == AGSNMP && record.Device == device) {
            if (ready != nullptr)
                *ready = flag;
            return slot;
        }
    }
    if (ready != nullptr)
        *ready = 0;
    return device_slots;
}

void SendError(std::uint8_t *response, int *response_length, char code) {
    const auto error = static_cast<std::uint8_t>(code);
    out_packet_header->Ident = SEND_ERROR;
    if (k_monitor1 >= 2)
        net_log("UDP  : SendError %u ", error);
    ErrorData payload{};
    payload.Ident = static_cast<std::uint8_t>(in_packet_header->Ident & 0xFF);
    payload.Code = test_big_endian() ? swap_word(error) : error;
    std::memcpy(response + datanet_size, &payload, sizeof payload);
    *response_length = error_response_size;
    out_packet_header->Size = sizeof payload;
}

namespace {

// The sender's address as one number whose lowest byte is its first octet.
std::uint32_t address_number(std::uint32_t sender) {
    std::uint8_t octets[4];
    std::memcpy(octets, &sender, sizeof octets);
    return static_cast<std::uint32_t>(octets[0]) | static_cast<std::uint32_t>(octets[1]) << 8 |
           static_cast<std::uint32_t>(octets[2]) << 16 |
           static_cast<std::uint32_t>(octets[3]) << 24;
}

} // namespace

int udp_agent_parse(std::uint8_t *request, int received_length, std::uint8_t *response,
                    int *response_length, std::uint32_t sender, int socket) {
    in_packet_header = reinterpret_cast<DataNet *>(request);
    out_packet_header = reinterpret_cast<DataNet *>(response);
    DataNet *const rq = in_packet_header;
    DataNet *const rs = out_packet_header;
    rs->Ident = rq->Ident;
    rs->Dev = rq->Dev;
    rs->ActualPacket = 0;
    rs->TotalPackets = 1;
    rs->Size = 0;
    rs->Password = 0;
    rs->RR = 1;
    // Every request starts with an empty response: one that composes
    // nothing must not send the previous response's bytes, which may
    // belong to another device.
    *response_length = 0;

    if (k_monitor1 >= 4)
        zapis_stat_com("*1 ");
    if (rq->RR != 0)
        return 0;
    if (k_monitor1 >= 4)
        zapis_stat_com("*2 ");
    if (k_monitor1 >= 2)
        net_log("Decoded device number : %u", rq->Dev);

    const bool all_devices = rq->Dev == ALL_DEVICES;
    if (!all_devices) {
        const std::uint16_t slot = device_slot_lookup(rq->Dev, nullptr);
        if (slot >= device_slots) {
            SendError(response, response_length, static_cast<char>(ERROR_NO_DEVICE));
            return 1;
        }
        rq->Dev = static_cast<std::uint16_t>(slot + 1);
    }
    if (k_monitor1 >= 4)
        zapis_stat_com("*3 ");

    const std::uint16_t type = rq->Ident;
    if (all_devices && (type == GET_IDENTIF || type == GET_STATUS || type == GET_DEVDATA) &&
        k_monitor1 >= 1)
        net_log("UDP  : Receive Broadcast RESPONSE from [%u] ... OK ", address_number(sender));

    switch (type) {
    case GET_IDENTIF:
        if (!all_devices) {
            if (k_monitor1 >= 2)
                zapis_stat_com("Receive RQ UDP GET_IDENTIF packet ... ");
            GetIdentif(request, received_length, response, response_length);
        }
        break;
    case GET_STATUS:
        if (!all_devices) {
            if (k_monitor1 >= 2)
                zapis_stat_com("Receive RQ UDP GET_STATUS packet ... ");
            GetStatus(request, received_length, response, response_length);
        }
        break;
    case GET_DEVDATA:
        if (!all_devices) {
            if (k_monitor1 >= 2)
                zapis_stat_com("Receive RQ UDP GET_DEVDATA packet ... ");
            GetDevData(request, received_length, response, response_length);
        }
        break;
    case SET_UPSSHUTDOWN:
        if (k_monitor1 >= 2)
            zapis_stat_com("Receive RQ UDP SET_UPSSHUTDOWN packet ... ");
        SetUpsShutdown();
        break;
    case SET_UPSCOMMAND:
        if (k_monitor1 >= 2)
            zapis_stat_com("Receive RQ UDP SET_UPSCOMMAND packet ... ");
        SetUpsCommand();
        break;
    case GET_BROWSEDATA:
        if (k_monitor1 >= 2)
            zapis_stat_com("Receive RQ UDP GET_BROWSEDATA packet ... ");
        GetBrowseData(request, received_length, response, response_length, socket);
        // Every record went out in a datagram of its own; sending the
        // buffer again would repeat the last one.
        if (*response_length == browse_response_size)
            return 0;
        break;
    default:
        std::perror(" Unknow UDP request.");
        SendError(response, response_length, static_cast<char>(ERROR_UNKNOWN_REQUEST));
        break;
    }

    rs->Size = *response_length > datanet_size
                   ? static_cast<std::uint32_t>(*response_length - datanet_size)
                   : 0;
    return 1;
}
