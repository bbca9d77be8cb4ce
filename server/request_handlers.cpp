// The handlers of GET_IDENTIF, GET_STATUS, GET_DEVDATA and GET_BROWSEDATA,
// and the record and bit helpers that belong with them.
#include "server/request_handlers.h"

#include <cstring>

#include "server/agent_port.h"
#include "server/network_receive.h"
#include "server/protocol.h"
#include "shared/byte_order.h"
#include "shared/device_table.h"
#include "shared/ini_record.h"
#include "shared/system_info.h"

namespace {

// Device type code of the devices that get no browse record.
constexpr std::uint8_t kNoBrowseType = 24;

// Copies the source up to its first NUL, at most source_width bytes and at
// most width, into the field, and fills the rest of it with zeros.
void bounded_text(char *field, std::size_t width, const char *source, std::size_t source_width) {
    const std::size_t used = ::strnlen(source, source_width < width ? source_width : width);
    std::memcpy(field, source, used);
    std::memset(field + used, 0, width - used);
}

// The source up to its first "Version", into the 8-byte field, with the
// suffix appended first; zero-padded.
template <std::size_t N>
void version_field(char (&field)[8], const char (&source)[N], const char *suffix) {
    char work[N + 8] = {};
    bounded_text(work, N, source, N);
    if (char *cut = std::strstr(work, "Version"))
        *cut = '\0';
    std::strncat(work, suffix, sizeof work - std::strlen(work) - 1);
    bounded_text(field, sizeof field, work, sizeof work);
}

std::uint16_t wire_word(std::uint16_t value) {
    return test_big_endian() ? swap_word(value) : value;
}

// The record of the slot that the request header's Dev names.
bool addressed_record(TDevice *record) {
    const std::uint16_t number = in_packet_header->Dev;
    if (number == 0 || number > device_slots)
        return false;
    return device_snapshot(static_cast<std::uint16_t>(number - 1), record, nullptr);
}

void place_payload(std::uint8_t *response, const void *payload, std::size_t size,
                   int *response_length) {
    std::memcpy(response + datanet_size, payload, size);
    *response_length = static_cast<int>(datanet_size + size);
}

} // namespace

void GetIdentif(std::uint8_t * /*request*/, int /*length*/, std::uint8_t *response,
                int *response_length) {
    TDevice record;
    if (!addressed_record(&record))
        return;
    IdentifData data{};
    std::memcpy(data.Name, record.Name, sizeof data.Name);
    std::memcpy(data.Port, record.Port, sizeof data.Port);
    data.Device = wire_word(record.Device);
    data.Address = record.Address;
    version_field(data.Platform, local_platform, "");
    data.DeviceType = record.DeviceType;
    data.Connection = record.Connection;
    data.IdentWord = wire_word(record.IdentWord);
    version_field(data.Version, local_version, "2.1");
    data.Zero = wire_word(0);
    std::memcpy(data.PRTK, record.PRTK, sizeof data.PRTK);
    place_payload(response, &data, sizeof data, response_length);
}

void GetStatus(std::uint8_t * /*request*/, int /*length*/, std::uint8_t *response,
               int *response_length) {
    TDevice record;
    if (!addressed_record(&record))
        return;
    StatusData data{};
    data.StatusByte = record.StatusByte;
    data.StatusFlags = record.StatusFlags;
    std::memcpy(data.StatusText, record.StatusText, sizeof data.StatusText);
    data.CS = record.CS;
    std::memcpy(data.CommText, record.CommText, sizeof data.CommText);
    data.Zero = wire_word(0);
    place_payload(response, &data, sizeof data, response_length);
}

void GetDevData(std::uint8_t * /*request*/, int /*length*/, std::uint8_t *response,
                int *response_length) {
    TDevice record;
    if (!addressed_record(&record))
        return;
    place_payload(response, &record, device_data_size, response_length);
    interchange_data(record.DeviceType, response + datanet_size);
}

void GetBrowseData(std::uint8_t * /*request*/, int /*length*/, std::uint8_t *response,
                   int *response_length, int socket) {
    // Each datagram leaves with its header in wire order; the next one
    // starts again from the header in host order.
    const DataNet header = *out_packet_header;
    TDevice record;
    for (std::uint16_t slot = 0; slot < device_slots; ++slot) {
        if (!device_snapshot(slot, &record, nullptr))
            continue;
        if (record.Name[0] == '\0' || record.DeviceType == kNoBrowseType)
            continue;
        BrowseData data{};
        bounded_text(data.Version, sizeof data.Version, local_version, sizeof local_version);
        bounded_text(data.Platform, sizeof data.Platform, local_platform, sizeof local_platform);
        bounded_text(data.IpAddr, sizeof data.IpAddr, local_ipaddr, sizeof local_ipaddr);
        bounded_text(data.Name, sizeof data.Name, record.Name, sizeof record.Name);
        data.DeviceType = record.DeviceType;
        data.Connection = record.Connection;
        bounded_text(data.Serial, sizeof data.Serial, record.Serial, sizeof record.Serial);
        data.Slot = wire_word(static_cast<std::uint16_t>(slot + 1));
        bounded_text(data.PRTK, sizeof data.PRTK, record.PRTK, sizeof record.PRTK);
        bounded_text(data.CommText, sizeof data.CommText, record.CommText, sizeof record.CommText);
        bounded_text(data.StatusText, sizeof data.StatusText, record.StatusText,
                     sizeof record.StatusText);
        data.Zero = wire_word(0);
        data.Password = static_cast<std::uint8_t>(INI.System.PasswordProtection & 0xFF);

        *out_packet_header = header;
        place_payload(response, &data, sizeof data, response_length);
        out_packet_header->Size = sizeof data;
        swap_udp_header(out_packet_header);
        udp_rs_send(socket);
    }
    *out_packet_header = header;
}

int CopyRemote(TDevice *record) {
    const TRemoteIdentity &remote = record->RemoteIdentity;
    std::memcpy(record->Name, remote.Name, sizeof record->Name);
    std::memcpy(record->Port, remote.Port, sizeof record->Port);
    std::memcpy(record->IdentLabel, remote.Label, sizeof record->IdentLabel);
    std::memcpy(record->IdentExtra, remote.Extra, sizeof record->IdentExtra);
    record->Address = remote.Address;
    record->DeviceType = remote.DeviceType;
    record->Connection = remote.Connection;
    std::memcpy(record->Serial, remote.Serial, sizeof record->Serial);
    record->Device = remote.Device;
    record->IdentWord = remote.IdentWord;
    std::memcpy(record->PRTK, remote.PRTK, sizeof record->PRTK);
    return 0;
}

int test_bit(const std::uint8_t *array, std::uint8_t bit) {
    if (array == nullptr)
        return 0;
    return (array[bit / 8] >> (bit % 8)) & 1;
}

void set_bit(std::uint8_t *array, std::uint8_t bit, std::uint8_t value) {
    const auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
    if (value != 0)
        array[bit / 8] = static_cast<std::uint8_t>(array[bit / 8] | mask);
    else
        array[bit / 8] = static_cast<std::uint8_t>(array[bit / 8] & ~mask);
}
