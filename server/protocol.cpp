// Byte order of the DataNet header and its trace.
#include "server/protocol.h"

#include "server/net_trace.h"
#include "shared/byte_order.h"
#include "shared/debug_log.h"

void swap_udp_header(DataNet *header) {
    if (header == nullptr)
        return;
    if (test_big_endian()) {
        if (k_monitor1 >= 3)
            printfc("\n\rSwap UDP header ...  ");
        header->Ident = swap_word(header->Ident);
        header->Dev = swap_word(header->Dev);
        header->ActualPacket = swap_word(header->ActualPacket);
        header->TotalPackets = swap_word(header->TotalPackets);
        header->Size = swap_long(header->Size);
        header->Password = swap_word(header->Password);
        header->RR = swap_word(header->RR);
        if (k_monitor1 >= 3)
            printfc("OK  ");
    }
    if (k_monitor1 >= 4) {
        printfc("\nUDP header:  ");
        net_print("\n  Ident: %u [%X]", header->Ident, header->Ident);
        net_print("\n  Dev: %u [%X]", header->Dev, header->Dev);
        net_print("\n  ActualPacket: %u [%X]", header->ActualPacket, header->ActualPacket);
        net_print("\n  TotalPackets: %u [%X]", header->TotalPackets, header->TotalPackets);
        net_print("\n  Size: %u [%X]", header->Size, header->Size);
        net_print("\n  Password: %u [%X]", header->Password, header->Password);
        net_print("\n  RR: %u [%X]", header->RR, header->RR);
    }
}
