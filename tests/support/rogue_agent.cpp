// The rogue agent's thread: requests taken apart, answers and flood
// datagrams put together, both in hand-made BER, over one UDP socket.
#include "tests/support/rogue_agent.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tests/support/wake_pipe.h"

namespace osktest {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t k_max_datagram = 65536;
// sysDescr.0: the object the flood's responses name.
constexpr const char *k_flood_oid = "1.3.6.1.2.1.1.1.0";

// One BER element inside a datagram: its tag, its contents and where the
// element after it begins.
struct Element {
    unsigned char tag = 0;
    const unsigned char *body = nullptr;
    std::size_t length = 0;
    const unsigned char *next = nullptr;
};

bool read_element(const unsigned char *at, const unsigned char *end, Element &element) {
    if (end - at < 2)
        return false;
    element.tag = at[0];
    std::size_t length = at[1];
    const unsigned char *p = at + 2;
    if (length & 0x80) {
        const std::size_t octets = length & 0x7F;
        if (octets == 0 || octets > 4 || static_cast<std::size_t>(end - p) < octets)
            return false;
        length = 0;
        for (std::size_t i = 0; i < octets; ++i)
            length = length << 8 | *p++;
    }
    if (static_cast<std::size_t>(end - p) < length)
        return false;
    element.body = p;
    element.length = length;
    element.next = p + length;
    return true;
}

bool read_integer(const Element &element, long &value) {
    if (element.tag != k_ber_integer || element.length == 0 || element.length > sizeof(long))
        return false;
    unsigned long bits = (element.body[0] & 0x80) ? ~0UL : 0UL;
    for (std::size_t i = 0; i < element.length; ++i)
        bits = bits << 8 | element.body[i];
    value = static_cast<long>(bits);
    return true;
}

bool read_oid(const Element &element, std::string &dotted) {
    if (element.tag != 0x06 || element.length == 0)
        return false;
    dotted = std::to_string(element.body[0] / 40) + "." + std::to_string(element.body[0] % 40);
    unsigned long arc = 0;
    for (std::size_t i = 1; i < element.length; ++i) {
        if (arc > 0xFFFFFFFFUL >> 7)
            return false;
        arc = arc << 7 | (element.body[i] & 0x7F);
        if (!(element.body[i] & 0x80)) {
            dotted += "." + std::to_string(arc);
            arc = 0;
        }
    }
    return true;
}

// version, community, then the PDU with its request id, error status and
// index, and its list of bindings.
bool parse_request(const unsigned char *data, std::size_t size, RogueRequest &request,
                   std::string &community) {
    Element message;
    Element version;
    Element name;
    Element pdu;
    if (!read_element(data, data + size, message) || message.tag != 0x30 ||
        !read_element(message.body, message.next, version) ||
        !read_element(version.next, message.next, name) || name.tag != k_ber_octets ||
        !read_element(name.next, message.next, pdu))
        return false;
    community.assign(reinterpret_cast<const char *>(name.body), name.length);
    request.type = pdu.tag;
    Element id;
    Element status;
    Element index;
    Element list;
    if (!read_element(pdu.body, pdu.next, id) || !read_integer(id, request.request_id) ||
        !read_element(id.next, pdu.next, status) || !read_element(status.next, pdu.next, index) ||
        !read_element(index.next, pdu.next, list) || list.tag != 0x30)
        return false;
    request.oids.clear();
    for (const unsigned char *at = list.body; at < list.next;) {
        Element binding;
        Element name_oid;
        std::string dotted;
        if (!read_element(at, list.next, binding) || binding.tag != 0x30 ||
            !read_element(binding.body, binding.next, name_oid) || !read_oid(name_oid, dotted))
            return false;
        request.oids.push_back(dotted);
        at = binding.next;
    }
    return true;
}

std::string tlv(unsigned char tag, const std::string &body) {
    std::string out(1, static_cast<char>(tag));
    const std::size_t n = body.size();
    if (n < 0x80) {
        out += static_cast<char>(n);
    } else if (n < 0x100) {
        out += '\x81';
        out += static_cast<char>(n);
    } else {
        out += '\x82';
        out += static_cast<char>(n >> 8 & 0xFF);
        out += static_cast<char>(n & 0xFF);
    }
    return out + body;
}

// Two's complement in as few octets as hold the value.
std::string ber_number(unsigned char tag, long value) {
    std::string body;
    long rest = value;
    do {
        body.insert(body.begin(), static_cast<char>(rest & 0xFF));
        rest >>= 8;
    } while (!(rest == 0 && !(body[0] & 0x80)) && !(rest == -1 && (body[0] & 0x80)));
    return tlv(tag, body);
}

std::string ber_oid(const std::string &dotted) {
    std::vector<unsigned long> arcs;
    for (std::size_t at = 0; at < dotted.size();) {
        std::size_t dot = dotted.find('.', at);
        if (dot == std::string::npos)
            dot = dotted.size();
        arcs.push_back(std::stoul(dotted.substr(at, dot - at)));
        at = dot + 1;
    }
    std::string body;
    if (arcs.size() >= 2)
        body += static_cast<char>(arcs[0] * 40 + arcs[1]);
    for (std::size_t i = 2; i < arcs.size(); ++i) {
        std::string arc(1, static_cast<char>(arcs[i] & 0x7F));
        for (unsigned long rest = arcs[i] >> 7; rest != 0; rest >>= 7)
            arc.insert(arc.begin(), static_cast<char>(0x80 | (rest & 0x7F)));
        body += arc;
    }
    return tlv(0x06, body);
}

std::string ber_binding(const RogueBinding &binding) {
    std::string value;
    switch (binding.type) {
    case k_ber_integer:
    case k_ber_timeticks:
        value = ber_number(binding.type, binding.number);
        break;
    case k_ber_octets:
        value = tlv(k_ber_octets, binding.bytes);
        break;
    default:
        value = tlv(binding.type, "");
        break;
    }
    return tlv(0x30, ber_oid(binding.oid) + value);
}

std::string response(const std::string &community, long request_id, long error_status,
                     const std::vector<RogueBinding> &bindings) {
    std::string list;
    for (const RogueBinding &binding : bindings)
        list += ber_binding(binding);
    const std::string pdu = ber_number(k_ber_integer, request_id) +
                            ber_number(k_ber_integer, error_status) + ber_number(k_ber_integer, 0) +
                            tlv(0x30, list);
    return tlv(0x30, ber_number(k_ber_integer, 0) + tlv(k_ber_octets, community) + tlv(0xA2, pdu));
}

// A response of about bytes bytes for a request id that no request had:
// as many bindings as fill it, each of which the receiver has to take
// apart and put together as an object of its own.
std::string flood_datagram(const std::string &community, long request_id, std::size_t bytes) {
    const long wrong_id = (request_id + 0x20000000L) & 0x7FFFFFFFL;
    const RogueBinding filler{k_flood_oid, k_ber_null, 0, {}};
    const std::size_t frame = response(community, wrong_id, 0, {}).size();
    // Long lengths for the list, the PDU and the message.
    const std::size_t framing = frame + 9;
    const std::size_t each = ber_binding(filler).size();
    const std::size_t count = bytes > framing + each ? (bytes - framing) / each : 1;
    return response(community, wrong_id, 0, std::vector<RogueBinding>(count, filler));
}

// A UDP socket bound to address:port, or -1 with the reason in error.
int bound_socket(const char *address, unsigned short port, std::string &error) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    inet_pton(AF_INET, address, &at.sin_addr);
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&at), sizeof at) != 0) {
        error = std::string("rogue agent cannot bind ") + address + ":" + std::to_string(port) +
                ": " + std::strerror(errno);
        if (fd >= 0)
            close(fd);
        return -1;
    }
    return fd;
}

} // namespace

