// Decoding of the clients' SET_UPSCOMMAND request.
#include "server/ups_command_request.h"

#include "shared/ini_record.h"

namespace {

// Command number of the cancel command.
constexpr std::uint16_t kCancelCommand = 6;

} // namespace

std::uint16_t request_payload_word(const DataNet *request, int offset) {
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(request) + datanet_size;
    return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

bool remote_commands_ignored() { return INI.System.IgnoreRemoteUPSCommands != 0; }

UpsCommandRequest decode_ups_command(const DataNet *request) {
    UpsCommandRequest decoded{};
    decoded.command = request_payload_word(request, 0);
    decoded.delay = request_payload_word(request, 2);
    decoded.cancel = decoded.command == kCancelCommand;
    decoded.ignored = remote_commands_ignored();
    return decoded;
}
