// oskavelde-client: a command-line client of the agent's UDP protocol for
// operators and scripts. It sends one request with the protocol's own
// request sender, prints every datagram that comes back decoded, and tells
// by its exit code whether the agent answered, so that it can serve as a
// health check.
//
// Usage: oskavelde-client [-x] [-w MS] HOST PORT TYPE DEVICE [VALUE...]
//   HOST    host name (up to 253 characters) or IPv4 address of the agent,
//           taken whole to its first IPv4 address; the request goes there
//   PORT    the agent's UDP port ([Network] Port minus 4)
//   TYPE    GET_IDENTIF, GET_STATUS, GET_DEVDATA, SET_UPSSHUTDOWN,
//           SET_UPSCOMMAND, GET_BROWSEDATA, or any number 0 to 65535
//   DEVICE  the device number ([UPS_nn] Device), or "all" for 65535
//   VALUE   the payload of the two command requests, little-endian words:
//           SET_UPSSHUTDOWN DELAY [REBOOT]   (REBOOT 65535, no reboot, when left out)
//           SET_UPSCOMMAND COMMAND [DELAY]   (DELAY 0 when left out; 6 cancels)
//   -x      also print a hex dump of every datagram
//   -w MS   wait up to MS milliseconds in all (2000); once a datagram of the
//           agent has come, wait at most 300 ms more for a further one
//
// Output, on standard output, one line each unless decoded:
//   request: TYPE=<n> (<name>) DEVICE=<n> to <host>:<port>
//   response <k>: <length> bytes from <address>:<port>
//   <the decoded datagram, as client/protocol_decode.h describes it>
//   <with -x, the hex dump: "  0000: 01 00 ..." 16 bytes a line>
//   responses: <count>            (or "no response" when none came)
//
// Exit code:
//   0  an answer came; for the two command requests, which the agent never
//      answers, as soon as the request was sent
//   1  no answer within the wait, with one line on standard error: the
//      agent answers nothing about a device that is not communicating or
//      whose number is not configured, and nothing while it is not running
//   2  a wrong command line: one line on standard error names the
//      argument and why it is refused, then the usage follows; a HOST
//      that does not resolve, or is longer than a host name may be, is
//      refused so
//   3  the request could not be sent: one line on standard error names
//      the request and the system's reason ("Network is unreachable")
// Only datagrams from the address and port that the request went to are
// printed; whatever comes from elsewhere is passed over unseen. Of those,
// an answer is a response datagram (RR 1) of the request's type or the
// protocol's error response; anything else is printed but does not count.
#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/protocol_decode.h"
#include "platform/thread.h"
#include "platform/winsock.h"
#include "server/protocol.h"
#include "server/request_sender.h"
#include "shared/ini_record.h"

