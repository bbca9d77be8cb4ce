// The control channel's sockets.
#include "platform/scm/scm_channel.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/last_error.h"

namespace platform::scm {

namespace {

bool address_of(const std::string &path, sockaddr_un &address) {
    if (path.empty() || path.size() > kMaxSocketPath || path.size() >= sizeof address.sun_path)
        return false;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    return true;
}

// Waits until the descriptor is ready for the events; 1 ready, 0 time out,
// -1 failure.
int wait_ready(int fd, short events, int timeout_ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              until - std::chrono::steady_clock::now())
                              .count();
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return -1;
        return ready;
    }
}

} // namespace

DWORD listen_socket(const std::string &path, int &fd) {
    fd = -1;
    sockaddr_un address{};
    if (!address_of(path, address))
        return ERROR_FILENAME_EXCED_RANGE;
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s < 0)
        return error_from_errno(errno);
    ::unlink(path.c_str());
    // Only the owner may connect; a peer of another user that comes in the
    // moment before the mode is set is refused by peer_allowed.
    if (::bind(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::chmod(path.c_str(), 0600) != 0 || ::listen(s, 8) != 0) {
        const int err = errno;
        ::close(s);
        return error_from_errno(err);
    }
    fd = s;
    return ERROR_SUCCESS;
}

DWORD connect_socket(const std::string &path, int timeout_ms, int &fd) {
    fd = -1;
    sockaddr_un address{};
    if (!address_of(path, address))
        return ERROR_FILENAME_EXCED_RANGE;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (s < 0)
            return error_from_errno(errno);
        if (::connect(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) {
            fd = s;
            return ERROR_SUCCESS;
        }
        const int err = errno;
        ::close(s);
        if (err == ECONNREFUSED || err == ENOENT)
            return ERROR_FILE_NOT_FOUND;
        if (err != EAGAIN && err != EINTR)
            return error_from_errno(err);
        // The listener's queue is full: it is busy with another control.
        if (std::chrono::steady_clock::now() >= until)
            return ERROR_SERVICE_REQUEST_TIMEOUT;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

int accept_connection(int listen_fd, int timeout_ms, Peer &peer) {
    if (wait_ready(listen_fd, POLLIN, timeout_ms) <= 0)
        return -1;
    const int s = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (s < 0)
        return -1;
    ucred cred{};
    socklen_t length = sizeof cred;
    if (::getsockopt(s, SOL_SOCKET, SO_PEERCRED, &cred, &length) != 0) {
        ::close(s);
        return -1;
    }
    peer.pid = static_cast<int>(cred.pid);
    peer.uid = static_cast<unsigned>(cred.uid);
    return s;
}

bool peer_allowed(const Peer &peer) { return peer.uid == 0 || peer.uid == static_cast<unsigned>(::geteuid()); }

bool send_line(int fd, const std::string &line) {
    if (line.size() + 1 > kMaxLine)
        return false;
    const std::string bytes = line + "\n";
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (wait_ready(fd, POLLOUT, 5000) <= 0)
            return false;
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

Received receive_line(int fd, int timeout_ms, std::string &line) {
    line.clear();
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              until - std::chrono::steady_clock::now())
                              .count();
        const int ready = wait_ready(fd, POLLIN, left > 0 ? static_cast<int>(left) : 0);
        if (ready < 0)
            return Received::failed;
        if (ready == 0)
            return Received::timeout;
        char c = 0;
        const ssize_t n = ::recv(fd, &c, 1, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            return Received::failed;
        if (n == 0)
            return Received::closed;
        if (c == '\n')
            return Received::line;
        if (line.size() + 1 >= kMaxLine)
            return Received::failed;
        line += c;
    }
}

} // namespace platform::scm
