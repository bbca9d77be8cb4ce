// Windows Sockets on BSD sockets: each call converts the layer's records
// and constants to the system's, makes the system call and keeps its errno
// as the thread's socket error.
//
// The system headers come first, their values are kept under names of
// their own, and their macros that share a name with the layer's are
// removed before the layer's header is read.
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

namespace {
constexpr int sys_AF_INET = AF_INET;
constexpr int sys_SOCK_STREAM = SOCK_STREAM;
constexpr int sys_SOCK_DGRAM = SOCK_DGRAM;
constexpr int sys_IPPROTO_UDP = IPPROTO_UDP;
constexpr int sys_SOL_SOCKET = SOL_SOCKET;
constexpr int sys_SO_BROADCAST = SO_BROADCAST;
constexpr unsigned long sys_FIONREAD = FIONREAD;
} // namespace

#undef AF_INET
#undef SOCK_STREAM
#undef SOCK_DGRAM
#undef IPPROTO_UDP
#undef SOL_SOCKET
#undef SO_BROADCAST
#undef FIONBIO
#undef FIONREAD
#undef INADDR_ANY
#undef INADDR_NONE
#undef htons
#undef htonl
#undef ntohs
#undef ntohl

#include "platform/winsock.h"

namespace platform {

namespace {

// Users of the layer: WSAStartup calls not yet ended by WSACleanup.
std::atomic<int> g_startups{0};

thread_local int t_socket_error = 0;

// Keeps errno of a failed system call as the socket error.
int fail_errno() {
    t_socket_error = errno;
    return SOCKET_ERROR;
}

int fail_with(int error) {
    t_socket_error = error;
    return SOCKET_ERROR;
}

constexpr int kMaxHostName = 255;
constexpr int kMaxAddresses = 8;

// The host entry of one thread and the storage it points into.
struct HostStorage {
    hostent entry;
    char name[kMaxHostName + 1];
    char *aliases[1];
    in_addr addresses[kMaxAddresses];
    char *address_list[kMaxAddresses + 1];
};
thread_local HostStorage t_host;

thread_local char t_ntoa[16];

thread_local char t_error_text[128];

// The look-up codes of the layer and the resolver's failures they stand for.
struct LookUpFailure {
    int resolver;
    int code;
};
constexpr LookUpFailure kLookUpFailures[] = {
    {EAI_NONAME, WSAHOST_NOT_FOUND},
    {EAI_AGAIN, WSATRY_AGAIN},
    {EAI_FAIL, WSANO_RECOVERY},
    {EAI_NODATA, WSANO_DATA},
};

// The socket error of a failed getaddrinfo.
int look_up_error(int status) {
    if (status == EAI_SYSTEM)
        return errno;
    if (status == EAI_MEMORY)
        return ENOMEM;
    if (status == EAI_ADDRFAMILY)
        return WSANO_DATA;
    for (const LookUpFailure &f : kLookUpFailures)
        if (f.resolver == status)
            return f.code;
    return WSANO_RECOVERY;
}

// The system's form of an AF_INET address of the layer; false for another
// family or a short length.
bool to_system(const sockaddr *address, int length, ::sockaddr_in *out) {
    if (address == nullptr || length < static_cast<int>(sizeof(sockaddr_in)))
        return false;
    sockaddr_in in;
    std::memcpy(&in, address, sizeof in);
    if (in.sin_family != AF_INET)
        return false;
    std::memset(out, 0, sizeof *out);
    out->sin_family = sys_AF_INET;
    out->sin_port = in.sin_port;
    out->sin_addr.s_addr = in.sin_addr.s_addr;
    return true;
}

} // namespace

int WSAStartup(WORD requested_version, WSADATA *data) {
    // Below 1.1 means a major version of 0, or 1.0.
    const BYTE major = LOBYTE(requested_version);
    const BYTE minor = HIBYTE(requested_version);
    if (major == 0 || (major == 1 && minor == 0))
        return WSAVERNOTSUPPORTED;
    if (data != nullptr) {
        std::memset(data, 0, sizeof *data);
        data->wVersion = MAKEWORD(1, 1);
        data->wHighVersion = MAKEWORD(2, 2);
        std::snprintf(data->szDescription, sizeof data->szDescription, "BSD sockets");
        std::snprintf(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
        rlimit files{};
        rlim_t sockets = 0;
        if (::getrlimit(RLIMIT_NOFILE, &files) == 0)
            sockets = files.rlim_cur;
        data->iMaxSockets = static_cast<u_short>(std::min<rlim_t>(sockets, 0xFFFF));
        data->iMaxUdpDg = 65507;
    }
    ++g_startups;
    return 0;
}

int WSACleanup() {
    int users = g_startups.load();
    while (users > 0) {
        if (g_startups.compare_exchange_weak(users, users - 1))
            return 0;
    }
    return fail_with(WSANOTINITIALISED);
}

int WSAGetLastError() { return t_socket_error; }

void WSASetLastError(int error) { t_socket_error = error; }

const char *socket_error_text(int error) {
    for (const LookUpFailure &f : kLookUpFailures)
        if (f.code == error)
            return ::gai_strerror(f.resolver);
    if (error == WSAVERNOTSUPPORTED)
        return "The socket layer does not offer the version asked for";
    if (error == WSANOTINITIALISED)
        return "The socket layer has not been started";
    // The GNU strerror_r, which may hand back a text of its own instead of
    // filling the buffer.
    return ::strerror_r(error, t_error_text, sizeof t_error_text);
}

SOCKET socket(int family, int type, int protocol) {
    if (g_startups.load() <= 0) {
        fail_with(WSANOTINITIALISED);
        return INVALID_SOCKET;
    }
    if (family != AF_INET) {
        fail_with(EAFNOSUPPORT);
        return INVALID_SOCKET;
    }
    int sys_type = 0;
    if (type == SOCK_DGRAM)
        sys_type = sys_SOCK_DGRAM;
    else if (type == SOCK_STREAM)
        sys_type = sys_SOCK_STREAM;
    else {
        fail_with(ESOCKTNOSUPPORT);
        return INVALID_SOCKET;
    }
    const int sys_protocol = protocol == IPPROTO_UDP ? sys_IPPROTO_UDP : protocol;
    int fd = ::socket(sys_AF_INET, sys_type | SOCK_CLOEXEC, sys_protocol);
    if (fd < 0) {
        fail_errno();
        return INVALID_SOCKET;
    }
    if (fd == 0) {
        // Standard input was closed, so the socket got descriptor 0, which
        // every caller reads as "no socket": move it.
        const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 1);
        const int saved = errno;
        ::close(fd);
        if (moved < 0) {
            fail_with(saved);
            return INVALID_SOCKET;
        }
        fd = moved;
    }
    return fd;
}

int closesocket(SOCKET s) { return ::close(s) == 0 ? 0 : fail_errno(); }

int bind(SOCKET s, const sockaddr *address, int length) {
    ::sockaddr_in sys{};
    if (!to_system(address, length, &sys))
        return fail_with(EINVAL);
    return ::bind(s, reinterpret_cast<const ::sockaddr *>(&sys), sizeof sys) == 0 ? 0
                                                                                  : fail_errno();
}

int ioctlsocket(SOCKET s, long command, u_long *argument) {
    if (argument == nullptr)
        return fail_with(EFAULT);
    if (command == FIONBIO) {
        const int flags = ::fcntl(s, F_GETFL);
        if (flags < 0)
            return fail_errno();
        const int wanted = *argument != 0 ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
        return ::fcntl(s, F_SETFL, wanted) == 0 ? 0 : fail_errno();
    }
    if (command == FIONREAD) {
        int waiting = 0;
        if (::ioctl(s, sys_FIONREAD, &waiting) != 0)
            return fail_errno();
        if (waiting == 0) {
            // Zero either because nothing waits or because the datagram at
            // the head is empty; a peek tells them apart.
            char probe;
            if (::recv(s, &probe, sizeof probe, MSG_PEEK | MSG_DONTWAIT) >= 0)
                waiting = 1;
        }
        *argument = static_cast<u_long>(std::max(waiting, 0));
        return 0;
    }
    return fail_with(EINVAL);
}

int setsockopt(SOCKET s, int level, int option, const char *value, int length) {
    if (level != SOL_SOCKET || option != SO_BROADCAST)
        return fail_with(ENOPROTOOPT);
    if (value == nullptr || length < static_cast<int>(sizeof(int)))
        return fail_with(EFAULT);
    int on = 0;
    std::memcpy(&on, value, sizeof on);
    on = on != 0 ? 1 : 0;
    return ::setsockopt(s, sys_SOL_SOCKET, sys_SO_BROADCAST, &on, sizeof on) == 0 ? 0
                                                                                  : fail_errno();
}

int recvfrom(SOCKET s, char *buffer, int length, int flags, sockaddr *from, int *from_length) {
    if (buffer == nullptr || length < 0)
        return fail_with(EFAULT);
    if (from != nullptr &&
        (from_length == nullptr || *from_length < static_cast<int>(sizeof(sockaddr_in))))
        return fail_with(EFAULT);
    (void)flags;
    ::sockaddr_in sender{};
    iovec part{buffer, static_cast<std::size_t>(length)};
    msghdr message{};
    message.msg_name = &sender;
    message.msg_namelen = sizeof sender;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    const ssize_t got = ::recvmsg(s, &message, 0);
    if (got < 0)
        return fail_errno();
    if (from != nullptr) {
        sockaddr_in out{};
        out.sin_family = AF_INET;
        out.sin_port = sender.sin_port;
        out.sin_addr.s_addr = sender.sin_addr.s_addr;
        std::memcpy(from, &out, sizeof out);
        *from_length = sizeof out;
    }
    if ((message.msg_flags & MSG_TRUNC) != 0)
        return fail_with(EMSGSIZE);
    return static_cast<int>(got);
}

int sendto(SOCKET s, const char *buffer, int length, int flags, const sockaddr *to, int to_length) {
    if (buffer == nullptr || length < 0)
        return fail_with(EFAULT);
    (void)flags;
    ::sockaddr_in sys{};
    if (!to_system(to, to_length, &sys))
        return fail_with(EINVAL);
    const ssize_t sent = ::sendto(s, buffer, static_cast<std::size_t>(length), MSG_NOSIGNAL,
                                  reinterpret_cast<const ::sockaddr *>(&sys), sizeof sys);
    return sent < 0 ? fail_errno() : static_cast<int>(sent);
}

u_short htons(u_short value) { return ::htons(value); }
u_long htonl(u_long value) { return ::htonl(value); }
u_short ntohs(u_short value) { return ::ntohs(value); }

u_long inet_addr(const char *text) {
    if (text == nullptr || text[0] == '\0')
        return INADDR_NONE;
    return ::inet_addr(text);
}

char *inet_ntoa(in_addr address) {
    unsigned char bytes[4];
    std::memcpy(bytes, &address.s_addr, sizeof bytes);
    std::snprintf(t_ntoa, sizeof t_ntoa, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    return t_ntoa;
}

int gethostname(char *name, int length) {
    if (name == nullptr || length <= 0)
        return fail_with(EFAULT);
    char own[kMaxHostName + 1] = {};
    if (::gethostname(own, sizeof own - 1) != 0)
        return fail_errno();
    const std::size_t used = std::strlen(own);
    if (used + 1 > static_cast<std::size_t>(length))
        return fail_with(ENAMETOOLONG);
    std::memcpy(name, own, used + 1);
    return 0;
}

hostent *gethostbyname(const char *name) {
    if (name == nullptr) {
        fail_with(EFAULT);
        return nullptr;
    }
    const std::size_t used = ::strnlen(name, kMaxHostName + 1);
    if (used > static_cast<std::size_t>(kMaxHostName)) {
        fail_with(ENAMETOOLONG);
        return nullptr;
    }
    addrinfo hints{};
    hints.ai_family = sys_AF_INET;
    hints.ai_socktype = sys_SOCK_DGRAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo *found = nullptr;
    const int status = ::getaddrinfo(name, nullptr, &hints, &found);
    if (status != 0) {
        fail_with(look_up_error(status));
        return nullptr;
    }
    HostStorage &host = t_host;
    std::memset(&host, 0, sizeof host);
    const char *canonical = found->ai_canonname != nullptr ? found->ai_canonname : name;
    std::snprintf(host.name, sizeof host.name, "%s", canonical);
    int count = 0;
    for (const addrinfo *at = found; at != nullptr && count < kMaxAddresses; at = at->ai_next) {
        if (at->ai_family != sys_AF_INET || at->ai_addr == nullptr ||
            at->ai_addrlen < sizeof(::sockaddr_in))
            continue;
        ::sockaddr_in sys{};
        std::memcpy(&sys, at->ai_addr, sizeof sys);
        host.addresses[count].s_addr = sys.sin_addr.s_addr;
        host.address_list[count] = reinterpret_cast<char *>(&host.addresses[count]);
        ++count;
    }
    ::freeaddrinfo(found);
    if (count == 0) {
        fail_with(WSANO_DATA);
        return nullptr;
    }
    host.entry.h_name = host.name;
    host.entry.h_aliases = host.aliases;
    host.entry.h_addrtype = AF_INET;
    host.entry.h_length = 4;
    host.entry.h_addr_list = host.address_list;
    return &host.entry;
}

} // namespace platform
