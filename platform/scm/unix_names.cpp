// The abstract Unix socket names of this network namespace, through the
// kernel's socket diagnostics, and the holder of a socket through /proc.
#include "platform/scm/unix_names.h"

#include <dirent.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/unix_diag.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform::scm {

namespace {

// The kernel answers at once; a dump that stalls is not waited for.
constexpr int kAnswerLimitMs = 5000;
// Larger than any datagram of a dump, which the kernel keeps within 32 KiB.
constexpr std::size_t kBufferSize = 64 * 1024;
constexpr std::uint32_t kSequence = 1;
constexpr std::size_t kMessageHeader = NLMSG_ALIGN(sizeof(nlmsghdr));
constexpr std::size_t kAttributeHeader = RTA_ALIGN(sizeof(rtattr));

struct DumpRequest {
    nlmsghdr header;
    unix_diag_req body;
};

enum class Step { more, done, failed };

// One socket of the dump: its message, then its attributes, each length
// checked against what the datagram holds before it is used.
bool take_socket(const char *bytes, std::size_t size, const std::string &prefix,
                 const std::function<void(const AbstractName &)> &found) {
    if (size < sizeof(unix_diag_msg))
        return false;
    unix_diag_msg message;
    std::memcpy(&message, bytes, sizeof message);
    AbstractName socket;
    socket.inode = message.udiag_ino;
    bool named = false;
    bool owned = false;
    for (std::size_t at = NLMSG_ALIGN(sizeof message); at + sizeof(rtattr) <= size;) {
        rtattr attribute;
        std::memcpy(&attribute, bytes + at, sizeof attribute);
        if (attribute.rta_len < kAttributeHeader || attribute.rta_len > size - at)
            return false;
        const char *payload = bytes + at + kAttributeHeader;
        const std::size_t length = attribute.rta_len - kAttributeHeader;
        if (attribute.rta_type == UNIX_DIAG_NAME && length > 0 && payload[0] == '\0') {
            socket.name.assign(payload + 1, length - 1);
            named = true;
        } else if (attribute.rta_type == UNIX_DIAG_UID && length >= sizeof(std::uint32_t)) {
            std::uint32_t uid = 0;
            std::memcpy(&uid, payload, sizeof uid);
            socket.uid = uid;
            owned = true;
        }
        at += RTA_ALIGN(attribute.rta_len);
    }
    // A socket whose user the kernel did not tell is nobody's to trust,
    // so it is not reported as anyone's.
    if (named && owned && socket.name.compare(0, prefix.size(), prefix) == 0)
        found(socket);
    return true;
}

// The messages of one datagram of the dump.
Step take_datagram(const char *bytes, std::size_t size, const std::string &prefix,
                   const std::function<void(const AbstractName &)> &found) {
    for (std::size_t at = 0; at + sizeof(nlmsghdr) <= size;) {
        nlmsghdr header;
        std::memcpy(&header, bytes + at, sizeof header);
        if (header.nlmsg_len < kMessageHeader || header.nlmsg_len > size - at)
            return Step::failed;
        if (header.nlmsg_seq == kSequence) {
            if (header.nlmsg_type == NLMSG_DONE)
                return Step::done;
            if (header.nlmsg_type == NLMSG_ERROR)
                return Step::failed;
            if (header.nlmsg_type == SOCK_DIAG_BY_FAMILY &&
                !take_socket(bytes + at + kMessageHeader, header.nlmsg_len - kMessageHeader, prefix, found))
                return Step::failed;
        }
        at += NLMSG_ALIGN(header.nlmsg_len);
    }
    return Step::more;
}

} // namespace

bool each_abstract_name(const std::string &prefix, const std::function<void(const AbstractName &)> &found) {
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (fd < 0)
        return false;
    DumpRequest request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = kSequence;
    request.body.sdiag_family = AF_UNIX;
    request.body.udiag_states = ~0u; // bound sockets in every state, listening or not
    request.body.udiag_show = UDIAG_SHOW_NAME | UDIAG_SHOW_UID;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    Step step = ::sendto(fd, &request, sizeof request, 0, reinterpret_cast<const sockaddr *>(&kernel),
                         sizeof kernel) == static_cast<ssize_t>(sizeof request)
                    ? Step::more
                    : Step::failed;
    std::vector<char> buffer(kBufferSize);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerLimitMs);
    while (step == Step::more) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            step = Step::failed;
            break;
        }
        sockaddr_nl from{};
        socklen_t from_length = sizeof from;
        // With MSG_TRUNC the length is the datagram's whole, so a datagram
        // larger than the buffer shows.
        const ssize_t n = ::recvfrom(fd, buffer.data(), buffer.size(), MSG_TRUNC,
                                     reinterpret_cast<sockaddr *>(&from), &from_length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || static_cast<std::size_t>(n) > buffer.size()) {
            step = Step::failed;
            break;
        }
        // Only the kernel's answer counts.
        if (from.nl_pid != 0)
            continue;
        step = take_datagram(buffer.data(), static_cast<std::size_t>(n), prefix, found);
    }
    ::close(fd);
    return step == Step::done;
}

int socket_holder(unsigned long inode) {
    char wanted[48];
    std::snprintf(wanted, sizeof wanted, "socket:[%lu]", inode);
    DIR *processes = ::opendir("/proc");
    if (processes == nullptr)
        return 0;
    int holder = 0;
    for (dirent *process = ::readdir(processes); holder == 0 && process != nullptr;
         process = ::readdir(processes)) {
        char *end = nullptr;
        const long pid = std::strtol(process->d_name, &end, 10);
        if (end == process->d_name || *end != '\0' || pid <= 0 || pid > 0x7FFFFFFF)
            continue;
        char folder[64];
        std::snprintf(folder, sizeof folder, "/proc/%ld/fd", pid);
        DIR *descriptors = ::opendir(folder);
        if (descriptors == nullptr)
            continue;
        for (dirent *d = ::readdir(descriptors); d != nullptr; d = ::readdir(descriptors)) {
            char link[sizeof wanted];
            const ssize_t n = ::readlinkat(::dirfd(descriptors), d->d_name, link, sizeof link - 1);
            if (n <= 0)
                continue;
            link[n] = '\0';
            if (std::strcmp(link, wanted) == 0) {
                holder = static_cast<int>(pid);
                break;
            }
        }
        ::closedir(descriptors);
    }
    ::closedir(processes);
    return holder;
}

} // namespace platform::scm
