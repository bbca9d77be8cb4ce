// The run name: an abstract Unix socket name held by the service's process.
#include "platform/scm/run_name.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/last_error.h"
#include "platform/scm/scm_channel.h"

namespace platform::scm {

namespace {

constexpr char kPrefix[] = "oskavelde-scm/";

std::uint64_t fnv1a64(const std::string &bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::string hex64(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// The address of the base path's name. The folder is taken as an absolute,
// lexically normal path, so that every command that names the same state
// directory finds the same name, whether or not the folder still exists;
// a file name too long for the address is taken by its hash.
socklen_t name_address(const std::string &base, sockaddr_un &address) {
    const std::size_t slash = base.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : base.substr(0, slash);
    const std::string file = slash == std::string::npos ? base : base.substr(slash + 1);
    std::error_code ignored;
    std::string normal = std::filesystem::absolute(folder, ignored).lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();
    std::string name = kPrefix + hex64(fnv1a64(normal)) + "/";
    // The first byte of the path is the NUL that makes the name abstract.
    const std::size_t room = sizeof address.sun_path - 1 - name.size();
    name += file.size() <= room ? file : "#" + hex64(fnv1a64(file));
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

// The process listening on the name: pid and uid of the listener as the
// kernel recorded them, or an errno (ECONNREFUSED when no one listens,
// EAGAIN when its queue is full).
int listener_of(const sockaddr_un &address, socklen_t length, Peer &peer) {
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s < 0)
        return errno;
    int err = 0;
    while (::connect(s, reinterpret_cast<const sockaddr *>(&address), length) != 0) {
        if (errno != EINTR) {
            err = errno;
            break;
        }
    }
    ucred cred{};
    socklen_t size = sizeof cred;
    if (err == 0 && ::getsockopt(s, SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0)
        err = errno;
    ::close(s);
    if (err == 0) {
        peer.pid = static_cast<int>(cred.pid);
        peer.uid = static_cast<unsigned>(cred.uid);
    }
    return err;
}

} // namespace

DWORD hold_run_name(const std::string &base, int &fd) {
    fd = -1;
    sockaddr_un address{};
    const socklen_t length = name_address(base, address);
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s < 0)
        return error_from_errno(errno);
    if (::bind(s, reinterpret_cast<const sockaddr *>(&address), length) != 0 || ::listen(s, SOMAXCONN) != 0) {
        const int err = errno;
        ::close(s);
        return err == EADDRINUSE ? ERROR_SERVICE_ALREADY_RUNNING : error_from_errno(err);
    }
    fd = s;
    return ERROR_SUCCESS;
}

void answer_run_name(int fd) {
    int s;
    while ((s = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC)) >= 0 || errno == EINTR || errno == ECONNABORTED)
        if (s >= 0)
            ::close(s);
}

NameHolder run_name_holder(const std::string &base, ProcessMark &holder) {
    holder = ProcessMark{};
    sockaddr_un address{};
    const socklen_t length = name_address(base, address);
    Peer first;
    int err = listener_of(address, length, first);
    // A holder that changes under every look is not waited for.
    for (int look = 0; look < 3; ++look) {
        if (err == EAGAIN)
            return NameHolder::unnamed;
        // A name held by another user's process is not this manager's
        // service.
        if (err != 0 || first.pid <= 0 || !peer_allowed(first))
            return NameHolder::none;
        ProcessMark mark;
        if (!process_mark_of(first.pid, mark))
            return NameHolder::none;
        // Asked again after the mark was read: had the listener ended in
        // between and its identifier gone to another process, that process
        // would not hold the name under the same identifier.
        Peer second;
        err = listener_of(address, length, second);
        if (err == 0 && second.pid == first.pid) {
            holder = mark;
            return NameHolder::named;
        }
        first = second;
    }
    return NameHolder::unnamed;
}

} // namespace platform::scm