RogueBinding rogue_integer(const std::string &oid, long value) {
    return RogueBinding{oid, k_ber_integer, value, {}};
}

RogueBinding rogue_timeticks(const std::string &oid, long value) {
    return RogueBinding{oid, k_ber_timeticks, value, {}};
}

RogueBinding rogue_text(const std::string &oid, const std::string &text) {
    return RogueBinding{oid, k_ber_octets, 0, text};
}

RogueAnswer rogue_low_battery_ups(const RogueRequest &request, const std::string &model) {
    const std::string &asked = request.oids.at(0);
    if (request.type == k_pdu_get_next) {
        if (asked == k_ups_alarms_present)
            return {0, 0, {rogue_text(k_ups_alarm_descr + ".1", "1.3.6.1.2.1.33.1.6.3.2")}};
        if (asked == k_ups_alarm_descr + ".1")
            return {0, 0, {rogue_text(k_ups_alarm_descr + ".2", "1.3.6.1.2.1.33.1.6.3.3")}};
        // upsTestId.0, which follows the alarm table.
        return {0, 0, {rogue_integer("1.3.6.1.2.1.33.1.7.1.0", 1)}};
    }
    if (asked == "1.3.6.1.2.1.33.1.1.2.0") // upsIdentModel
        return {0, 0, {rogue_text(asked, model)}};
    if (asked == k_ups_output_source)
        return {0, 0, {rogue_integer(asked, 5)}};
    if (asked == k_ups_alarms_present)
        return {0, 0, {rogue_integer(asked, 2)}};
    // upsInputNumLines and upsOutputNumLines
    if (asked == "1.3.6.1.2.1.33.1.3.2.0" || asked == "1.3.6.1.2.1.33.1.4.3.0")
        return {0, 0, {rogue_integer(asked, 1)}};
    return {0, 0, {rogue_integer(asked, 42)}};
}

