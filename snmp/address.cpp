// Parsing and name resolution of agent addresses.
#include "snmp/address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <string>

namespace {

// Longest host text taken; anything longer is not an address.
constexpr std::size_t k_max_host = 255;

// A port of 1 to 5 decimal digits, at most 65535.
bool parse_port(const std::string &text, unsigned short &port) {
    if (text.empty() || text.size() > 5)
        return false;
    unsigned long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (value > 65535)
        return false;
    port = static_cast<unsigned short>(value);
    return true;
}

// First address of the family for the name, or false.
bool resolve(const char *name, int family, void *out, std::size_t size) {
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) != 0 || found == nullptr)
        return false;
    bool ok = false;
    if (found->ai_family == AF_INET && family == AF_INET) {
        const auto *sin = reinterpret_cast<const sockaddr_in *>(found->ai_addr);
        std::memcpy(out, &sin->sin_addr, size);
        ok = true;
    } else if (found->ai_family == AF_INET6 && family == AF_INET6) {
        const auto *sin6 = reinterpret_cast<const sockaddr_in6 *>(found->ai_addr);
        std::memcpy(out, &sin6->sin6_addr, size);
        ok = true;
    }
    freeaddrinfo(found);
    return ok;
}

} // namespace

bool IpAddress::set_host(const char *host) {
    std::memset(bytes_, 0, sizeof bytes_);
    if (host[0] == '\0')
        return false;
    if (inet_pton(AF_INET, host, bytes_) == 1) {
        version_ = version_ipv4;
        return true;
    }
    if (inet_pton(AF_INET6, host, bytes_) == 1) {
        version_ = version_ipv6;
        return true;
    }
    if (resolve(host, AF_INET, bytes_, 4)) {
        version_ = version_ipv4;
        return true;
    }
    if (resolve(host, AF_INET6, bytes_, 16)) {
        version_ = version_ipv6;
        return true;
    }
    return false;
}

UdpAddress::UdpAddress(const char *text) {
    if (text == nullptr)
        return;
    const std::size_t len = strnlen(text, k_max_host + 1);
    if (len == 0 || len > k_max_host)
        return;
    const std::string all(text, len);
    std::string host = all;
    std::string port;
    if (all[0] == '[') {
        // "[v6]" or "[v6]:port"
        const std::size_t close = all.find(']');
        if (close == std::string::npos)
            return;
        host = all.substr(1, close - 1);
        const std::string rest = all.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':')
                return;
            port = rest.substr(1);
            if (port.empty())
                return;
        }
    } else if (const std::size_t slash = all.rfind('/'); slash != std::string::npos) {
        host = all.substr(0, slash);
        port = all.substr(slash + 1);
        if (port.empty())
            return;
    } else if (const std::size_t colon = all.find(':');
               colon != std::string::npos && all.find(':', colon + 1) == std::string::npos) {
        // One colon: "host:port". More than one is an IPv6 literal.
        host = all.substr(0, colon);
        port = all.substr(colon + 1);
        if (port.empty())
            return;
    }
    unsigned short number = 161;
    if (!port.empty() && !parse_port(port, number))
        return;
    if (!set_host(host.c_str()))
        return;
    port_ = number;
    valid_ = true;
}
