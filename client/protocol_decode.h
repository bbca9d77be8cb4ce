// Decoder of the client protocol's datagrams for oskavelde-client and the
// tests: the DataNet header and the payload records, read byte by byte as
// little-endian values whatever the host, and their description as stable
// text. Header-only, so that the client, which links only the agent's
// libraries, and the tests share it.
//
// describe_datagram writes one line for the header and then one line per
// field of the payload record, each indented by two blanks:
//
//   header: Ident=3 Dev=7 ActualPacket=0 TotalPackets=1 Size=81 Password=0 RR=1
//   StatusData:
//     StatusByte: 0
//     StatusFlags: 0x04
//     StatusText: "AC Fail ! Remaining 12 min"
//     ...
//
// Texts are shown in double quotes up to their first NUL (at most the
// field's width); a double quote, a backslash and every byte outside
// 0x20..0x7E appear as \xHH. Numbers are decimal, flag bytes 0xHH. A
// payload whose length does not fit the record that its Ident names is
// shown as "payload: N bytes (expected M)"; a datagram shorter than the
// header as "short datagram: N bytes"; a response of another Ident as
// "payload: N bytes".
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "server/protocol.h"
#include "shared/device_record.h"

namespace protocol_decode {

inline std::uint16_t le16(const std::uint8_t *at) {
    return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

inline std::uint32_t le32(const std::uint8_t *at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

struct Header {
    std::uint16_t Ident = 0;
    std::uint16_t Dev = 0;
    std::uint16_t ActualPacket = 0;
    std::uint16_t TotalPackets = 0;
    std::uint32_t Size = 0;
    std::uint16_t Password = 0;
    std::uint16_t RR = 0;
};

// False when the datagram is shorter than the header.
inline bool decode_header(const std::uint8_t *data, std::size_t length, Header *header) {
    if (data == nullptr || length < static_cast<std::size_t>(datanet_size))
        return false;
    header->Ident = le16(data + offsetof(DataNet, Ident));
    header->Dev = le16(data + offsetof(DataNet, Dev));
    header->ActualPacket = le16(data + offsetof(DataNet, ActualPacket));
    header->TotalPackets = le16(data + offsetof(DataNet, TotalPackets));
    header->Size = le32(data + offsetof(DataNet, Size));
    header->Password = le16(data + offsetof(DataNet, Password));
    header->RR = le16(data + offsetof(DataNet, RR));
    return true;
}

// The text of a fixed-width field up to its first NUL, raw.
inline std::string field_text(const std::uint8_t *field, std::size_t width) {
    std::size_t used = 0;
    while (used < width && field[used] != 0)
        ++used;
    return std::string(reinterpret_cast<const char *>(field), used);
}

// The field's text quoted, with the escapes of the header comment.
inline std::string quoted(const std::uint8_t *field, std::size_t width) {
    std::string out = "\"";
    for (unsigned char c : field_text(field, width)) {
        if (c >= 0x20 && c <= 0x7E && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        }
    }
    return out + "\"";
}

// The name of a request type, or its number.
inline std::string request_name(std::uint16_t type) {
    switch (type) {
    case GET_IDENTIF:
        return "GET_IDENTIF";
    case GET_STATUS:
        return "GET_STATUS";
    case GET_DEVDATA:
        return "GET_DEVDATA";
    case SET_UPSSHUTDOWN:
        return "SET_UPSSHUTDOWN";
    case SET_UPSCOMMAND:
        return "SET_UPSCOMMAND";
    case GET_BROWSEDATA:
        return "GET_BROWSEDATA";
    case SEND_ERROR:
        return "SEND_ERROR";
    default:
        return std::to_string(type);
    }
}

// Lines of "  Name: value" for one record.
class Fields {
  public:
    explicit Fields(const std::uint8_t *payload) : payload_(payload) {}
    Fields &text(const char *name, std::size_t offset, std::size_t width) {
        return line(name, quoted(payload_ + offset, width));
    }
    Fields &u8(const char *name, std::size_t offset) {
        return line(name, std::to_string(payload_[offset]));
    }
    Fields &flags(const char *name, std::size_t offset) {
        char value[8];
        std::snprintf(value, sizeof value, "0x%02X", payload_[offset]);
        return line(name, value);
    }
    Fields &u16(const char *name, std::size_t offset) {
        return line(name, std::to_string(le16(payload_ + offset)));
    }
    Fields &u16s(const char *name, std::size_t offset, int count) {
        std::string values;
        for (int i = 0; i < count; ++i)
            values += (i ? " " : "") + std::to_string(le16(payload_ + offset + 2 * i));
        return line(name, values);
    }
    Fields &u32(const char *name, std::size_t offset) {
        return line(name, std::to_string(le32(payload_ + offset)));
    }
    Fields &bytes(const char *name, std::size_t offset, std::size_t count) {
        std::string values;
        char item[4];
        for (std::size_t i = 0; i < count; ++i) {
            std::snprintf(item, sizeof item, "%02X", payload_[offset + i]);
            values += (i ? " " : "") + std::string(item);
        }
        return line(name, values);
    }
    const std::string &str() const { return out_; }

  private:
    Fields &line(const char *name, const std::string &value) {
        out_ += "  " + std::string(name) + ": " + value + "\n";
        return *this;
    }
    const std::uint8_t *payload_;
    std::string out_;
};

inline std::string describe_identif(const std::uint8_t *p) {
    return "IdentifData:\n" + Fields(p)
                                  .text("Name", offsetof(IdentifData, Name), 20)
                                  .text("Port", offsetof(IdentifData, Port), 20)
                                  .u16("Device", offsetof(IdentifData, Device))
                                  .u8("Address", offsetof(IdentifData, Address))
                                  .text("Platform", offsetof(IdentifData, Platform), 8)
                                  .u8("DeviceType", offsetof(IdentifData, DeviceType))
                                  .u8("Connection", offsetof(IdentifData, Connection))
                                  .u16("IdentWord", offsetof(IdentifData, IdentWord))
                                  .text("Version", offsetof(IdentifData, Version), 8)
                                  .text("PRTK", offsetof(IdentifData, PRTK), 20)
                                  .str();
}

inline std::string describe_status(const std::uint8_t *p) {
    return "StatusData:\n" + Fields(p)
                                 .u8("StatusByte", offsetof(StatusData, StatusByte))
                                 .flags("StatusFlags", offsetof(StatusData, StatusFlags))
                                 .text("StatusText", offsetof(StatusData, StatusText), 30)
                                 .u8("CS", offsetof(StatusData, CS))
                                 .text("CommText", offsetof(StatusData, CommText), 30)
                                 .str();
}

inline std::string describe_device_data(const std::uint8_t *p) {
    return "DeviceData:\n" +
           Fields(p)
               .u8("CS", offsetof(TDevice, DataCS))
               .flags("StatusFlags", offsetof(TDevice, DataStatusFlags))
               .text("CommText", offsetof(TDevice, DataCommText), 30)
               .u32("ResponseTime", offsetof(TDevice, DataResponseTime))
               .text("AuxText", offsetof(TDevice, DataAuxText), 30)
               .text("StatusText", offsetof(TDevice, DataStatusText), 30)
               .u16s("InputVoltage", offsetof(TDevice, InputVoltage), 3)
               .u16s("InputCurrent", offsetof(TDevice, InputCurrent), 3)
               .u16("InputFrequency", offsetof(TDevice, InputFrequency))
               .u16s("OutputVoltage", offsetof(TDevice, OutputVoltage), 3)
               .u16s("OutputCurrent", offsetof(TDevice, OutputCurrent), 3)
               .u16s("OutputLoad", offsetof(TDevice, OutputLoad), 3)
               .u16("OutputFrequency", offsetof(TDevice, OutputFrequency))
               .u16("MinutesRemaining", offsetof(TDevice, MinutesRemaining))
               .u16("ChargeRemaining", offsetof(TDevice, ChargeRemaining))
               .u16("BatteryVoltage", offsetof(TDevice, BatteryVoltage))
               .u16("BatteryTemperature", offsetof(TDevice, BatteryTemperature))
               .u16s("BypassVoltage", offsetof(TDevice, BypassVoltage), 3)
               .u16("BypassFrequency", offsetof(TDevice, BypassFrequency))
               .flags("PowerFlags", offsetof(TDevice, PowerFlags))
               .flags("ModeFlags", offsetof(TDevice, ModeFlags))
               .flags("BatteryFlags", offsetof(TDevice, BatteryFlags))
               .flags("ShutdownFlags", offsetof(TDevice, ShutdownFlags))
               .flags("FaultFlags", offsetof(TDevice, FaultFlags))
               .bytes("BitFlags", offsetof(TDevice, BitFlags), 6)
               .text("UpsModel", offsetof(TDevice, UpsModel), 16)
               .text("UpsSoftwareVersion", offsetof(TDevice, UpsSoftwareVersion), 13)
               .u16("ConfigOutputVA", offsetof(TDevice, ConfigOutputVA))
               .u16("ConfigOutputPower", offsetof(TDevice, ConfigOutputPower))
               .u16("BatteryNominal", offsetof(TDevice, BatteryNominal))
               .u16("ConfigOutputVoltage", offsetof(TDevice, ConfigOutputVoltage))
               .u16("ConfigOutputFreq", offsetof(TDevice, ConfigOutputFreq))
               .u8("SetupFlag", offsetof(TDevice, SetupFlag))
               .text("PhaseMode", offsetof(TDevice, PhaseMode), 1)
               .str();
}

inline std::string describe_browse(const std::uint8_t *p) {
    return "BrowseData:\n" + Fields(p)
                                 .text("Version", offsetof(BrowseData, Version), 32)
                                 .text("Platform", offsetof(BrowseData, Platform), 72)
                                 .text("IpAddr", offsetof(BrowseData, IpAddr), 20)
                                 .text("Name", offsetof(BrowseData, Name), 20)
                                 .u8("DeviceType", offsetof(BrowseData, DeviceType))
                                 .u8("Connection", offsetof(BrowseData, Connection))
                                 .text("Serial", offsetof(BrowseData, Serial), 16)
                                 .u16("Slot", offsetof(BrowseData, Slot))
                                 .text("PRTK", offsetof(BrowseData, PRTK), 20)
                                 .text("CommText", offsetof(BrowseData, CommText), 30)
                                 .text("StatusText", offsetof(BrowseData, StatusText), 30)
                                 .u8("Password", offsetof(BrowseData, Password))
                                 .str();
}

inline std::string describe_error(const std::uint8_t *p) {
    return "ErrorData:\n" + Fields(p)
                                .u8("Ident", offsetof(ErrorData, Ident))
                                .u16("Code", offsetof(ErrorData, Code))
                                .str();
}

// The header line and the payload's record, as the header comment shows.
inline std::string describe_datagram(const std::uint8_t *data, std::size_t length) {
    Header h;
    if (!decode_header(data, length, &h))
        return "short datagram: " + std::to_string(length) + " bytes\n";
    std::string out =
        "header: Ident=" + std::to_string(h.Ident) + " Dev=" + std::to_string(h.Dev) +
        " ActualPacket=" + std::to_string(h.ActualPacket) +
        " TotalPackets=" + std::to_string(h.TotalPackets) + " Size=" + std::to_string(h.Size) +
        " Password=" + std::to_string(h.Password) + " RR=" + std::to_string(h.RR) + "\n";
    const std::uint8_t *payload = data + datanet_size;
    const std::size_t payload_length = length - datanet_size;
    std::size_t expected = 0;
    std::string (*describe)(const std::uint8_t *) = nullptr;
    switch (h.Ident) {
    case GET_IDENTIF:
        expected = sizeof(IdentifData);
        describe = describe_identif;
        break;
    case GET_STATUS:
        expected = sizeof(StatusData);
        describe = describe_status;
        break;
    case GET_DEVDATA:
        expected = device_data_size;
        describe = describe_device_data;
        break;
    case GET_BROWSEDATA:
        expected = sizeof(BrowseData);
        describe = describe_browse;
        break;
    case SEND_ERROR:
        expected = sizeof(ErrorData);
        describe = describe_error;
        break;
    default:
        break;
    }
    if (describe == nullptr)
        return out + "payload: " + std::to_string(payload_length) + " bytes\n";
    if (payload_length != expected)
        return out + "payload: " + std::to_string(payload_length) + " bytes (expected " +
               std::to_string(expected) + ")\n";
    return out + describe(payload);
}

// Sixteen bytes a line: "  0000: 01 00 07 00 ...".
inline std::string hex_dump(const std::uint8_t *data, std::size_t length) {
    std::string out;
    char item[24];
    for (std::size_t at = 0; at < length; at += 16) {
        std::snprintf(item, sizeof item, "  %04zX:", at);
        out += item;
        for (std::size_t i = at; i < at + 16 && i < length; ++i) {
            std::snprintf(item, sizeof item, " %02X", data[i]);
            out += item;
        }
        out += "\n";
    }
    return out;
}

} // namespace protocol_decode