void RogueAgent::close_senders() {
    for (int *fd : {&other_port_fd_, &other_address_fd_}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

bool RogueAgent::start(RogueResponder responder, std::string &error) {
    stop();
    if (!lease_.acquire(161, error) || !other_lease_.acquire(161, error))
        return false;
    const int fd = bound_socket(lease_.address(), 161, error);
    if (fd < 0)
        return false;
    other_port_fd_ = bound_socket(lease_.address(), k_rogue_other_port, error);
    other_address_fd_ = bound_socket(other_lease_.address(), 161, error);
    if (other_port_fd_ < 0 || other_address_fd_ < 0) {
        close_senders();
        close(fd);
        return false;
    }
    if (pipe2(wake_fd_, O_CLOEXEC) != 0) {
        error = std::string("rogue agent pipe: ") + std::strerror(errno);
        close_senders();
        close(fd);
        return false;
    }
    responder_ = std::move(responder);
    requests_ = 0;
    flooded_ = 0;
    thread_ = std::thread(&RogueAgent::run, this, fd);
    return true;
}

void RogueAgent::stop() {
    osktest::stop_woken_thread(thread_, wake_fd_);
    close_senders();
}

void RogueAgent::flood_next_source(std::size_t bytes, int per_second,
                                   std::chrono::milliseconds duration) {
    std::lock_guard<std::mutex> lock(flood_mutex_);
    flood_armed_ = true;
    flood_bytes_ = bytes;
    flood_per_second_ = per_second > 0 ? per_second : 1;
    flood_duration_ = duration;
}

void RogueAgent::run(int fd) {
    std::vector<unsigned char> buffer(k_max_datagram);
    // The flood in progress, if any.
    bool flooding = false;
    sockaddr_in flood_to{};
    std::string flood_bytes;
    Clock::duration flood_interval{};
    Clock::time_point flood_next{};
    Clock::time_point flood_end{};
    int index = 0;

    for (;;) {
        int timeout = -1;
        if (flooding) {
            const auto wait =
                std::chrono::duration_cast<std::chrono::milliseconds>(flood_next - Clock::now());
            timeout = wait.count() > 0 ? static_cast<int>(wait.count()) : 0;
        }
        pollfd fds[2] = {{wake_fd_[0], POLLIN, 0}, {fd, POLLIN, 0}};
        if (poll(fds, 2, timeout) < 0 && errno != EINTR)
            break;
        if (fds[0].revents != 0)
            break;

        if (fds[1].revents & POLLIN) {
            sockaddr_in from{};
            socklen_t from_len = sizeof from;
            const ssize_t n = recvfrom(fd, buffer.data(), buffer.size(), 0,
                                       reinterpret_cast<sockaddr *>(&from), &from_len);
            RogueRequest request;
            std::string community;
            if (n > 0 &&
                parse_request(buffer.data(), static_cast<std::size_t>(n), request, community)) {
                request.index = index++;
                ++requests_;
                {
                    std::lock_guard<std::mutex> lock(flood_mutex_);
                    if (flood_armed_) {
                        flood_armed_ = false;
                        flooding = true;
                        flood_to = from;
                        flood_bytes = flood_datagram(community, request.request_id, flood_bytes_);
                        flood_interval =
                            std::chrono::nanoseconds(std::chrono::seconds(1)) / flood_per_second_;
                        flood_next = Clock::now();
                        flood_end = flood_next + flood_duration_;
                    }
                }
                for (const RogueAnswer &answer : responder_(request)) {
                    const std::string bytes =
                        response(community, request.request_id + answer.request_id_shift,
                                 answer.error_status, answer.bindings);
                    const int sender = answer.from == RogueSource::other_port ? other_port_fd_
                                       : answer.from == RogueSource::other_address
                                           ? other_address_fd_
                                           : fd;
                    sendto(sender, bytes.data(), bytes.size(), 0,
                           reinterpret_cast<const sockaddr *>(&from), sizeof from);
                }
            }
        }

        const Clock::time_point now = Clock::now();
        if (flooding && now >= flood_end)
            flooding = false;
        while (flooding && flood_next <= now) {
            if (sendto(fd, flood_bytes.data(), flood_bytes.size(), MSG_DONTWAIT,
                       reinterpret_cast<const sockaddr *>(&flood_to), sizeof flood_to) > 0)
                ++flooded_;
            flood_next += flood_interval;
            // After a stall the flood goes on at its rate, not in a burst.
            if (now - flood_next > std::chrono::milliseconds(50))
                flood_next = now;
        }
    }
    close(fd);
}

} // namespace osktest
