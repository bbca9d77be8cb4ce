// The client protocol's wire format: the 16-byte DataNet header of every
// datagram, the request types, and the payload records of the responses.
// Every multi-byte field is little-endian on the wire and the records are
// packed, so the layouts below are pinned byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>

// Request types (DataNet::Ident of a request) and the error response.
constexpr std::uint16_t GET_IDENTIF = 1;
constexpr std::uint16_t GET_STATUS = 3;
constexpr std::uint16_t GET_DEVDATA = 4;
constexpr std::uint16_t SET_UPSSHUTDOWN = 14;
constexpr std::uint16_t SET_UPSCOMMAND = 15;
constexpr std::uint16_t GET_BROWSEDATA = 16;
constexpr std::uint16_t SEND_ERROR = 250;

// DataNet::Dev of a request for all devices.
constexpr std::uint16_t ALL_DEVICES = 0xFFFF;

// Error codes of the error response.
constexpr std::uint16_t ERROR_NO_DEVICE = 1;
constexpr std::uint16_t ERROR_UNKNOWN_REQUEST = 99;

// The largest datagram the agent takes; longer ones are discarded.
constexpr int max_datagram = 2500;

// Datagram lengths of the responses, header included.
constexpr int datanet_size = 16;
constexpr int identif_response_size = 115;
constexpr int status_response_size = 97;
constexpr int devdata_response_size = 692;
constexpr int browse_response_size = 264;
constexpr int error_response_size = 19;

// Header of every datagram. Buffers are handled through pointers to it, so
// it may alias their bytes.
struct [[gnu::may_alias]] DataNet {
    std::uint16_t Ident;        // request type; SEND_ERROR in an error response
    std::uint16_t Dev;          // device number, or ALL_DEVICES
    std::uint16_t ActualPacket; // 0
    std::uint16_t TotalPackets; // 1
    std::uint32_t Size;         // request: whole length; response: payload length
    std::uint16_t Password;     // response: [System] PasswordProtection, or 0
    std::uint16_t RR;           // 0 request, 1 response
};

#pragma pack(push, 1)

// GET_IDENTIF payload.
struct IdentifData {
    char Name[20];
    char Port[20];
    std::uint16_t Device;
    std::uint8_t Address;
    char Platform[8];
    std::uint8_t DeviceType;
    std::uint8_t Connection;
    std::uint16_t IdentWord;
    char Version[8];
    std::uint16_t Zero;
    std::uint8_t Reserved[14];
    char PRTK[20];
};

// GET_STATUS payload. The status text comes before the communication text
// here, after it in BrowseData.
struct StatusData {
    std::uint8_t StatusByte;
    std::uint8_t StatusFlags;
    char StatusText[30];
    std::uint8_t CS;
    char CommText[30];
    std::uint16_t Zero;
    std::uint8_t Reserved[16];
};

// One GET_BROWSEDATA record.
struct BrowseData {
    char Version[32];
    char Platform[72];
    char IpAddr[20];
    char Name[20];
    std::uint8_t DeviceType;
    std::uint8_t Connection;
    char Serial[16];
    std::uint16_t Slot; // slot index + 1
    char PRTK[20];
    char CommText[30];
    char StatusText[30];
    std::uint16_t Zero;
    std::uint8_t Password; // low byte of [System] PasswordProtection
    std::uint8_t Reserved;
};

// Error response payload.
struct ErrorData {
    std::uint8_t Ident; // low byte of the request's type
    std::uint16_t Code;
};

#pragma pack(pop)

static_assert(sizeof(DataNet) == datanet_size);
static_assert(offsetof(DataNet, Dev) == 2);
static_assert(offsetof(DataNet, ActualPacket) == 4);
static_assert(offsetof(DataNet, TotalPackets) == 6);
static_assert(offsetof(DataNet, Size) == 8);
static_assert(offsetof(DataNet, Password) == 12);
static_assert(offsetof(DataNet, RR) == 14);

static_assert(sizeof(IdentifData) == identif_response_size - datanet_size);
static_assert(offsetof(IdentifData, Port) == 20);
static_assert(offsetof(IdentifData, Device) == 40);
static_assert(offsetof(IdentifData, Address) == 42);
static_assert(offsetof(IdentifData, Platform) == 43);
static_assert(offsetof(IdentifData, DeviceType) == 51);
static_assert(offsetof(IdentifData, Connection) == 52);
static_assert(offsetof(IdentifData, IdentWord) == 53);
static_assert(offsetof(IdentifData, Version) == 55);
static_assert(offsetof(IdentifData, Zero) == 63);
static_assert(offsetof(IdentifData, Reserved) == 65);
static_assert(offsetof(IdentifData, PRTK) == 79);

static_assert(sizeof(StatusData) == status_response_size - datanet_size);
static_assert(offsetof(StatusData, StatusFlags) == 1);
static_assert(offsetof(StatusData, StatusText) == 2);
static_assert(offsetof(StatusData, CS) == 32);
static_assert(offsetof(StatusData, CommText) == 33);
static_assert(offsetof(StatusData, Zero) == 63);
static_assert(offsetof(StatusData, Reserved) == 65);

static_assert(sizeof(BrowseData) == browse_response_size - datanet_size);
static_assert(offsetof(BrowseData, Platform) == 32);
static_assert(offsetof(BrowseData, IpAddr) == 104);
static_assert(offsetof(BrowseData, Name) == 124);
static_assert(offsetof(BrowseData, DeviceType) == 144);
static_assert(offsetof(BrowseData, Connection) == 145);
static_assert(offsetof(BrowseData, Serial) == 146);
static_assert(offsetof(BrowseData, Slot) == 162);
static_assert(offsetof(BrowseData, PRTK) == 164);
static_assert(offsetof(BrowseData, CommText) == 184);
static_assert(offsetof(BrowseData, StatusText) == 214);
static_assert(offsetof(BrowseData, Zero) == 244);
static_assert(offsetof(BrowseData, Password) == 246);
static_assert(offsetof(BrowseData, Reserved) == 247);

static_assert(sizeof(ErrorData) == error_response_size - datanet_size);
static_assert(offsetof(ErrorData, Code) == 1);

// Converts a header in place between host order and wire order (only a
// big-endian host changes anything) and traces it at k_monitor1 3 and 4.
void swap_udp_header(DataNet *header);