namespace {

constexpr int kAnswered = 0;
constexpr int kNoAnswer = 1;
constexpr int kWrongCommandLine = 2;
constexpr int kNotSent = 3;

constexpr int kFollowUpMilliseconds = 300;
constexpr int kPollMilliseconds = 5;
constexpr int kReceiveRoom = 65536;
// The longest name that DNS carries, without its optional final dot.
constexpr std::size_t kHostNameLength = 253;

int usage() {
    std::fprintf(stderr,
                 "usage: oskavelde-client [-x] [-w MS] HOST PORT TYPE DEVICE [VALUE...]\n"
                 "  PORT: the agent's client port ([Network] Port minus 4)\n"
                 "  TYPE: GET_IDENTIF GET_STATUS GET_DEVDATA SET_UPSSHUTDOWN SET_UPSCOMMAND\n"
                 "        GET_BROWSEDATA or a number; DEVICE: a number or \"all\"\n"
                 "  SET_UPSSHUTDOWN DELAY [REBOOT]; SET_UPSCOMMAND COMMAND [DELAY]\n"
                 "  -x: hex dump of every datagram; -w MS: wait for the answer (2000)\n"
                 "exit: 0 answered (a command request: sent), 1 no answer within the wait,\n"
                 "      2 wrong command line, 3 the request could not be sent\n");
    return kWrongCommandLine;
}

// A refused command line: one line that names the argument and why it is
// refused, then the usage.
[[gnu::format(printf, 1, 2)]] int refuse(const char *format, ...) {
    std::fputs("oskavelde-client: ", stderr);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
    return usage();
}

// A whole decimal number from 0 to the limit.
bool parse_number(const char *text, unsigned long limit, unsigned long *value) {
    if (text == nullptr || *text < '0' || *text > '9')
        return false;
    char *end = nullptr;
    const unsigned long parsed = std::strtoul(text, &end, 10);
    if (*end != '\0' || parsed > limit)
        return false;
    *value = parsed;
    return true;
}

bool parse_type(const char *text, unsigned long *type) {
    static const struct {
        const char *name;
        std::uint16_t type;
    } names[] = {{"GET_IDENTIF", GET_IDENTIF},       {"GET_STATUS", GET_STATUS},
                 {"GET_DEVDATA", GET_DEVDATA},       {"SET_UPSSHUTDOWN", SET_UPSSHUTDOWN},
                 {"SET_UPSCOMMAND", SET_UPSCOMMAND}, {"GET_BROWSEDATA", GET_BROWSEDATA}};
    for (const auto &entry : names) {
        if (std::strcmp(text, entry.name) == 0) {
            *type = entry.type;
            return true;
        }
    }
    return parse_number(text, 0xFFFF, type);
}

bool is_command(unsigned long type) { return type == SET_UPSSHUTDOWN || type == SET_UPSCOMMAND; }

// A request that could not be sent: one line that names it and says why.
int not_sent(const std::string &name, unsigned long device, const char *host, unsigned long port,
             const char *reason) {
    std::fprintf(stderr, "oskavelde-client: %s for device %lu could not be sent to %s:%lu: %s\n",
                 name.c_str(), device, host, port, reason);
    return kNotSent;
}

// The request sender is handed the host's address in dotted form, which
// it takes as it is, never a name it would have to cut: the name is taken
// whole to its address here, or refused. Empty when it resolves, else why
// not.
std::string resolve_host(const char *host, char (&dotted)[16]) {
    std::size_t length = std::strlen(host);
    if (length > 0 && host[length - 1] == '.')
        --length;
    if (length > kHostNameLength)
        return "longer than a host name may be (253 characters)";
    const platform::hostent *found = platform::gethostbyname(host);
    if (found == nullptr)
        return std::string("does not resolve to an IPv4 address (") +
               platform::socket_error_text(platform::WSAGetLastError()) + ")";
    platform::in_addr address{};
    std::memcpy(&address.s_addr, found->h_addr_list[0], sizeof address.s_addr);
    std::snprintf(dotted, sizeof dotted, "%s", platform::inet_ntoa(address));
    return "";
}

// Whether a datagram comes from where the request went, the agent's
// address and port: anything else is a stranger's and is passed over.
bool from_agent(const platform::sockaddr_in &from) {
    return from.sin_addr.s_addr == from_request.sin_addr.s_addr &&
           from.sin_port == from_request.sin_port;
}

// Whether a datagram answers the request: a response of its type, or the
// error response that the agent sends for a type it does not serve.
bool answers(const std::uint8_t *data, std::size_t length, unsigned long type) {
    protocol_decode::Header header;
    if (!protocol_decode::decode_header(data, length, &header))
        return false;
    return header.RR == 1 && (header.Ident == type || header.Ident == SEND_ERROR);
}

void put_word(std::uint8_t *at, unsigned long value) {
    at[0] = static_cast<std::uint8_t>(value & 0xFF);
    at[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

} // namespace

int main(int argc, char **argv) {
    bool hex = false;
    unsigned long wait_ms = 2000;
    int at = 1;
    for (; at < argc && argv[at][0] == '-'; ++at) {
        if (std::strcmp(argv[at], "-x") == 0) {
            hex = true;
        } else if (std::strcmp(argv[at], "-w") == 0) {
            if (at + 1 >= argc)
                return refuse("-w: the wait in milliseconds is missing");
            if (!parse_number(argv[++at], 600000, &wait_ms))
                return refuse("-w \"%s\": not a wait of 0 to 600000 milliseconds", argv[at]);
        } else {
            return refuse("\"%s\": no such option (-x, -w MS)", argv[at]);
        }
    }
    if (argc - at < 4)
        return refuse("%s missing", argc - at == 0   ? "HOST, PORT, TYPE and DEVICE are"
                                    : argc - at == 1 ? "PORT, TYPE and DEVICE are"
                                    : argc - at == 2 ? "TYPE and DEVICE are"
                                                     : "DEVICE is");
    const char *host = argv[at];
    unsigned long port = 0;
    unsigned long type = 0;
    unsigned long device = 0;
    if (!parse_number(argv[at + 1], 0xFFFF, &port))
        return refuse("PORT \"%s\": not a port number 0 to 65535", argv[at + 1]);
    if (!parse_type(argv[at + 2], &type))
        return refuse("TYPE \"%s\": not a request name or a number 0 to 65535", argv[at + 2]);
    if (std::strcmp(argv[at + 3], "all") == 0)
        device = ALL_DEVICES;
    else if (!parse_number(argv[at + 3], 0xFFFF, &device))
        return refuse("DEVICE \"%s\": not a device number 0 to 65535 or \"all\"", argv[at + 3]);

    // The two words of a command request, with their defaults.
    const int values = argc - at - 4;
    unsigned long words[2] = {0, 0};
    if (type == SET_UPSSHUTDOWN)
        words[1] = 0xFFFF;
    const char *const names[2] = {type == SET_UPSSHUTDOWN ? "DELAY" : "COMMAND",
                                  type == SET_UPSSHUTDOWN ? "REBOOT" : "DELAY"};
    if (values > 0 && !is_command(type))
        return refuse("\"%s\": TYPE %s takes no VALUE", argv[at + 4], argv[at + 2]);
    if (values == 0 && is_command(type))
        return refuse("%s: its %s is missing", argv[at + 2], names[0]);
    if (values > 2)
        return refuse("\"%s\": %s takes at most two values", argv[at + 6], argv[at + 2]);
    for (int i = 0; i < values; ++i) {
        if (!parse_number(argv[at + 4 + i], 0xFFFF, &words[i]))
            return refuse("%s \"%s\": not a number 0 to 65535", names[i], argv[at + 4 + i]);
    }
    std::uint8_t payload[4];
    put_word(payload, words[0]);
    put_word(payload + 2, words[1]);

    const std::string name = protocol_decode::request_name(static_cast<std::uint16_t>(type));
    platform::WSADATA data;
    const int started = platform::WSAStartup(platform::MAKEWORD(1, 1), &data);
    if (started != 0)
        return not_sent(name, device, host, port, platform::socket_error_text(started));
    char address[16] = {};
    const std::string refused = resolve_host(host, address);
    if (!refused.empty())
        return refuse("HOST \"%s\": %s", host, refused.c_str());
    const platform::SOCKET s =
        platform::socket(platform::AF_INET, platform::SOCK_DGRAM, platform::IPPROTO_UDP);
    if (s == platform::INVALID_SOCKET)
        return not_sent(name, device, host, port,
                        platform::socket_error_text(platform::WSAGetLastError()));
    platform::u_long non_blocking = 1;
    platform::ioctlsocket(s, platform::FIONBIO, &non_blocking);

    // The sender addresses [Network] Port + 4.
    INI.Network.Port = static_cast<std::uint16_t>((port - 4) & 0xFFFF);
    std::printf("request: TYPE=%lu (%s) DEVICE=%lu to %s:%lu\n", type, name.c_str(), device, host,
                port);
    std::fflush(stdout);
    const int sent = udp_rq_send(s, static_cast<int>(type), address,
                                 static_cast<std::uint16_t>(device), payload, sizeof payload);
    if (sent != 0) {
        const int error = platform::WSAGetLastError();
        platform::closesocket(s);
        return not_sent(name, device, host, port,
                        sent == 2 ? platform::socket_error_text(error) : "bad host address");
    }

    // One deadline for the whole wait, which no datagram moves: after a
    // datagram of the agent, a further one is awaited for a short while,
    // never past it.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(wait_ms);
    Clock::time_point end = deadline;
    static std::uint8_t buffer[kReceiveRoom];
    int responses = 0;
    bool answered = false;
    while (Clock::now() < end) {
        platform::sockaddr_in from{};
        int from_length = sizeof from;
        const int got =
            platform::recvfrom(s, reinterpret_cast<char *>(buffer), sizeof buffer, 0,
                               reinterpret_cast<platform::sockaddr *>(&from), &from_length);
        if (got < 0) {
            platform::Sleep(kPollMilliseconds);
            continue;
        }
        if (!from_agent(from))
            continue;
        ++responses;
        std::printf("response %d: %d bytes from %s:%u\n", responses, got,
                    platform::inet_ntoa(from.sin_addr), platform::ntohs(from.sin_port));
        const auto length = static_cast<std::size_t>(got);
        answered = answered || answers(buffer, length, type);
        std::fputs(protocol_decode::describe_datagram(buffer, length).c_str(), stdout);
        if (hex)
            std::fputs(protocol_decode::hex_dump(buffer, length).c_str(), stdout);
        std::fflush(stdout);
        end = std::min(deadline, Clock::now() + std::chrono::milliseconds(kFollowUpMilliseconds));
    }
    if (responses == 0)
        std::printf("no response\n");
    else
        std::printf("responses: %d\n", responses);
    std::fflush(stdout);
    platform::closesocket(s);
    platform::WSACleanup();

    if (answered || is_command(type))
        return kAnswered;
    std::fprintf(stderr,
                 "oskavelde-client: no answer from %s:%lu to %s for device %lu within %lu ms "
                 "(the device is not communicating or not configured, the agent is not "
                 "running, or it answers from another address)\n",
                 host, port, name.c_str(), device, wait_ms);
    return kNoAnswer;
}
